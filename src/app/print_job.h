#pragma once

// Printing the plot: the print dialog's choice kept in the printer description of SPRNS.CNF, the
// page rectangle from the page settings, and the found lines beside the plot.

#include "gui/app_state.h"
#include "model/print_settings.h"
#include "platform/ui_services.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace kv {

// Shows the print dialog for printer; true when the user accepted it. setupOnly: the dialog
// chooses the printer and its settings without printing ("Конфигурация принтера").
using PrintDialogRunner = std::function<bool(QPrinter& printer, bool setupOnly)>;

// The platform's print dialog (Qt's, which also prints to a PDF file), without page ranges or
// a selection to print.
bool runPrintDialog(QPrinter& printer, bool setupOnly, QWidget* parent);

// Sets up printer as the description in settings says; a printer block this program did not
// write, or none, leaves the system's default printer.
void applyPrinterDescription(QPrinter& printer, const PrintSettings& settings);

// The description of what printer is set up for.
PrinterDescription describePrinter(const QPrinter& printer);

// The rows of the found-lines table while the found-lines window is open and has lines,
// identified against the database window's table while it is open, else against the isotope
// database in the program directory, loaded for this; none otherwise.
std::vector<std::string> printedLineRows(const AppState& state);

// Prints one page, document "Kvantira": the plot inside the rectangle of the page settings
// (measured from the paper's edges), with tableRows beside it. A printer that will not start
// the document is reported ("Печать не удалась") and false returned.
bool printPlotPage(QPrinter& printer, const PrintSettings& settings, AppState& state,
                   std::span<const std::string> tableRows, UiServices& ui);

} // namespace kv
