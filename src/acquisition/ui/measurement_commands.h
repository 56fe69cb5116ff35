#pragma once

// The main window's measurement commands: "Старт" (401) with its start dialog and progress
// window, "Выбор режима" (402) with the memory tests, and "Отчет" (406).

#include "acquisition/ui/acquisition_runs.h"
#include "gui/main_window_services.h"

class QWidget;

namespace kv {

// 401: refuses a list of spectra of another channel count (2094), gives an empty list the
// analyser's 2048 channels, does nothing while a run is active, reports a program without an
// analyser; otherwise the start dialog, whose "Пуск" starts the run and opens the progress
// window. owner: the main window, which the dialog and the progress window stay in front of.
void openStartDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner);

// 402: the mode dialog; nothing while a run is active. Its memory tests need an analyser.
void openModeDialog(MainWindowServices& main, const AcquisitionRuns& runs, QWidget* owner);

// 406: closes the report window when it is open, opens it otherwise.
void toggleReportWindow(MainWindowServices& main, QWidget* owner);

} // namespace kv
