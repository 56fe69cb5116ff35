#pragma once

// The acquisition runs of the desktop program: at most one worker at a time, the host that
// carries out its requests on the user-interface thread through the main window (so the list
// pane, the plot and the tool windows follow every read-out), and the state of the run that
// the progress window shows. A run is active from its start until its worker has ended, that is
// also while it still reads out, lists and saves after "Прервать": no new run or memory test
// reaches the ports before then.

#include "acquisition/run_control.h"
#include "acquisition/run_host.h"
#include "acquisition/ui/ui_thread_requests.h"
#include "gui/main_window_services.h"
#include "model/histogram.h"

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace kv {

// What the worker last reported of its progress.
struct RunStatus {
    RunProgress progress;
    int seriesCompleted = 0;
};

// A QObject so that the worker can have its notices (progress, the end) run on the
// user-interface thread.
class AcquisitionRuns : public QObject {
public:
    // The worker of a run, given the host and the flags; it takes the ports and the clock it
    // drives from the program's state.
    using Work = std::function<void(RunHost& host, RunFlags& flags)>;

    // launcher makes the worker's thread (std::thread by default; tests make it fail).
    explicit AcquisitionRuns(MainWindowServices& main,
                             RunController::ThreadLauncher launcher = defaultLauncher());
    // Aborts a run still active and waits for its worker, carrying out its last requests.
    ~AcquisitionRuns();

    AcquisitionRuns(const AcquisitionRuns&) = delete;
    AcquisitionRuns& operator=(const AcquisitionRuns&) = delete;

    // A worker is running. User-interface thread.
    bool active() const { return m_controller.running(); }

    // Starts work on a new thread; refused (Busy) while a worker is running.
    StartOutcome start(Work work);

    // Set the flags the running worker polls; nothing when none runs.
    void abort() { m_controller.abort(); }
    void requestReadOut() { m_controller.requestReadOut(); }

    // The progress as the worker last reported it.
    RunStatus status() const;

    // Aborts the run and carries out its worker's requests (listing, saving, reporting) until it
    // has ended; nothing when no run is active. User-interface thread, e.g. on closing.
    void stopAndWait();

    static RunController::ThreadLauncher defaultLauncher();

private:
    class Host;

    // The user-interface thread's side of the requests.
    HistogramHandle list(std::unique_ptr<Histogram> record);
    // Worker thread: keeps the status for the progress window and has showProgress run.
    void reportProgress(const RunStatus& status);
    void showProgress();
    void workerEnded();
    // A final read-out the list could not take is saved to a file of its own.
    void keepUnlisted();

    MainWindowServices& m_main;
    UiThreadRequests m_requests;
    std::unique_ptr<Host> m_host;

    mutable std::mutex m_statusMutex;
    RunStatus m_status;
    bool m_tickPosted = false;

    // The latest read-out refused by the list (it holds spectra of another channel count).
    std::unique_ptr<Histogram> m_unlisted;

    // Last: destroyed first, so no worker outlives what it reports to.
    RunController m_controller;
};

// A measurement makes spectra of the analyser's 2048 channels: an empty list of another channel
// count takes that count, with the whole spectrum as the visible range.
void takeAnalyserChannelCount(AppState& state);

} // namespace kv
