#include "display/printed_page.h"

#include "model/cp1251.h"
#include "model/strings.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QString>

#include <algorithm>

namespace kv {

namespace {

constexpr int kTableLinesPerInch = 9;
constexpr int kTableWidthDigits = 31;
constexpr int kTableGapPixels = 2;
constexpr int kFallbackDpi = 96;

QFont tableFont(const QPaintDevice* device) {
    const int dpi = device != nullptr ? device->logicalDpiY() : kFallbackDpi;
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setWeight(QFont::Normal);
    font.setPixelSize(std::max(1, dpi / kTableLinesPerInch));
    return font;
}

// A line of text whose top is at (x, top).
void drawLineAt(QPainter& painter, int x, int top, const QString& text) {
    painter.drawText(QPoint(x, top + painter.fontMetrics().ascent()), text);
}

} // namespace

std::optional<PixelRect> drawPrintedPage(QPainter& painter, PlotPainter& plotPainter,
                                         const PixelRect& rect, PlotView view,
                                         const AppConfig& config, const HistogramList& list,
                                         std::span<const std::string> tableRows) {
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(tableFont(painter.device()));
    const QString header = QString::fromUtf8(text(StringId::LinesPrintHeader));
    const int h = painter.fontMetrics().height();
    view.plotRect = rect;
    if (!tableRows.empty()) {
        drawLineAt(painter, rect.left, rect.top + 3 * h, header);
        drawLineAt(painter, rect.left, rect.top + 4 * h,
                   QString::fromUtf8(text(StringId::LinesPrintUnits)));
        for (std::size_t i = 0; i < tableRows.size(); ++i) {
            drawLineAt(painter, rect.left, rect.top + (static_cast<int>(i) + 5) * h,
                       QString::fromStdString(tableRows[i]));
        }
        view.plotRect.left +=
            kTableWidthDigits * painter.fontMetrics().horizontalAdvance(QLatin1Char('0')) +
            kTableGapPixels;
    }

    const PlotSettings& plot = config.plot;
    const bool drawn = !list.empty() && computeVerticalRange(view, plot, list);
    if (drawn) {
        if (plot.roundRange != 0) {
            roundVerticalRange(view);
        }
        if (plot.showSelectedOnly != 0) {
            const Histogram& h0 = *list.currentHistogram();
            const QString title = QString::fromStdString(utf8FromCp1251(h0.name.view()) + "; " +
                                                         utf8FromCp1251(h0.comment.view()));
            const int width = painter.fontMetrics().horizontalAdvance(title);
            drawLineAt(painter, (view.plotRect.left + view.plotRect.right - width) / 2,
                       view.plotRect.top, title);
            view.plotRect.top += 3 * h / 2;
            plotPainter.drawAxes(painter, view, plot, config.energyCalibration,
                                 list.channelCount());
            plotPainter.drawHistogramCurve(painter, view, plot, h0, 0, false);
        } else {
            plotPainter.drawAxes(painter, view, plot, config.energyCalibration,
                                 list.channelCount());
            int count = 0;
            for (int i = 0; i < list.histogramCount(); ++i) {
                if (list.isMarked(i)) {
                    const int marker = count < kCurvesWithMarkers ? count : kNoMarker;
                    plotPainter.drawHistogramCurve(painter, view, plot, *list.histogramAt(i),
                                                   marker, false);
                    ++count;
                }
            }
        }
    }
    painter.restore();
    return drawn ? std::optional(view.plotRect) : std::nullopt;
}

} // namespace kv
