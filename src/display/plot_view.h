#pragma once

// The plot view's state and scaling: which channels are visible, the vertical range computed
// for each paint, and the mapping of (channel, value) to a pixel. Qt-free; the drawing with
// QPainter builds on it.
//
// The view settings that the configuration keeps (PlotSettings: firstChannel, lastChannel,
// xAxisMode, yAxisMode, logScale, fromZero, roundRange, showSelectedOnly) live only in AppConfig
// and are read and written there. They are never meant to differ from what is saved, and a
// histogram file's trailer or a restored configuration sets them in AppConfig; a copy here would
// have to be kept in step after each of those. Whoever sets or loads the visible range keeps it
// within the spectrum (clampVisibleRange); painting only reads it. PlotView holds the rest: the
// per-paint vertical range, the cursor and drag state, and the rectangles.

#include "model/settings.h"
#include "model/histogram.h"
#include "model/histogram_list.h"

#include <cstdint>
#include <span>
#include <utility>

namespace kv {

// Edges in device pixels.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const PixelRect&) const = default;
};

struct PixelPoint {
    int x = 0;
    int y = 0;

    bool operator==(const PixelPoint&) const = default;
};

// PlotSettings::yAxisMode. A stored value outside 0..2 is read as counts, the default.
enum class YAxisMode : std::int32_t { Counts = 0, Intensity = 1, Probability = 2 };

struct PlotView {
    double yMin = 0.0; // vertical range of the current paint, in displayed units
    double yMax = 0.0;
    double cursorFraction = 0.5; // within [0, 1] of the visible channel span
    bool cursorDragging = false;
    bool zoomArmed = false;         // the next drag zooms
    double dragStartFraction = 0.0; // cursorFraction when the drag began
    PixelRect paneRect;             // the main window's plot pane
    PixelRect plotRect;             // the rectangle of the current paint or print job
};

YAxisMode yAxisMode(const PlotSettings& plot);

// The factor that turns a histogram's counts into displayed values, which is also the
// logarithmic floor (one count): 1 for counts, 1 / exposure (seconds) for intensity,
// 100 / total for probability in percent. An exposure that is not a positive number with a
// finite inverse counts as 1 second, and a total below 2 as 1, so an empty or untimed
// histogram is shown without faulting.
double displayScale(const Histogram& h, YAxisMode mode);

// Sets view.yMin and view.yMax to the range of displayed values over the visible channels:
// of the current histogram when showSelectedOnly is set, else of every marked histogram. False,
// leaving the view as it was, when there is nothing to draw: no such histogram, or no visible
// channel that a histogram has.
bool computeVerticalRange(PlotView& view, const PlotSettings& plot, const HistogramList& list);

// Rounds (yMin, yMax) outward to multiples of a step of 1, 5, 10 or 20 units, the unit a power
// of ten one or two digits below the larger magnitude, so the axis labels read as round
// numbers: (0, 123) becomes (0, 150), (-37, 212) becomes (-50, 250), (0, 0) stays. A range that
// cannot be rounded (not finite, or so small that the power of ten underflows) is left as it is.
void roundVerticalRange(PlotView& view);

// Pixels are held within this distance of the origin, which any paint device takes.
inline constexpr int kPixelLimit = 1 << 24;

// The pixel of a displayed value at a (fractional) channel in rect, for the visible channels
// (plot) and the vertical range of the current paint (view), with the vertical switches of
// plot. On a logarithmic axis, values not above logFloor lie on the bottom edge; a logFloor
// that is not a positive number is taken as 1. A visible range or vertical span of zero width
// counts as 1. Always a finite pixel: a channel or value that is not a number lies on the left
// or bottom edge.
PixelPoint mapToPixel(const PlotView& view, const PlotSettings& plot, double channel, double value,
                      double logFloor, const PixelRect& rect);

// The lowest and the highest of a non-empty run of counts, in one pass without branches (which
// the compiler turns into vector instructions): plots of a million channels take it per paint.
std::pair<std::int32_t, std::int32_t> countExtremes(std::span<const std::int32_t> counts);

// The pixel column of a (fractional) channel in rect: mapToPixel's x alone.
int channelToPixelX(const PlotSettings& plot, double channel, const PixelRect& rect);

} // namespace kv
