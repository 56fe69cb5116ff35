#include "app/print_job.h"

#include "analysis/ui/found_lines_window.h"
#include "analysis/ui/isotope_database_window.h"
#include "display/printed_page.h"

#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

namespace kv {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kTenthsPerMm = 10.0;

} // namespace

bool runPrintDialog(QPrinter& printer, bool setupOnly, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (setupOnly) {
        dialog.setWindowTitle(QStringLiteral("Конфигурация принтера"));
    }
    return dialog.exec() == QDialog::Accepted;
}

void applyPrinterDescription(QPrinter& printer, const PrintSettings& settings) {
    const auto description =
        settings.printer ? decodePrinterDescription(*settings.printer) : std::nullopt;
    if (!description) {
        return;
    }
    if (description->output == PrinterOutput::PdfFile) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(description->outputFile));
    } else if (!description->printerName.empty()) {
        // A printer that has gone since leaves the default one.
        const QString name = QString::fromStdString(description->printerName);
        if (!QPrinterInfo::printerInfo(name).isNull()) {
            printer.setPrinterName(name);
        }
    }
    if (description->pageWidthTenthMm > 0 && description->pageHeightTenthMm > 0) {
        printer.setPageSize(QPageSize(QSizeF(description->pageWidthTenthMm / kTenthsPerMm,
                                             description->pageHeightTenthMm / kTenthsPerMm),
                                      QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
    }
    printer.setPageOrientation(description->orientation == 1 ? QPageLayout::Landscape
                                                             : QPageLayout::Portrait);
    if (description->resolutionDpi > 0) {
        printer.setResolution(description->resolutionDpi);
    }
}

PrinterDescription describePrinter(const QPrinter& printer) {
    PrinterDescription d;
    const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
    d.output = pdf ? PrinterOutput::PdfFile : PrinterOutput::Printer;
    d.printerName = pdf ? std::string() : printer.printerName().toStdString();
    d.outputFile = pdf ? printer.outputFileName().toStdString() : std::string();
    const QSizeF size = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
    d.pageWidthTenthMm = static_cast<std::int32_t>(std::lround(size.width() * kTenthsPerMm));
    d.pageHeightTenthMm = static_cast<std::int32_t>(std::lround(size.height() * kTenthsPerMm));
    d.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0;
    d.resolutionDpi = printer.resolution();
    return d;
}

std::vector<std::string> printedLineRows(const AppState& state) {
    std::vector<std::string> rows;
    if (!state.windows.isOpen(WindowKind::FoundLines) || state.foundLines.size() == 0) {
        return rows;
    }
    const LookupDatabase lookup(state);
    const LineIdentifier identifier = foundLinesIdentifier(state, lookup.database());
    for (std::size_t i = 0; i < state.foundLines.size(); ++i) {
        rows.push_back(
            foundLinePrintRow(identifier, state.foundLines.lines()[i], foundLineErrors(state, i)));
    }
    return rows;
}

bool printPlotPage(QPrinter& printer, const PrintSettings& settings, AppState& state,
                   std::span<const std::string> tableRows, UiServices& ui) {
    printer.setDocName(QStringLiteral("Kvantira"));
    // The margins of the page settings are measured from the paper's edges.
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer)) {
        ui.showMessage(StringId::PrintFailed, StringId::BadNews);
        return false;
    }
    const PageRect r =
        printRectangle(settings, printer.width(), printer.height(),
                       printer.logicalDpiX() / kMmPerInch, printer.logicalDpiY() / kMmPerInch);
    PlotPainter plotPainter;
    drawPrintedPage(painter, plotPainter, PixelRect{r.left, r.top, r.right, r.bottom},
                    state.plotView, state.config, state.list, tableRows);
    return painter.end();
}

} // namespace kv
