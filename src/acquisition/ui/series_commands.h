#pragma once

// The main window's X-ray and series commands: "Циклическое измерение" (403), "Рентгеновские
// измерения" (404), "Серия рентгеновских измерений" (407), each a dialog that starts a run and
// opens its progress window, and "Параметры счетных окон" (405), the access dialog then the
// parameter window. owner: the main window, which the dialogs and windows stay in front of.

#include "acquisition/ui/acquisition_runs.h"
#include "gui/main_window_services.h"

class QWidget;

namespace kv {

// 403: refuses as "Старт" does (message 2094 under "Новости"); its series lists one histogram
// per cycle.
void openCyclicDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner);

// 404: refuses as "Старт" does; the run is that of "Старт" for an X-ray spectrum.
void openXrayDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner);

// 407: refuses as "Старт" does; the series only reports.
void openXraySeriesDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner);

// 405: the access dialog until the code has been given once since the program started, then the
// parameter window (raised when it is open already).
void openCountWindowParameters(MainWindowServices& main, QWidget* owner);

} // namespace kv
