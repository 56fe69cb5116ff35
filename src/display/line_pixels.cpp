#include "display/line_pixels.h"

#include <QColor>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QTransform>

#include <cmath>
#include <cstdlib>
#include <utility>

namespace kv {

namespace {

// 16.16 fixed-point quotient of two 26.6 values, as the raster engine's line stepping takes it.
int fixedDivide(int numerator, int denominator) {
    if (std::abs(numerator) > 0x7fff) {
        return static_cast<int>((static_cast<std::int64_t>(numerator) * 65536) / denominator);
    }
    return numerator * 65536 / denominator;
}

bool isWholePixel(double value) {
    return value == std::floor(value) && std::abs(value) < 1e6;
}

} // namespace

std::optional<LinePixels> LinePixels::forPainter(QPainter& painter, const QColor& color) {
    QPaintDevice* device = painter.device();
    const QPaintEngine* engine = painter.paintEngine();
    if (device == nullptr || device->devType() != QInternal::Image || engine == nullptr ||
        engine->type() != QPaintEngine::Raster) {
        return std::nullopt;
    }
    auto* image = static_cast<QImage*>(device);
    const QTransform transform = painter.deviceTransform();
    if ((image->format() != QImage::Format_RGB32 &&
         image->format() != QImage::Format_ARGB32_Premultiplied) ||
        color.alpha() != 255 || painter.testRenderHint(QPainter::Antialiasing) ||
        painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        transform.type() > QTransform::TxTranslate || !isWholePixel(transform.dx()) ||
        !isWholePixel(transform.dy())) {
        return std::nullopt;
    }
    const QRect deviceRect = image->rect();
    QRect clip = deviceRect;
    if (painter.hasClipping()) {
        const QRegion region = painter.clipRegion() * transform;
        if (region.rectCount() != 1) {
            return std::nullopt;
        }
        clip &= region.boundingRect();
    }
    // The painter writes into the image's own pixels, which bits() does not copy while the
    // image is not shared.
    return LinePixels(reinterpret_cast<std::uint32_t*>(image->bits()), image->bytesPerLine() / 4,
                      deviceRect, clip,
                      QPoint(static_cast<int>(transform.dx()), static_cast<int>(transform.dy())),
                      color.rgba());
}

LinePixels::LinePixels(std::uint32_t* pixels, std::int64_t pixelsPerLine, QRect device, QRect clip,
                       QPoint offset, std::uint32_t color)
    : m_pixels(pixels), m_pixelsPerLine(pixelsPerLine), m_device(device), m_clipLeft(clip.left()),
      m_clipRight(clip.right()), m_clipTop(clip.top()), m_clipBottom(clip.bottom()),
      m_offset(offset), m_color(color) {}

bool LinePixels::drawLines(std::span<const QLine> lines) {
    const auto inside = [this](QPoint p) {
        return p.x() >= m_device.left() && p.x() <= m_device.right() && p.y() >= m_device.top() &&
               p.y() <= m_device.bottom();
    };
    for (const QLine& l : lines) {
        if (!inside(l.p1() + m_offset) || !inside(l.p2() + m_offset)) {
            return false;
        }
    }
    for (const QLine& l : lines) {
        line(l.p1() + m_offset, l.p2() + m_offset);
    }
    return true;
}

void LinePixels::pixel(int x, int y) {
    if (x >= m_clipLeft && x <= m_clipRight && y >= m_clipTop && y <= m_clipBottom) {
        m_pixels[y * m_pixelsPerLine + x] = m_color;
    }
}

// The raster engine's one-pixel aliased line (its cosmetic stroker) for a single line with both
// ends capped, in its 26.6 and 16.16 fixed-point steps: the end points are whole pixels here, a
// line of no length is its pixel, and along the longer axis each pixel centre gets the pixel
// the line passes through there, the line reaching half a pixel past either end.
void LinePixels::line(QPoint a, QPoint b) {
    if (a == b) {
        pixel(a.x(), a.y());
        return;
    }
    int x1 = a.x() * 64;
    int y1 = a.y() * 64;
    int x2 = b.x() * 64;
    int y2 = b.y() * 64;
    if (std::abs(x2 - x1) < std::abs(y2 - y1)) {
        if (y1 > y2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const int step = fixedDivide(x2 - x1, y2 - y1);
        int x = x1 * 1024 - (step >> 1);
        y1 -= 32;
        y2 += 32;
        int y = (y1 + 32) >> 6;
        const int end = (y2 + 32) >> 6;
        x += (((y << 6) + (step > 0 ? 32 : 0) - y1) * step) >> 6;
        for (; y < end; ++y, x += step) {
            pixel(x >> 16, y);
        }
    } else {
        if (x1 > x2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const int step = fixedDivide(y2 - y1, x2 - x1);
        int y = y1 * 1024 - (step >> 1);
        x1 -= 32;
        x2 += 32;
        int x = (x1 + 32) >> 6;
        const int end = (x2 + 32) >> 6;
        y += (((x << 6) + (step > 0 ? 32 : 0) - x1) * step) >> 6;
        for (; x < end; ++x, y += step) {
            pixel(x, y >> 16);
        }
    }
}

} // namespace kv
