#include "model/histogram_list.h"

#include "model/cp1251.h"
#include "model/strings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <tuple>

namespace kv {

namespace {

// True when text begins as "%d" scans an integer: optional white space and sign, then a digit.
bool beginsWithInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

} // namespace

std::string_view nameRemainder(std::string_view name) {
    const auto dot = name.find('.');
    if (dot == std::string_view::npos || !beginsWithInteger(name.substr(0, dot))) {
        return name;
    }
    std::size_t start = dot + 1;
    while (start < name.size() && (name[start] == '.' || name[start] == ' ')) {
        ++start;
    }
    return name.substr(start);
}

namespace {

auto timeKey(const SystemTime& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second, t.milliseconds);
}

int sign(auto difference) {
    return (difference > 0) - (difference < 0);
}

// Stable bottom-up merge sort. The exposure ordering treats values less than a second apart
// as equal, which is not transitive; std::sort's contract forbids such orderings, while a
// merge stays within bounds and terminates for any comparison.
template <typename T, typename Less> void mergeSort(std::vector<T>& items, Less less) {
    std::vector<T> buffer(items.size());
    for (std::size_t width = 1; width < items.size(); width *= 2) {
        for (std::size_t lo = 0; lo < items.size(); lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, items.size());
            const std::size_t hi = std::min(lo + 2 * width, items.size());
            std::merge(std::make_move_iterator(items.begin() + lo),
                       std::make_move_iterator(items.begin() + mid),
                       std::make_move_iterator(items.begin() + mid),
                       std::make_move_iterator(items.begin() + hi), buffer.begin() + lo, less);
        }
        items.swap(buffer);
    }
}

} // namespace

std::string renumberedName(std::string_view name, std::int32_t n) {
    const std::string_view rest = nameRemainder(name);
    char number[16];
    std::snprintf(number, sizeof number, "%2d. ", n);
    std::string result = number;
    result.append(rest);
    if (result.size() > kHistogramTextLimit) {
        result.resize(kHistogramTextLimit);
    }
    return result;
}

void HistogramList::setCurrentIndex(int index) {
    m_current = (index >= 0 && index < histogramCount()) ? index : -1;
}

Histogram* HistogramList::histogramAt(int index) {
    return (index >= 0 && index < histogramCount())
               ? m_entries[static_cast<std::size_t>(index)].record.get()
               : nullptr;
}

const Histogram* HistogramList::histogramAt(int index) const {
    return const_cast<HistogramList*>(this)->histogramAt(index);
}

bool HistogramList::isMarked(int index) const {
    const Histogram* h = histogramAt(index);
    return h && h->isMarked();
}

HistogramHandle HistogramList::handleAt(int index) const {
    return histogramAt(index) ? HistogramHandle(m_entries[static_cast<std::size_t>(index)].serial)
                              : HistogramHandle();
}

Histogram* HistogramList::find(HistogramHandle handle) {
    if (!handle) {
        return nullptr;
    }
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [handle](const Entry& e) { return e.serial == handle.m_serial; });
    return it == m_entries.end() ? nullptr : it->record.get();
}

std::unique_ptr<Histogram> HistogramList::newHistogram() const {
    auto h = std::make_unique<Histogram>();
    h->channels.assign(static_cast<std::size_t>(m_channelCount), 0);
    h->created = localTimeNow();
    return h;
}

void HistogramList::addHistogram(std::unique_ptr<Histogram> h) {
    h->name.assign(renumberedName(h->name.view(), m_histogramNumber));
    ++m_histogramNumber;
    m_entries.push_back({std::move(h), ++m_lastSerial});
    m_current = histogramCount() - 1;
    markChanged();
}

Histogram* HistogramList::duplicateCurrent() {
    const Histogram* source = currentHistogram();
    if (!source) {
        return nullptr;
    }
    auto copy = std::make_unique<Histogram>(*source);
    copy->comment.assign(cp1251FromUtf8(text(StringId::CopyOf)) + source->name.str());
    copy->kind = kKindDuplicate;
    addHistogram(std::move(copy));
    return currentHistogram();
}

void HistogramList::toggleMark(int index) {
    Histogram* h = histogramAt(index);
    if (!h) {
        return;
    }
    h->kind = h->isMarked() ? (h->kind & kKindNumberMask) : (h->kind | kMarkedBit);
    markChanged();
}

void HistogramList::rename(int index, std::string_view cp1251Name) {
    Histogram* h = histogramAt(index);
    if (!h) {
        return;
    }
    h->name.assign(cp1251Name);
    markChanged();
}

void HistogramList::deleteAt(int index) {
    if (!histogramAt(index)) {
        return;
    }
    m_entries.erase(m_entries.begin() + index);
    setCurrentIndex(index > 0 ? index - 1 : 0);
    markChanged();
}

void HistogramList::moveEntry(int from, int to) {
    if (!histogramAt(from) || !histogramAt(to)) {
        return;
    }
    auto entry = std::move(m_entries[static_cast<std::size_t>(from)]);
    m_entries.erase(m_entries.begin() + from);
    m_entries.insert(m_entries.begin() + to, std::move(entry));
    m_current = to;
}

void HistogramList::clearList() {
    m_entries.clear();
    m_current = -1;
}

void HistogramList::sortByColumn(ListColumn column) {
    const Histogram* current = currentHistogram();
    mergeSort(m_entries, [column](const Entry& a, const Entry& b) {
        return compareByColumn(*a.record, *b.record, column) < 0;
    });
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [current](const Entry& e) { return e.record.get() == current; });
    m_current = it == m_entries.end() ? -1 : static_cast<int>(it - m_entries.begin());
}

std::string columnText(const Histogram& h, ListColumn column) {
    char buffer[64];
    switch (column) {
    case ListColumn::Name:
        return h.name.str();
    case ListColumn::Created:
        // Two-digit year: the stored year less 1900 would read 126 for 2026.
        std::snprintf(buffer, sizeof buffer, "%2d.%2d.%02d %2d:%2d", h.created.day, h.created.month,
                      h.created.year % 100, h.created.hour, h.created.minute);
        return buffer;
    case ListColumn::Total:
        std::snprintf(buffer, sizeof buffer, "%d", static_cast<std::int32_t>(h.total));
        return buffer;
    case ListColumn::Exposure:
        std::snprintf(buffer, sizeof buffer, h.exposure >= 10.0 ? "%0.0f" : "%0.3f", h.exposure);
        return buffer;
    case ListColumn::Comment:
        return h.comment.str();
    }
    return {};
}

int compareByColumn(const Histogram& a, const Histogram& b, ListColumn column) {
    switch (column) {
    case ListColumn::Name:
        return compareCp1251IgnoringCase(a.name.view(), b.name.view());
    case ListColumn::Created:
        return timeKey(a.created) < timeKey(b.created)   ? -1
               : timeKey(b.created) < timeKey(a.created) ? 1
                                                         : 0;
    case ListColumn::Total:
        return sign(static_cast<std::int64_t>(a.total) - static_cast<std::int64_t>(b.total));
    case ListColumn::Exposure: {
        const double difference = std::trunc(a.exposure - b.exposure);
        return std::isnan(difference) ? 0 : sign(difference);
    }
    case ListColumn::Comment:
        return compareCp1251IgnoringCase(a.comment.view(), b.comment.view());
    }
    return 0;
}

} // namespace kv
