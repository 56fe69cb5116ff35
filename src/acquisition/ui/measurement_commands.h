#pragma once

// The main window's measurement commands: "Старт" (401) with its start dialog and progress
// window, "Выбор режима" (402) with the memory tests, and "Отчет" (406).

#include "acquisition/port_io.h"
#include "acquisition/ui/acquisition_runs.h"
#include "gui/main_window_services.h"
#include "platform/string_id.h"

#include <utility>

class QWidget;

namespace kv {

// What every measurement command checks before its dialog: refuses a list of spectra of another
// channel count (2094 under refusalCaption), gives an empty list the analyser's 2048 channels,
// does nothing while a run is active and reports a program without an analyser. The ports to
// drive; null when the command ends here.
PortIo* portsForNewRun(MainWindowServices& main, const AcquisitionRuns& runs,
                       StringId refusalCaption);

// Starts work and, when it started, opens the progress window makeProgressWindow builds. The
// window opens before this thread handles any event, so the worker's request to close it (at
// the end of a short run) always finds it.
StartOutcome startWithProgress(AppState& state, AcquisitionRuns& runs, AcquisitionRuns::Work work,
                               const WindowRegistry::WindowMaker& makeProgressWindow);

// startWithProgress for a worker that drives ports on the program's clock:
// run(ports, clock, host, flags, job), the job handed over once.
template <typename Job, typename Run>
StartOutcome startWithProgress(AppState& state, AcquisitionRuns& runs, PortIo& ports, Job job,
                               Run run, const WindowRegistry::WindowMaker& makeProgressWindow) {
    return startWithProgress(
        state, runs,
        [&ports, &clock = state.clock, job = std::move(job), run](RunHost& host,
                                                                  RunFlags& flags) mutable {
            run(ports, clock, host, flags, std::move(job));
        },
        makeProgressWindow);
}

// 401: refuses a list of spectra of another channel count (2094), gives an empty list the
// analyser's 2048 channels, does nothing while a run is active, reports a program without an
// analyser; otherwise the start dialog, whose "Пуск" starts the run and opens the progress
// window. owner: the main window, which the dialog and the progress window stay in front of.
void openStartDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner);

// 402: the mode dialog; nothing while a run is active. Its memory tests need an analyser.
void openModeDialog(MainWindowServices& main, const AcquisitionRuns& runs, QWidget* owner);

// 406: closes the report window when it is open, opens it otherwise.
void toggleReportWindow(MainWindowServices& main, QWidget* owner);

// Opens the report window, or brings it to the front when it is open.
void showReportWindow(MainWindowServices& main, QWidget* owner);

} // namespace kv
