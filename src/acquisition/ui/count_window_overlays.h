#pragma once

// What the count windows draw over the plot. The bands: while the parameter window is open, the
// reference peak's fit region (three lines at its start, centre and end) and one inverted band
// per window, each in its own colour. The legend: when the plot shows only the current
// histogram and that is an X-ray spectrum, its count-window results in the top left corner.

#include "display/plot_painter.h"

namespace kv {

// The colours the three windows' bands invert the plot with.
inline constexpr QRgb kCountWindowBandRgb[3] = {0xff404000, 0xff400040, 0xff004040};

class CountWindowBands final : public PlotOverlay {
public:
    // Reads the stored limits, referenceChannel and referenceWidth of config.countWindows.
    void draw(QPainter& painter, const PlotView& view, const AppConfig& config,
              const HistogramList& list) const override;
};

class XrayLegend final : public PlotOverlay {
public:
    // "N1=%0.0f" .. "N3=%0.0f" with expandedResult, then "C1=%0.4f" and "C2=%0.4f", one line
    // each; nothing when the evaluation fails.
    void draw(QPainter& painter, const PlotView& view, const AppConfig& config,
              const HistogramList& list) const override;
};

} // namespace kv
