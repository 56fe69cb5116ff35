#include "display/plot_painter.h"

#include "display/line_pixels.h"
#include "model/append_format.h"
#include "model/energy_calibration.h"
#include "model/strings.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QLine>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

namespace kv {

namespace {

constexpr int kPaneRightMargin = 5; // keeps the last channel's marker clear of the pane edge
constexpr int kAxisInset = 2;       // around the labels, and again between frame and curves
constexpr int kGridDivisions = 5;
constexpr int kMarkerSpacingPixels = 30;
constexpr int kMarkerShapes = 16;
constexpr int kDrawnMarkerShapes = 8;
constexpr int kDefaultDpi = 96;

void shrink(PixelRect& r, int by) {
    r.left += by;
    r.top += by;
    r.right -= by;
    r.bottom -= by;
}

// The outline on the rectangle's pixels, right and bottom edges exclusive as for a window's
// client rectangle. A 1-pixel pen strokes a QRect at x + width and y + height, one beyond its
// last pixel, hence the smaller size.
QRect outline(const PixelRect& r) {
    return QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
}

QString formatted(const char* format, double value) {
    return QString::fromStdString(formatText(format, value));
}

QString channelLabel(std::int32_t channel) {
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%lld", static_cast<long long>(channel) + 1);
    return QString::fromLatin1(buffer.data());
}

// Decimals of the vertical limit labels in intensity mode: whole numbers for spans of ten and
// more counts per second, as for counts, and for lower rates two significant digits of the span
// (0.35, 0.0012), so the two limits never read alike; at most 6.
int intensityDecimals(double bottom, double top) {
    double span = std::abs(top - bottom);
    if (!(span > 0.0)) {
        span = std::max(std::abs(top), std::abs(bottom));
    }
    if (!(span > 0.0) || !std::isfinite(span)) {
        return 0;
    }
    const double decimals = std::ceil(-std::log10(span)) + 1.0;
    return static_cast<int>(std::clamp(decimals, 0.0, 6.0));
}

// Sans-serif, normal weight, with a line height of a fifth of an inch on the device.
QFont axisFont(const QPaintDevice* device) {
    const int dpi = device != nullptr ? device->logicalDpiX() : kDefaultDpi;
    const int lineHeight = std::max(1, dpi / 5);
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setPixelSize(lineHeight);
    // A pixel size sets the em; the line is taller by the font's ascent and descent.
    const int measured = QFontMetrics(font, device).height();
    if (measured > lineHeight) {
        font.setPixelSize(std::max(1, lineHeight * lineHeight / measured));
    }
    return font;
}

// Draws text with the start, centre or end of its line (horizontal alignment) and its top or
// bottom (vertical alignment) at anchor; rotated, the line runs upwards and its bottom faces
// right.
void drawAnchoredText(QPainter& painter, QPoint anchor, const QString& text,
                      Qt::Alignment alignment, bool rotated) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = metrics.horizontalAdvance(text);
    const int x = (alignment & Qt::AlignRight)     ? -width
                  : (alignment & Qt::AlignHCenter) ? -width / 2
                                                   : 0;
    const int baseline = (alignment & Qt::AlignTop) ? metrics.ascent() : -metrics.descent();
    painter.save();
    painter.translate(anchor);
    if (rotated) {
        painter.rotate(-90.0);
    }
    painter.drawText(QPoint(x, baseline), text);
    painter.restore();
}

// One marker shape in a box of 2 * d + 1 pixels (7 x 7 on a screen) centred on p, with the
// painter's pen and brush.
void drawMarker(QPainter& painter, int shape, QPoint p, int d) {
    const int x = p.x();
    const int y = p.y();
    switch (shape) {
    case 0:
        painter.drawRect(QRect(x - d, y - d, 2 * d, 2 * d)); // stroked to x + 2d, see outline()
        break;
    case 1:
        painter.drawLine(x - d, y - d, x + d, y + d);
        painter.drawLine(x + d, y - d, x - d, y + d);
        break;
    case 2:
        painter.drawEllipse(QRect(x - d, y - d, 2 * d, 2 * d));
        break;
    case 3: {
        const std::array<QPoint, 3> down{QPoint(x - d, y - d), QPoint(x, y + d),
                                         QPoint(x + d, y - d)};
        painter.drawPolygon(down.data(), 3);
        break;
    }
    case 4: {
        const std::array<QPoint, 3> up{QPoint(x + d, y + d), QPoint(x - d, y + d),
                                       QPoint(x, y - d)};
        painter.drawPolygon(up.data(), 3);
        break;
    }
    case 5:
        painter.drawLine(x + d, y, x - d, y);
        painter.drawLine(x, y - d, x, y + d);
        break;
    case 6: {
        const std::array<QPoint, 3> right{QPoint(x + d, y), QPoint(x - d, y - d),
                                          QPoint(x - d, y + d)};
        painter.drawPolygon(right.data(), 3);
        break;
    }
    case 7: {
        const std::array<QPoint, 3> left{QPoint(x - d, y), QPoint(x + d, y - d),
                                         QPoint(x + d, y + d)};
        painter.drawPolygon(left.data(), 3);
        break;
    }
    default:
        break;
    }
}

// How many device pixels stand for one screen pixel: 1 on screens and images, more on a printer,
// so curves and markers keep their size on paper as the fonts and the frame do.
int deviceScale(const QPaintDevice* device) {
    return device != nullptr ? std::max(1, device->logicalDpiX() / kDefaultDpi) : 1;
}

// Whether the painter draws a one-pixel line into pixels exactly as the column envelope
// assumes: on an image or a widget (not a printer or a vector device), without antialiasing.
bool drawsAliasedPixels(QPainter& painter, int penWidth) {
    const QPaintEngine* engine = painter.paintEngine();
    return penWidth == 1 && engine != nullptr && engine->type() == QPaintEngine::Raster &&
           !painter.testRenderHint(QPainter::Antialiasing) &&
           painter.worldTransform().type() <= QTransform::TxTranslate;
}

} // namespace

namespace {

// Black outline, white inside, and the pen and brush left so for what is drawn next.
void clearPane(QPainter& painter, const PixelRect& paneRect) {
    painter.setPen(QPen(Qt::black));
    painter.setBrush(Qt::white);
    painter.drawRect(outline(paneRect));
}

} // namespace

void PlotPainter::paintPlotPane(QPainter& painter, const PixelRect& paneRect, PlotView& view,
                                const AppConfig& config, const HistogramList& list,
                                std::span<const PlotOverlay* const> overlays) {
    painter.save();
    clearPane(painter, paneRect);
    drawPlot(painter, paneRect, view, config, list, overlays);
    painter.restore();
}

void PlotPainter::paintGraphPane(QPainter& painter, const PixelRect& paneRect,
                                 const PaneGraph& graph) {
    painter.save();
    clearPane(painter, paneRect);
    graph.draw(painter, paneRect);
    painter.restore();
}

bool PlotPainter::drawPlot(QPainter& painter, const PixelRect& paneRect, PlotView& view,
                           const AppConfig& config, const HistogramList& list,
                           std::span<const PlotOverlay* const> overlays) {
    view.plotRect = paneRect;
    view.plotRect.right -= kPaneRightMargin;
    const PlotSettings& plot = config.plot;
    if (list.empty() || !computeVerticalRange(view, plot, list)) {
        return false;
    }
    if (plot.roundRange != 0) {
        roundVerticalRange(view);
    }
    drawAxes(painter, view, plot, config.energyCalibration, list.channelCount());

    if (plot.showSelectedOnly != 0) {
        drawHistogramCurve(painter, view, plot, *list.currentHistogram(), 0, false);
    } else {
        int drawn = 0;
        for (int i = 0; i < list.histogramCount(); ++i) {
            if (!list.isMarked(i)) {
                continue;
            }
            const int marker = drawn < kCurvesWithMarkers ? drawn : kNoMarker;
            drawHistogramCurve(painter, view, plot, *list.histogramAt(i), marker,
                               i == list.currentIndex());
            ++drawn;
        }
    }

    for (const PlotOverlay* overlay : overlays) {
        painter.save();
        overlay->draw(painter, view, config, list);
        painter.restore();
    }
    return true;
}

int PlotPainter::drawAxes(QPainter& painter, PlotView& view, const PlotSettings& plot,
                          const EnergyCalibration& calibration, std::int32_t channelCount) {
    PixelRect& r = view.plotRect;
    const double bottom = plot.fromZero != 0 ? 0.0 : view.yMin;
    StringId yTitle = StringId::AxisCounts;
    int yDecimals = 0;
    switch (yAxisMode(plot)) {
    case YAxisMode::Intensity:
        yTitle = StringId::AxisIntensity;
        yDecimals = intensityDecimals(bottom, view.yMax);
        break;
    case YAxisMode::Probability:
        yTitle = StringId::AxisProbability;
        yDecimals = 3;
        break;
    case YAxisMode::Counts:
        break;
    }
    AxisTexts texts;
    texts.yTitle = QString::fromUtf8(text(yTitle));
    texts.bottomLabel = QString::fromStdString(formatText("%0.*f", yDecimals, bottom));
    texts.topLabel = QString::fromStdString(formatText("%0.*f", yDecimals, view.yMax));
    if (plot.xAxisMode == 1) {
        texts.xTitle = QString::fromUtf8(text(StringId::AxisEnergy));
        texts.firstLabel =
            formatted("%0.0f", calibration.channelToEnergy(plot.firstChannel, channelCount));
        texts.lastLabel =
            formatted("%0.0f", calibration.channelToEnergy(plot.lastChannel, channelCount));
    } else {
        texts.xTitle = QString::fromUtf8(text(StringId::AxisChannels));
        texts.firstLabel = channelLabel(plot.firstChannel);
        texts.lastLabel = channelLabel(plot.lastChannel);
    }
    return drawFrame(painter, r, texts);
}

int PlotPainter::drawFrame(QPainter& painter, PixelRect& r, const AxisTexts& texts) {
    const auto& [xTitle, firstLabel, lastLabel, yTitleText, bottomLabel, topLabel] = texts;
    shrink(r, kAxisInset);
    // One line of text to the left of the frame (rotated) and one below it.
    painter.setFont(axisFont(painter.device()));
    const int h = painter.fontMetrics().height();
    r.left += h;
    r.bottom -= h;

    // Whole device pixels, so the frame and grid stay crisp at any resolution.
    const int framePen = h / 10;
    const int gridPen = h / 15;
    painter.setPen(QPen(Qt::black, framePen));
    painter.setBrush(Qt::white);
    painter.drawRect(outline(r));

    painter.setPen(QPen(Qt::black, gridPen, Qt::DotLine));
    for (int i = 1; i < kGridDivisions; ++i) {
        const int y = r.top + (r.bottom - r.top) * i / kGridDivisions;
        const int x = r.left + (r.right - r.left) * i / kGridDivisions;
        painter.drawLine(r.left, y, r.right - 1, y);
        painter.drawLine(x, r.top, x, r.bottom - 1);
    }

    painter.setPen(QPen(Qt::black));
    // A centred title is left out where it would run into the limit labels at the ends of its
    // axis (a small pane); the limits carry more information than the title.
    const QFontMetrics metrics = painter.fontMetrics();
    const auto titleFits = [&metrics](const QString& title, int span, const QString& endA,
                                      const QString& endB) {
        const int ends = std::max(metrics.horizontalAdvance(endA), metrics.horizontalAdvance(endB));
        return metrics.horizontalAdvance(title) / 2 + ends + metrics.averageCharWidth() <= span / 2;
    };
    if (titleFits(yTitleText, r.bottom - r.top, bottomLabel, topLabel)) {
        drawAnchoredText(painter, QPoint(r.left, (r.top + r.bottom) / 2), yTitleText,
                         Qt::AlignHCenter | Qt::AlignBottom, true);
    }
    drawAnchoredText(painter, QPoint(r.left - 1, r.bottom), bottomLabel,
                     Qt::AlignLeft | Qt::AlignBottom, true);
    drawAnchoredText(painter, QPoint(r.left - 1, r.top), topLabel, Qt::AlignRight | Qt::AlignBottom,
                     true);
    if (titleFits(xTitle, r.right - r.left, firstLabel, lastLabel)) {
        drawAnchoredText(painter, QPoint((r.left + r.right) / 2, r.bottom), xTitle,
                         Qt::AlignHCenter | Qt::AlignTop, false);
    }
    drawAnchoredText(painter, QPoint(r.left, r.bottom), firstLabel, Qt::AlignLeft | Qt::AlignTop,
                     false);
    drawAnchoredText(painter, QPoint(r.right, r.bottom), lastLabel, Qt::AlignRight | Qt::AlignTop,
                     false);

    shrink(r, kAxisInset);
    return h;
}

void PlotPainter::drawHistogramCurve(QPainter& painter, const PlotView& view,
                                     const PlotSettings& plot, const Histogram& h, int markerIndex,
                                     bool highlighted) {
    // A record shorter than the visible range is drawn over the channels it has.
    const std::int64_t first = std::max(plot.firstChannel, 0);
    const std::int64_t last = std::min<std::int64_t>(plot.lastChannel, std::ssize(h.channels) - 1);
    if (first > last) {
        return;
    }
    const PixelRect& r = view.plotRect;
    const std::int64_t span = static_cast<std::int64_t>(plot.lastChannel) - plot.firstChannel;
    // A pane narrower than its insets has no width to space markers by.
    const int pixel = deviceScale(painter.device());
    const std::int64_t spacing = std::max<std::int64_t>(
        span * kMarkerSpacingPixels * pixel / std::max(r.right - r.left, 1), 1);

    const double scale = displayScale(h, yAxisMode(plot));
    const auto pointAt = [&](std::int64_t c) {
        const PixelPoint p = mapToPixel(view, plot, static_cast<double>(c),
                                        h.channels[static_cast<std::size_t>(c)] * scale, scale, r);
        return QPoint(p.x, p.y);
    };
    const QPen pen(highlighted ? QColor::fromRgb(kHighlightRgb) : QColor(Qt::black), pixel);
    const std::int64_t columns = std::max(r.right - r.left, 0) + 1;
    if (last - first + 1 > columns && std::isfinite(scale) && scale > 0.0 &&
        drawsAliasedPixels(painter, pixel)) {
        drawColumnEnvelope(painter, pen, view, plot, h, first, last);
    } else {
        m_points.resize(static_cast<std::size_t>(last - first + 1));
        for (std::int64_t c = first; c <= last; ++c) {
            m_points[static_cast<std::size_t>(c - first)] = pointAt(c);
        }
        painter.setPen(pen);
        painter.drawPolyline(m_points.data(), static_cast<int>(m_points.size()));
    }

    const int shape = markerIndex < 0 ? kDrawnMarkerShapes : markerIndex % kMarkerShapes;
    if (shape >= kDrawnMarkerShapes) {
        return;
    }
    painter.setPen(pen);
    painter.setBrush(Qt::white);
    // Channels after the first that are multiples of the spacing.
    for (std::int64_t c = (first / spacing + 1) * spacing; c <= last; c += spacing) {
        drawMarker(painter, shape, pointAt(c), 3 * pixel);
    }
}

void PlotPainter::drawColumnEnvelope(QPainter& painter, const QPen& pen, const PlotView& view,
                                     const PlotSettings& plot, const Histogram& h,
                                     std::int64_t first, std::int64_t last) {
    const PixelRect& r = view.plotRect;
    const double scale = displayScale(h, yAxisMode(plot));
    const auto yOf = [&](std::int32_t count) {
        return mapToPixel(view, plot, 0.0, count * scale, scale, r).y;
    };
    const auto columnOf = [&](std::int64_t c) {
        return channelToPixelX(plot, static_cast<double>(c), r);
    };
    // Channels a column holds, about: the search for its last one starts there.
    const std::int64_t perColumn =
        std::max<std::int64_t>((static_cast<std::int64_t>(plot.lastChannel) - plot.firstChannel) /
                                   std::max(r.right - r.left, 1),
                               1);
    const std::span<const std::int32_t> counts(h.channels);

    m_lines.clear();
    QPoint previousLast;
    for (std::int64_t c0 = first; c0 <= last;) {
        const int x = columnOf(c0);
        // The column's last channel: columns never fall as channels rise.
        std::int64_t c1 = std::min(c0 + perColumn - 1, last);
        while (c1 > c0 && columnOf(c1) != x) {
            --c1;
        }
        while (c1 < last && columnOf(c1 + 1) == x) {
            ++c1;
        }
        const auto [fewest, most] = countExtremes(
            counts.subspan(static_cast<std::size_t>(c0), static_cast<std::size_t>(c1 - c0 + 1)));
        const QPoint columnFirst(x, yOf(counts[static_cast<std::size_t>(c0)]));
        if (c0 > first) {
            m_lines.emplace_back(previousLast, columnFirst);
        }
        // Higher counts lie higher up, at smaller y, on either scale.
        if (c1 > c0) {
            m_lines.emplace_back(x, yOf(most), x, yOf(fewest));
        }
        previousLast = QPoint(x, yOf(counts[static_cast<std::size_t>(c1)]));
        c0 = c1 + 1;
    }
    std::optional<LinePixels> pixels = LinePixels::forPainter(painter, pen.color());
    if (!pixels || !pixels->drawLines(m_lines)) {
        painter.setPen(pen);
        painter.drawLines(m_lines.data(), static_cast<int>(m_lines.size()));
    }
}

} // namespace kv
