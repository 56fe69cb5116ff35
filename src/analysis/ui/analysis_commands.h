#pragma once

// The main window's commands whose dialogs and windows are the analysis ones: the dispatcher
// calls these with the main window as the dialogs' parent. Each does nothing with an empty list
// where the command needs histograms.

#include "gui/main_window_services.h"

class QWidget;

namespace kv {

// "Сглаживание": the smoothing dialog; on OK a smoothed copy of the current histogram.
void smoothWithDialog(MainWindowServices& services, QWidget* parent);

// "Выделение пиков": the peak extraction dialog; on OK a copy of the current histogram with
// the continuum subtracted.
void extractPeaksWithDialog(MainWindowServices& services, QWidget* parent);

// The line search: opens the found-lines window (or raises it) and starts a search of the
// current histogram there.
void searchLinesInWindow(MainWindowServices& services, QWidget* parent);

// "Параметры поиска": the search settings dialog; on OK the found lines are identified again.
void editSearchSettings(MainWindowServices& services, QWidget* parent);

// "База данных изотопов": opens the isotope database window (or raises it).
void openIsotopeDatabase(MainWindowServices& services, QWidget* parent);

} // namespace kv
