#include "fitting/ui/component_overlays.h"

#include "fitting/model_counts.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

namespace kv {

namespace {

constexpr QRgb kComponentRgb = 0xffff0000;

void refill(std::optional<Histogram>& curve, const ComponentTable& table, const Histogram* current,
            int component) {
    if (!curve) {
        if (!current) {
            return;
        }
        curve = *current;
    }
    fillModelCounts(curve->channels, table, component);
}

} // namespace

void ComponentOverlays::rebuild(const ComponentTable& table, const Histogram* current,
                                bool componentOnly) {
    if (table.empty()) {
        release();
        return;
    }
    if (!componentOnly) {
        refill(m_sum, table, current, -1);
    }
    refill(m_component, table, current, table.selected());
}

void ComponentOverlays::release() {
    m_sum.reset();
    m_component.reset();
}

void ComponentOverlays::draw(QPainter& painter, const PlotView& view, const AppConfig& config,
                             const HistogramList&) const {
    if (m_sum) {
        drawCurve(painter, view, config.plot, *m_sum, kHighlightRgb);
    }
    if (m_component) {
        drawCurve(painter, view, config.plot, *m_component, kComponentRgb);
    }
}

void ComponentOverlays::drawCurve(QPainter& painter, const PlotView& view, const PlotSettings& plot,
                                  const Histogram& h, QRgb colour) const {
    const std::int64_t first = std::max(plot.firstChannel, 0);
    const std::int64_t last = std::min<std::int64_t>(plot.lastChannel, std::ssize(h.channels) - 1);
    if (first > last) {
        return;
    }
    const double scale = displayScale(h, yAxisMode(plot));
    m_points.resize(static_cast<std::size_t>(last - first + 1));
    for (std::int64_t c = first; c <= last; ++c) {
        const PixelPoint p =
            mapToPixel(view, plot, static_cast<double>(c),
                       h.channels[static_cast<std::size_t>(c)] * scale, scale, view.plotRect);
        m_points[static_cast<std::size_t>(c - first)] = QPoint(p.x, p.y);
    }
    painter.setPen(QPen(QColor::fromRgb(colour), 0));
    painter.drawPolyline(m_points.data(), static_cast<int>(m_points.size()));
}

} // namespace kv
