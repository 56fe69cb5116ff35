#pragma once

// The lines of the isotope selected in the database window, drawn over the plot: a magenta
// vertical line at each line's energy, as high as the line's intensity relative to the
// isotope's strongest line times the top of the vertical range.

#include "analysis/isotope_database.h"
#include "display/plot_painter.h"

#include <vector>

namespace kv {

class IsotopeLinesOverlay final : public PlotOverlay {
public:
    // The lines to draw (energies in keV); none draws nothing.
    void setLines(std::vector<IsotopeLine> lines) { m_lines = std::move(lines); }

    // Draws nothing with an empty list or when no line has a positive intensity. A line stands
    // at the channel of its energy through the calibration (channelOfEnergy), so it is under
    // the energy the axis shows; lines outside the visible range are left out.
    void draw(QPainter& painter, const PlotView& view, const AppConfig& config,
              const HistogramList& list) const override;

private:
    std::vector<IsotopeLine> m_lines;
};

} // namespace kv
