#include "acquisition/ui/measurement_commands.h"

#include "acquisition/analyser_port.h"
#include "acquisition/measurement.h"
#include "acquisition/memory_test.h"
#include "acquisition/ui/mode_dialog.h"
#include "acquisition/ui/progress_window.h"
#include "acquisition/ui/report_window.h"
#include "acquisition/ui/start_dialog.h"

#include <QApplication>

#include <memory>
#include <utility>

namespace kv {

PortIo* portsForNewRun(MainWindowServices& main, const AcquisitionRuns& runs,
                       StringId refusalCaption) {
    AppState& state = main.state();
    UiServices& ui = main.ui();
    if (!state.list.empty() && state.list.channelCount() != kAnalyserChannels) {
        ui.showMessage(StringId::MeasureNeeds2048Channels, refusalCaption);
        return nullptr;
    }
    takeAnalyserChannelCount(state);
    if (runs.active()) {
        return nullptr;
    }
    PortIo* ports = state.analyser.ports.get();
    if (ports == nullptr) {
        ui.showMessage(StringId::AnalyserUnavailable, StringId::BadNews);
    }
    return ports;
}

StartOutcome startWithProgress(AppState& state, AcquisitionRuns& runs, AcquisitionRuns::Work work,
                               const WindowRegistry::WindowMaker& makeProgressWindow) {
    StartOutcome outcome = runs.start(std::move(work));
    if (outcome.started()) {
        state.windows.open(WindowKind::RunProgress, makeProgressWindow);
    }
    return outcome;
}

void openStartDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner) {
    PortIo* ports = portsForNewRun(main, runs, StringId::BadNews);
    if (ports == nullptr) {
        return;
    }
    AppState& state = main.state();
    UiServices& ui = main.ui();
    AppConfig& config = state.config;
    const auto launch = [&](const MeasurementStart& values) {
        MeasurementJob job = prepareMeasurement(config.analyser, config.countWindows,
                                                *state.list.newHistogram(), values);
        return startWithProgress(state, runs, *ports, std::move(job), runMeasurement, [&] {
            return std::make_unique<ProgressWindow>(runs, config.analyser.lastExposure, owner);
        });
    };
    StartDialog dialog(config.analyser, ui, launch, owner);
    dialog.exec();
}

void openModeDialog(MainWindowServices& main, const AcquisitionRuns& runs, QWidget* owner) {
    if (runs.active()) {
        return;
    }
    AppState& state = main.state();
    const auto runTest = [&main, &state](MemoryPattern pattern) {
        if (!state.analyser.ports) {
            main.ui().showMessage(StringId::AnalyserUnavailable, StringId::BadNews);
            return;
        }
        // The test holds the user-interface thread for its 8 port transfers a channel.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        memoryTest(*state.analyser.ports, state.clock, state.config.analyser, state.list, main.ui(),
                   pattern, [&main] {
                       QApplication::restoreOverrideCursor();
                       main.refreshList();
                   });
    };
    ModeDialog dialog(state.config.analyser, main.ui(), runTest, owner);
    dialog.exec();
}

void toggleReportWindow(MainWindowServices& main, QWidget* owner) {
    if (ToolWindow* open = main.state().windows.find(WindowKind::ReportLog)) {
        open->close();
        return;
    }
    showReportWindow(main, owner);
}

void showReportWindow(MainWindowServices& main, QWidget* owner) {
    AppState& state = main.state();
    state.windows.open(WindowKind::ReportLog, [&] {
        return std::make_unique<ReportWindow>(state.reportLog, state.config, main.ui(), owner);
    });
}

} // namespace kv
