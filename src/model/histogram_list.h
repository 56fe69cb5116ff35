#pragma once

// The open histograms in display order, with one current entry and any number of marked
// entries. The list owns its records; other code refers to a record only while it is listed.
// A record's mark is bit 4 of its kind word, so the two can never disagree.

#include "model/document_state.h"
#include "model/histogram.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class ListColumn : int { Name = 0, Created = 1, Total = 2, Exposure = 3, Comment = 4 };
inline constexpr int kListColumnCount = 5;

// Names one listed record for as long as it stays listed, and never another one, even a record
// made later at the same address: what a window or a measurement that keeps referring to an
// entry across the user's actions holds instead of a pointer. The empty handle names nothing.
class HistogramHandle {
public:
    HistogramHandle() = default;

    explicit operator bool() const { return m_serial != 0; }
    friend bool operator==(const HistogramHandle&, const HistogramHandle&) = default;

private:
    friend class HistogramList;
    explicit HistogramHandle(std::uint64_t serial) : m_serial(serial) {}

    std::uint64_t m_serial = 0;
};

class HistogramList {
public:
    // Every change to the list or to a record marks document changed.
    explicit HistogramList(DocumentState& document) : m_document(document) {}

    HistogramList(const HistogramList&) = delete;
    HistogramList& operator=(const HistogramList&) = delete;

    // The one channel count of all listed records; 2048 at start. Clearing does not reset it.
    std::int32_t channelCount() const { return m_channelCount; }
    void setChannelCount(std::int32_t count) { m_channelCount = count; }

    // The number the next added histogram gets in its name.
    std::int32_t histogramNumber() const { return m_histogramNumber; }
    void resetHistogramNumber() { m_histogramNumber = 1; }

    int histogramCount() const { return static_cast<int>(m_entries.size()); }
    bool empty() const { return m_entries.empty(); }

    // The current entry, or -1 when there is none.
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);

    // Nothing for an index outside the list, including -1.
    Histogram* histogramAt(int index);
    const Histogram* histogramAt(int index) const;
    Histogram* currentHistogram() { return histogramAt(m_current); }
    const Histogram* currentHistogram() const { return histogramAt(m_current); }
    bool isMarked(int index) const;

    // The handle of an entry; empty for an index outside the list.
    HistogramHandle handleAt(int index) const;
    // The record the handle names; nothing once it has left the list (deleted, the list
    // cleared) or for the empty handle.
    Histogram* find(HistogramHandle handle);

    // A zero-filled record of channelCount() channels created now; the caller fills it.
    std::unique_ptr<Histogram> newHistogram() const;

    // Renumbers the record's name, appends it and makes it current. The record's own kind
    // word sets its icon and mark.
    void addHistogram(std::unique_ptr<Histogram> h);

    // Adds a copy of the current histogram (comment "Копия <name>", kind 245) and returns it,
    // or nothing when there is no current histogram.
    Histogram* duplicateCurrent();

    // A marked entry keeps only its kind number; an unmarked one gets bit 4 set.
    void toggleMark(int index);

    // The user's new label for an entry: stored cut to 127 bytes, not renumbered.
    void rename(int index, std::string_view cp1251Name);

    // Removes an entry; the entry above it becomes current, or the one below when it was the
    // first. Nothing for an index outside the list.
    void deleteAt(int index);

    // Moves an entry to index to (counted before its removal) and makes it current. Not a
    // change of the document. Nothing when either index is outside the list.
    void moveEntry(int from, int to);

    void clearList();

    // Sorts ascending by a column, stably; the current record stays current. Not a change of
    // the document.
    void sortByColumn(ListColumn column);

    void markChanged() { m_document.markChanged(); }

private:
    struct Entry {
        std::unique_ptr<Histogram> record;
        std::uint64_t serial = 0; // unique over the list's life, never 0
    };

    DocumentState& m_document;
    std::vector<Entry> m_entries;
    std::uint64_t m_lastSerial = 0;
    std::int32_t m_channelCount = 2048;
    std::int32_t m_histogramNumber = 1;
    int m_current = -1;
};

// A name without the list number addHistogram gave it: the text after a leading "<integer>."
// and the dots and blanks that follow it, or the whole name.
std::string_view nameRemainder(std::string_view name);

// The name a histogram gets when added as number n: "%2d. %s" with the name's text after a
// leading "<integer>." and the dots and blanks that follow it, cut to 127 bytes.
std::string renumberedName(std::string_view name, std::int32_t n);

// Text of a record in one column of the list (Windows-1251 for name and comment).
std::string columnText(const Histogram& h, ListColumn column);

// The list's ordering of two records by a column: <0, 0 or >0.
int compareByColumn(const Histogram& a, const Histogram& b, ListColumn column);

} // namespace kv
