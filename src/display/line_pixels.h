#pragma once

// One-pixel lines written straight into the pixels of the image a painter draws on, exactly as
// the painter would set them: the curves of the plot draw thousands of short lines per paint,
// and Qt's own per-line cost is what makes a plot of many channels slow.

#include <QLine>
#include <QRect>

#include <cstdint>
#include <optional>
#include <span>

class QColor;
class QPainter;

namespace kv {

class LinePixels {
public:
    // A writer for painter's device when the painter would draw opaque one-pixel lines into a
    // 32-bit image pixel by pixel: an RGB32 or premultiplied ARGB32 image, an opaque colour,
    // no antialiasing, full opacity, source-over, no transformation but whole-pixel
    // translation, no clipping or one rectangle of it. Nothing otherwise.
    static std::optional<LinePixels> forPainter(QPainter& painter, const QColor& color);

    // Sets the pixels QPainter::drawLines sets for lines between points inside the device with
    // a one-pixel pen of square (default) caps, and returns true; false, having set nothing,
    // when a point lies outside the device, where the painter would clip the line first.
    bool drawLines(std::span<const QLine> lines);

private:
    LinePixels(std::uint32_t* pixels, std::int64_t pixelsPerLine, QRect device, QRect clip,
               QPoint offset, std::uint32_t color);

    void line(QPoint a, QPoint b);
    void pixel(int x, int y);

    std::uint32_t* m_pixels;
    std::int64_t m_pixelsPerLine;
    QRect m_device;
    int m_clipLeft;
    int m_clipRight;
    int m_clipTop;
    int m_clipBottom;
    QPoint m_offset;
    std::uint32_t m_color;
};

} // namespace kv
