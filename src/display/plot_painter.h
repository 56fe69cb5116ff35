#pragma once

// The drawing of the plot pane with QPainter: frame, dotted grid, axis titles and limit labels,
// the curves of the histograms the view shows, and the overlays other windows switch on. The
// same code paints the screen widget, the printed page and a QImage; only the painter's device
// and the rectangle differ. Sizes follow the device: the axis fonts are a fifth of an inch high,
// and the frame and grid pens scale with them.

#include "display/plot_view.h"
#include "model/app_config.h"
#include "model/histogram.h"
#include "model/histogram_list.h"

#include <QLine>
#include <QPoint>
#include <QRgb>
#include <QString>

#include <cstdint>
#include <span>
#include <vector>

class QPainter;
class QPen;

namespace kv {

// The pen of the current histogram among several marked ones.
inline constexpr QRgb kHighlightRgb = 0xff0000ff;

// Marker shapes 0..7 are drawn; a marker index picks shape index mod 16, where 8..15 and a
// negative index draw none.
inline constexpr int kNoMarker = -1;
// Only the first eight marked curves get markers, so the shapes never repeat on one plot.
inline constexpr int kCurvesWithMarkers = 8;

// Something another window draws over the curves (approximation curves, isotope lines, count
// windows, the legend). It is called after the curves of every paint that draws them, with
// view.plotRect at the curves' inset, view.yMin and view.yMax of this paint, and the painter
// holding the upright axis font (its line height is the legend's line spacing). The painter's
// state is restored after each overlay.
class PlotOverlay {
public:
    virtual void draw(QPainter& painter, const PlotView& view, const AppConfig& config,
                      const HistogramList& list) const = 0;

protected:
    ~PlotOverlay() = default;
};

// What a window draws in the plot pane's place while it is open (the calibration graphs): the
// pane is cleared as for the plot and the graph drawn inside paneRect.
class PaneGraph {
public:
    virtual void draw(QPainter& painter, const PixelRect& paneRect) const = 0;

protected:
    ~PaneGraph() = default;
};

// The titles and limit labels of a plot's two axes.
struct AxisTexts {
    QString xTitle;
    QString firstLabel; // left end of the horizontal axis
    QString lastLabel;
    QString yTitle;
    QString bottomLabel;
    QString topLabel;
};

// Holds the point buffer the curves reuse, so one painter per pane or print job draws without
// allocating per curve. Call from the GUI thread (or the thread that owns the device).
class PlotPainter {
public:
    // The whole pane: clears paneRect (black outline, white inside), then drawPlot.
    void paintPlotPane(QPainter& painter, const PixelRect& paneRect, PlotView& view,
                       const AppConfig& config, const HistogramList& list,
                       std::span<const PlotOverlay* const> overlays = {});

    // The pane cleared as paintPlotPane clears it, with graph drawn instead of the plot.
    void paintGraphPane(QPainter& painter, const PixelRect& paneRect, const PaneGraph& graph);

    // Axes, curves and overlays inside paneRect less 5 pixels on the right; sets view.yMin,
    // view.yMax and view.plotRect and reads the settings only. A visible range beyond a curve's
    // channels draws the channels it has. False, having drawn nothing, when the list is empty or
    // no histogram is to be shown.
    bool drawPlot(QPainter& painter, const PixelRect& paneRect, PlotView& view,
                  const AppConfig& config, const HistogramList& list,
                  std::span<const PlotOverlay* const> overlays = {});

    // Frame, grid, vertical title and limit labels, horizontal title and first and last channel
    // (or their energies in keV, by xAxisMode) in view.plotRect, which it leaves at the inset
    // the curves are drawn in. Returns the axis font's line height in pixels.
    int drawAxes(QPainter& painter, PlotView& view, const PlotSettings& plot,
                 const EnergyCalibration& calibration, std::int32_t channelCount);

    // The frame, the dotted grid, the titles and limit labels inside r (less the margin the
    // plot keeps), which it leaves at the
    // inset the curves are drawn in. Returns the axis font's line height in pixels. The
    // calibration graphs share it, so they look like the plot.
    static int drawFrame(QPainter& painter, PixelRect& r, const AxisTexts& texts);

    // One curve over the visible channels in view.plotRect, scaled by the vertical mode, with a
    // marker about every 30 pixels. With more channels than pixel columns, on an image or a
    // widget, the curve is drawn through each column's envelope (drawColumnEnvelope). Highlighted:
    // the blue pen. Uses the range of the last paint, so the list pane can redraw a curve in place.
    void drawHistogramCurve(QPainter& painter, const PlotView& view, const PlotSettings& plot,
                            const Histogram& h, int markerIndex, bool highlighted);

private:
    // A curve of more channels than pixel columns, drawn with a one-pixel pen without
    // antialiasing: per pixel column, one vertical line from the column's highest to its lowest
    // value, and one line from the column's last channel to the next column's first. The lines
    // set exactly the pixels of the lines between every two neighbouring channels (each line
    // drawn on its own, with both ends): within a column those run vertically through every
    // height between its extremes, and those between columns are the same lines. A paint of
    // a million channels costs two lines per pixel column and a pass over the counts.
    void drawColumnEnvelope(QPainter& painter, const QPen& pen, const PlotView& view,
                            const PlotSettings& plot, const Histogram& h, std::int64_t first,
                            std::int64_t last);

    std::vector<QPoint> m_points;
    std::vector<QLine> m_lines;
};

} // namespace kv
