#pragma once

// The printed page: the plot, with the table of found lines at its left when there is one,
// drawn as vectors by the plot's own drawing code on any QPainter (a printer, a PDF file, an
// image in tests). The screen's overlays and cursor are not printed, and no curve is
// highlighted.

#include "display/plot_painter.h"
#include "display/plot_view.h"
#include "model/app_config.h"
#include "model/histogram_list.h"

#include <optional>
#include <span>
#include <string>

class QPainter;

namespace kv {

// Draws into rect (device pixels). tableRows, UTF-8, are the found lines' rows: when there are
// any, the two header lines and the rows go at the left edge, a table line being a ninth of an
// inch high in a fixed-pitch font, and the plot moves right by 31 digit widths plus 2 pixels.
// With showSelectedOnly the current histogram's "name; comment" is centred above the plot.
// The visible range and vertical range are those the screen shows for the same settings.
// Returns the rectangle the curves were drawn in; nothing, with only the table drawn, when no
// histogram is to be shown.
std::optional<PixelRect> drawPrintedPage(QPainter& painter, PlotPainter& plotPainter,
                                         const PixelRect& rect, PlotView view,
                                         const AppConfig& config, const HistogramList& list,
                                         std::span<const std::string> tableRows);

} // namespace kv
