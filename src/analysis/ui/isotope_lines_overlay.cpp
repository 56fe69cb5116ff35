#include "analysis/ui/isotope_lines_overlay.h"

#include "model/energy_calibration.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

namespace kv {

namespace {

const QColor kLineColor(255, 0, 255);
// Values at or below one count sit on the bottom of a logarithmic axis.
constexpr double kLogFloor = 1.0;

} // namespace

void IsotopeLinesOverlay::draw(QPainter& painter, const PlotView& view, const AppConfig& config,
                               const HistogramList& list) const {
    if (m_lines.empty() || list.empty()) {
        return;
    }
    double largest = 0.0;
    for (const IsotopeLine& line : m_lines) {
        largest = std::max(largest, line.intensity);
    }
    if (!(largest > 0.0)) {
        return;
    }
    const PlotSettings& plot = config.plot;
    const PixelRect& r = view.plotRect;
    painter.setPen(QPen(kLineColor, 0));
    for (const IsotopeLine& line : m_lines) {
        const double channel =
            channelOfEnergy(config.energyCalibration, line.energy, list.channelCount());
        if (!(channel >= plot.firstChannel && channel <= plot.lastChannel)) {
            continue;
        }
        const PixelPoint top =
            mapToPixel(view, plot, channel, view.yMax * line.intensity / largest, kLogFloor, r);
        painter.drawLine(top.x, top.y, top.x, r.bottom);
    }
}

} // namespace kv
