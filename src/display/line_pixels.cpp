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

// Calls set(along, across) for each pixel of the line from (along1, across1) to (along2,
// across2), whole pixels, whose longer axis is the first.
template <typename SetPixel>
void stepAlongLongerAxis(int along1, int across1, int along2, int across2, SetPixel set) {
    if (along1 > along2) {
        std::swap(along1, along2);
        std::swap(across1, across2);
    }
    const int step = fixedDivide((across2 - across1) * 64, (along2 - along1) * 64);
    // Half a pixel past either end.
    const int start = along1 * 64 - 32;
    const int stop = along2 * 64 + 32;
    int across = across1 * 65536 - (step >> 1);
    int at = (start + 32) >> 6;
    const int end = (stop + 32) >> 6;
    across += (((at << 6) + (step > 0 ? 32 : 0) - start) * step) >> 6;
    for (; at < end; ++at, across += step) {
        set(at, across >> 16);
    }
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
    if (std::abs(b.x() - a.x()) < std::abs(b.y() - a.y())) {
        stepAlongLongerAxis(a.y(), a.x(), b.y(), b.x(), [this](int y, int x) { pixel(x, y); });
    } else {
        stepAlongLongerAxis(a.x(), a.y(), b.x(), b.y(), [this](int x, int y) { pixel(x, y); });
    }
}

} // namespace kv
