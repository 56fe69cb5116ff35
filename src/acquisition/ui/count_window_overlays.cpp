#include "acquisition/ui/count_window_overlays.h"

#include "acquisition/count_windows.h"

#include <QFontMetrics>
#include <QPainter>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kv {

namespace {

// The pixel column of a channel on the visible range, in the plot's integer arithmetic; a
// range of one channel maps every channel to the left edge.
int columnOf(std::int64_t channel, const PlotView& view, const PlotSettings& plot) {
    const std::int64_t span = std::int64_t{plot.lastChannel} - plot.firstChannel;
    const std::int64_t width = view.plotRect.right - view.plotRect.left;
    if (span <= 0) {
        return view.plotRect.left;
    }
    return static_cast<int>(view.plotRect.left + (channel - plot.firstChannel) * width / span);
}

} // namespace

void CountWindowBands::draw(QPainter& painter, const PlotView& view, const AppConfig& config,
                            const HistogramList&) const {
    const CountWindowSettings& windows = config.countWindows;
    const PixelRect& r = view.plotRect;
    // Limits typed outside the visible range draw up to the frame, never across it.
    painter.setClipRect(QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)));

    painter.setPen(QPen(Qt::black, 0));
    const std::int64_t centre = windows.referenceChannel;
    const std::int64_t half = windows.referenceWidth / 2;
    for (const std::int64_t channel : {centre - half, centre, centre + half}) {
        const int x = columnOf(channel, view, config.plot);
        painter.drawLine(x, r.top, x, r.bottom);
    }

    // Inverting, as the cursor is drawn: each band stays visible over the curves and the grid.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < windows.windowLower.size(); ++i) {
        const int left = columnOf(windows.windowLower[i], view, config.plot);
        const int right = columnOf(windows.windowUpper[i], view, config.plot);
        painter.setBrush(QColor::fromRgb(kCountWindowBandRgb[i]));
        painter.drawRect(QRect(left, r.top, right - left, r.bottom - r.top));
    }
}

void XrayLegend::draw(QPainter& painter, const PlotView& view, const AppConfig& config,
                      const HistogramList& list) const {
    const Histogram* shown = list.currentHistogram();
    if (config.plot.showSelectedOnly == 0 || shown == nullptr ||
        shown->kindNumber() != (kKindXray & kKindNumberMask)) {
        return;
    }
    const CountWindowResult result = evaluateCountWindows(*shown, config.countWindows);
    if (!result.evaluated()) {
        return;
    }
    std::vector<std::string> lines;
    char line[64];
    if (config.countWindows.expandedResult != 0) {
        for (std::size_t k = 0; k < result.rates.size(); ++k) {
            std::snprintf(line, sizeof line, "N%zu=%0.0f", k + 1, result.rates[k]);
            lines.emplace_back(line);
        }
    }
    std::snprintf(line, sizeof line, "C1=%0.4f", result.c1);
    lines.emplace_back(line);
    std::snprintf(line, sizeof line, "C2=%0.4f", result.c2);
    lines.emplace_back(line);

    painter.setPen(QPen(Qt::black));
    const QFontMetrics metrics = painter.fontMetrics();
    int y = view.plotRect.top;
    for (const std::string& text : lines) {
        painter.drawText(view.plotRect.left + 10, y + metrics.ascent(),
                         QString::fromStdString(text));
        y += metrics.height();
    }
}

} // namespace kv
