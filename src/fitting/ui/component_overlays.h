#pragma once

// The approximation window's curves over the plot: the sum of the model in blue and the selected
// component in red. Each is a histogram record that carries the current histogram's header (its
// exposure too, so a plot of rates scales it like the spectrum) and is never listed.

#include "display/plot_painter.h"
#include "fitting/component_model.h"
#include "model/histogram.h"

#include <QPoint>

#include <optional>
#include <vector>

namespace kv {

class ComponentOverlays final : public PlotOverlay {
public:
    // Refills the component curve, and unless componentOnly the sum too, over every channel of
    // current from the table's parameters. A missing curve is made from current's header; with
    // no current histogram it stays missing (one that exists is refilled). An empty table
    // releases both.
    void rebuild(const ComponentTable& table, const Histogram* current, bool componentOnly);
    void release();

    const Histogram* sum() const { return m_sum ? &*m_sum : nullptr; }
    const Histogram* component() const { return m_component ? &*m_component : nullptr; }

    void draw(QPainter& painter, const PlotView& view, const AppConfig& config,
              const HistogramList& list) const override;

private:
    void drawCurve(QPainter& painter, const PlotView& view, const PlotSettings& plot,
                   const Histogram& h, QRgb colour) const;

    std::optional<Histogram> m_sum;
    std::optional<Histogram> m_component;
    mutable std::vector<QPoint> m_points; // reused by every paint
};

} // namespace kv
