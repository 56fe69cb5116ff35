#pragma once

// Runs line searches off the user-interface thread, one at a time, so that a search of a long
// spectrum leaves the windows responsive. The worker thread gets its spectrum and settings by
// value and touches nothing else; the result comes back by value on the thread that owns the
// runner (the user-interface thread), through its event loop.

#include "analysis/line_search.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

namespace kv {

class LineSearchRunner : public QObject {
public:
    // Called with the spectrum searched, handed back, and the search's result.
    using Finished = std::function<void(Histogram spectrum, LineSearchResult result)>;

    LineSearchRunner() = default;
    LineSearchRunner(const LineSearchRunner&) = delete;
    LineSearchRunner& operator=(const LineSearchRunner&) = delete;
    // Stops a search still running and waits for its thread; its result is dropped.
    ~LineSearchRunner() override;

    // Starts searching spectrum; finished is called with the result once the search has ended,
    // from the event loop of the runner's thread. False, starting nothing, while a search runs.
    bool start(Histogram spectrum, const LineSearchSettings& settings,
               const EnergyCalibration& calibration, Finished finished);

    bool running() const { return m_worker.joinable(); }

private:
    void stop();

    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

} // namespace kv
