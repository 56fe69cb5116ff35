#pragma once

// What an acquisition worker asks of the program that started it. The worker never touches the
// list, the document or a window itself: each call is a request the host carries out on its own
// thread while the worker waits (the desktop program with blocking queued calls to the
// user-interface thread, the command-line tool and the tests under a lock). Every method is
// called on the worker thread only.

#include "model/histogram.h"
#include "model/histogram_list.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kv {

// Where a timed exposure stands, in milliseconds of the tick counter. Read-out time is excluded
// from both, so elapsed + remaining is the exposure asked for.
struct RunProgress {
    std::uint32_t elapsedMs = 0;
    std::uint32_t exposureMs = 0;

    std::uint32_t remainingMs() const {
        return elapsedMs < exposureMs ? exposureMs - elapsedMs : 0;
    }
    // 0 to 1; a zero exposure is complete from the start.
    double fraction() const {
        return exposureMs == 0 ? 1.0 : static_cast<double>(exposureMs - remainingMs()) / exposureMs;
    }
};

class RunHost {
public:
    virtual ~RunHost() = default;

    // Progress of a timed measurement, about every hundredth of a second.
    virtual void progress(const RunProgress& progress) = 0;
    // Measurements completed by a series.
    virtual void seriesCount(int completed) = 0;

    // Appends the record to the list (renumbering its name, making it current, marking the
    // document changed) and takes it over. The handle names the entry for as long as the user
    // leaves it listed; empty when the list could not take the record (it holds spectra of
    // another channel count).
    virtual HistogramHandle addHistogram(std::unique_ptr<Histogram> record) = 0;
    // A later read-out of a listed record: takes channels, total and exposure from readOut.
    // False, changing nothing, when the entry has left the list (deleted, or the list replaced
    // by New or Open during the run).
    virtual bool updateHistogram(HistogramHandle listed, const Histogram& readOut) = 0;

    virtual void redrawList() = 0;
    virtual void repaintPlot() = 0;
    virtual void markDocumentChanged() = 0;
    // The Save command (104), which asks for a file name while the document is untitled.
    virtual void save() = 0;
    // The one-file text export of every listed histogram into exportPath, without dialogs.
    virtual void exportAllText() = 0;
    // Appends to the report log; colour flags as ReportLog takes them.
    virtual void reportLine(const std::string& text, int colourFlags, int indent) = 0;
    // Closes the progress window if it is still open.
    virtual void closeProgress() = 0;
};

// What a host's updateHistogram does to its list: the entry named takes the read-out's channels,
// total and exposure. False, changing nothing, when it has left the list.
bool takeReadOut(HistogramList& list, HistogramHandle listed, const Histogram& readOut);

} // namespace kv
