#include "acquisition/ui/acquisition_runs.h"

#include "acquisition/analyser_port.h"
#include "acquisition/report_log.h"
#include "gui/tool_window.h"
#include "model/document.h"
#include "model/text_export.h"

#include <string>
#include <thread>
#include <utility>

namespace kv {

namespace {

// The command that tells the progress window to show the run's status.
constexpr int kProgressTickCommand = 1000;
// The progress window's command that closes it.
constexpr int kCloseProgressCommand = 2;

} // namespace

void takeAnalyserChannelCount(AppState& state) {
    if (state.list.channelCount() == kAnalyserChannels) {
        return;
    }
    state.list.setChannelCount(kAnalyserChannels);
    state.config.plot.firstChannel = 0;
    state.config.plot.lastChannel = kAnalyserChannels - 1;
}

// The worker's side: each request is carried out on the user-interface thread while the worker
// waits, except the progress, which the worker leaves there without waiting, so it never stands
// still while the analyser counts.
class AcquisitionRuns::Host final : public RunHost {
public:
    explicit Host(AcquisitionRuns& runs) : m_runs(runs) {}

    void progress(const RunProgress& progress) override {
        m_status.progress = progress;
        m_runs.reportProgress(m_status);
    }
    void seriesCount(int completed) override {
        m_status.seriesCompleted = completed;
        m_runs.reportProgress(m_status);
    }
    HistogramHandle addHistogram(std::unique_ptr<Histogram> record) override {
        HistogramHandle listed;
        onUiThread([&] { listed = m_runs.list(std::move(record)); });
        return listed;
    }
    bool updateHistogram(HistogramHandle listed, const Histogram& readOut) override {
        bool updated = false;
        onUiThread([&] { updated = takeReadOut(state().list, listed, readOut); });
        return updated;
    }
    void redrawList() override {
        onUiThread([this] { m_runs.m_main.refreshList(); });
    }
    void repaintPlot() override {
        onUiThread([this] { m_runs.m_main.repaintPlot(); });
    }
    void markDocumentChanged() override {
        onUiThread([this] { state().list.markChanged(); });
    }
    void save() override {
        onUiThread([this] { m_runs.m_main.runCommand(Command::Save); });
    }
    void exportAllText() override {
        onUiThread([this] { exportAllToOneFile(state().list, state().config); });
    }
    void reportLine(const std::string& text, int colourFlags, int indent) override {
        onUiThread([&] {
            state().reportLog.append(text, colourFlags, indent);
            state().windows.send(WindowKind::ReportLog, kRefreshCommand);
        });
    }
    void closeProgress() override {
        onUiThread(
            [this] { state().windows.send(WindowKind::RunProgress, kCloseProgressCommand); });
    }

    // A new run reports from the start.
    void reset() { m_status = {}; }

private:
    void onUiThread(const std::function<void()>& request) { m_runs.m_requests.call(request); }
    AppState& state() { return m_runs.m_main.state(); }

    AcquisitionRuns& m_runs;
    RunStatus m_status; // the worker's own copy
};

RunController::ThreadLauncher AcquisitionRuns::defaultLauncher() {
    return [](std::function<void()> body) { return std::thread(std::move(body)); };
}

AcquisitionRuns::AcquisitionRuns(MainWindowServices& main, RunController::ThreadLauncher launcher)
    : m_main(main), m_host(std::make_unique<Host>(*this)), m_controller(std::move(launcher)) {}

AcquisitionRuns::~AcquisitionRuns() {
    stopAndWait();
}

StartOutcome AcquisitionRuns::start(Work work) {
    if (active()) {
        return {StartStatus::Busy, {}};
    }
    // The previous worker has returned and said so; its thread may still be ending.
    m_controller.join();
    m_host->reset();
    {
        const std::lock_guard lock(m_statusMutex);
        m_status = {};
    }
    m_requests.workerStarting();
    StartOutcome outcome = m_controller.start(
        [this, work = std::move(work)](RunFlags& flags) { work(*m_host, flags); },
        [this] {
            // Posted first: once the user-interface thread knows the worker has ended, it may
            // destroy the receiver.
            UiThreadRequests::post(this, &AcquisitionRuns::workerEnded);
            m_requests.workerEnded();
        });
    if (!outcome.started()) {
        m_requests.workerEnded();
    }
    return outcome;
}

RunStatus AcquisitionRuns::status() const {
    const std::lock_guard lock(m_statusMutex);
    return m_status;
}

void AcquisitionRuns::stopAndWait() {
    if (!active()) {
        return;
    }
    m_controller.abort();
    m_requests.serveUntilWorkerEnded();
    workerEnded();
}

HistogramHandle AcquisitionRuns::list(std::unique_ptr<Histogram> record) {
    AppState& state = m_main.state();
    HistogramList& list = state.list;
    if (!list.empty() &&
        list.channelCount() != static_cast<std::int32_t>(record->channels.size())) {
        m_unlisted = std::move(record);
        return {};
    }
    takeAnalyserChannelCount(state);
    m_unlisted.reset();
    list.addHistogram(std::move(record));
    m_main.refreshList();
    return list.handleAt(list.histogramCount() - 1);
}

void AcquisitionRuns::reportProgress(const RunStatus& status) {
    const std::lock_guard lock(m_statusMutex);
    m_status = status;
    if (m_tickPosted) {
        return; // the tick waiting shows this status too
    }
    m_tickPosted = true;
    UiThreadRequests::post(this, &AcquisitionRuns::showProgress);
}

void AcquisitionRuns::showProgress() {
    {
        const std::lock_guard lock(m_statusMutex);
        m_tickPosted = false;
    }
    m_main.state().windows.send(WindowKind::RunProgress, kProgressTickCommand);
}

void AcquisitionRuns::workerEnded() {
    // The worker has returned from its work and its thread ends at once. When a new run has
    // started meanwhile, its start has joined this thread already.
    if (!active()) {
        m_controller.join();
    }
    if (m_unlisted) {
        keepUnlisted();
    }
}

void AcquisitionRuns::keepUnlisted() {
    UiServices& ui = m_main.ui();
    ui.showMessage(StringId::MeasurementNotListed, StringId::News);
    // A document of its own, so the program's document keeps its name and list.
    AppConfig config = m_main.state().config;
    DocumentState state;
    HistogramList alone(state);
    alone.setChannelCount(static_cast<std::int32_t>(m_unlisted->channels.size()));
    alone.addHistogram(std::move(m_unlisted));
    Document(alone, config, state, ui).saveAs();
}

} // namespace kv
