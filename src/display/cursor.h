#pragma once

// The plot cursor: a vertical line at a fraction of the visible channel span that the user drags
// or steps channel by channel, the boundaries it sets, the zoom drag, and the two status-bar
// read-outs (the value under the cursor, the statistics of the visible range). Qt-free; the plot
// pane draws the cursor and feeds it the mouse.

#include "display/plot_view.h"
#include "model/energy_calibration.h"
#include "model/settings.h"
#include "model/histogram_list.h"

#include <cstdint>
#include <string>

namespace kv {

// The cursor's fractional channel: first + (last - first) * cursorFraction, not rounded.
double cursorPosition(const PlotView& view, const PlotSettings& plot);

// The channel under the cursor: roundHalfDown(cursorPosition).
std::int32_t cursorChannel(const PlotView& view, const PlotSettings& plot);

// The cursor's pixel column in view.plotRect (that of the last paint).
int cursorColumn(const PlotView& view);

// Whether pixel (x, y) grabs the cursor: strictly inside the plot's height and less than two
// pixels beside the cursor column.
bool isOnCursor(const PlotView& view, int x, int y);

// Starts a drag on the cursor, remembering where it began.
void beginCursorDrag(PlotView& view);

// Moves the dragged cursor to pixel column x, held within the plot's width.
void dragCursorTo(PlotView& view, int x);

// Ends a drag. When the zoom is armed and the cursor has moved, the visible range becomes the
// channels between the drag's start and end (in either order). A zoom drag that would leave
// fewer than two visible channels leaves the range as it was. The zoom is disarmed either way.
// True when the visible range changed.
bool endCursorDrag(PlotView& view, PlotSettings& plot);

// Puts the cursor on a (fractional) channel, held within the visible range: its fraction of
// the span from firstChannel to lastChannel, limited to [0, 1]. A range of no width puts it at
// the start; a channel that is not a number leaves it where it is.
void placeCursorAt(PlotView& view, const PlotSettings& plot, double channel);

// Moves the cursor by delta channels, stopping at the ends of the visible range. False, changing
// nothing, when the visible range has no width.
bool stepCursor(PlotView& view, const PlotSettings& plot, int delta);

enum class Boundary { Left, Right, None };

// Left or Right: the visible range's first or last channel becomes the cursor channel (truncated
// rather than rounded); None: the whole spectrum of channelCount channels is shown. The cursor
// then stands in the middle. False, changing nothing, when a boundary would leave fewer than two
// visible channels (the cursor stands at the other end).
bool setBoundary(PlotView& view, PlotSettings& plot, std::int32_t channelCount, Boundary which);

// Status-bar field 0: "Канал = 12, Число отсчетов = 345" (channel or energy in keV by xAxisMode,
// through calibration, value of the current histogram by yAxisMode). Empty with an empty list, no
// current histogram, or the cursor outside the spectrum.
std::string cursorReadout(const PlotView& view, const PlotSettings& plot,
                          const EnergyCalibration& calibration, const HistogramList& list);

// Status-bar field 1: integral, mean and standard deviation of the current histogram over the
// visible channels, in channels or keV by xAxisMode. The integral is in counts, in counts per
// second (truncated) or as a share of the total (truncated) by yAxisMode. Empty without a
// current histogram.
std::string rangeStatistics(const PlotSettings& plot, const EnergyCalibration& calibration,
                            const HistogramList& list);

} // namespace kv
