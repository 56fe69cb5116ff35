#include "gui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace kv {

namespace {

constexpr int kIconSize = 16;

// A transparent 16 x 16 pixmap drawn by draw(painter).
template <typename Draw> QIcon drawnIcon(Draw draw) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

// A frame in the kind's colour, so the kinds differ by colour as well as by glyph.
void drawFrame(QPainter& painter, const QColor& colour) {
    painter.setPen(QPen(colour.darker(150), 1));
    painter.setBrush(colour.lighter(170));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
    painter.setPen(QPen(colour.darker(150), 1.5));
    painter.setBrush(colour);
}

// A measured spectrum: bars of a histogram.
void drawMeasured(QPainter& painter) {
    drawFrame(painter, QColor(40, 110, 200));
    constexpr std::array<int, 5> kHeights{4, 7, 11, 6, 3};
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < kHeights.size(); ++i) {
        painter.drawRect(
            QRectF(2.5 + 2.2 * static_cast<double>(i), 13.5 - kHeights[i], 2, kHeights[i]));
    }
}

// Arithmetic between spectra: a plus over a minus.
void drawArithmetic(QPainter& painter) {
    drawFrame(painter, QColor(200, 120, 30));
    painter.drawLine(QPointF(8, 3), QPointF(8, 9));
    painter.drawLine(QPointF(5, 6), QPointF(11, 6));
    painter.drawLine(QPointF(5, 12), QPointF(11, 12));
}

// Any other kind: a single peak.
void drawOther(QPainter& painter) {
    drawFrame(painter, QColor(120, 120, 120));
    QPainterPath peak(QPointF(2, 13));
    peak.cubicTo(QPointF(7, 13), QPointF(6, 3), QPointF(8, 3));
    peak.cubicTo(QPointF(10, 3), QPointF(9, 13), QPointF(14, 13));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(peak);
}

// Pasted from the clipboard: a clip board with lines of text.
void drawPasted(QPainter& painter) {
    drawFrame(painter, QColor(150, 90, 170));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4, 3, 8, 11));
    painter.setBrush(painter.pen().color());
    painter.drawRect(QRectF(6, 2, 4, 2));
    for (const double y : {7.0, 9.5, 12.0}) {
        painter.drawLine(QPointF(5.5, y), QPointF(10.5, y));
    }
}

// An X-ray measurement: a cross.
void drawXray(QPainter& painter) {
    drawFrame(painter, QColor(200, 50, 50));
    painter.setPen(QPen(painter.pen().color(), 2.2));
    painter.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
    painter.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
}

// A copy, the start of every analysis result: two overlapping sheets.
void drawCopy(QPainter& painter) {
    drawFrame(painter, QColor(40, 150, 80));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(3, 3, 7, 8));
    painter.drawRect(QRectF(6, 5.5, 7, 8));
}

} // namespace

QIcon kindIcon(int kindNumber) {
    switch (kindNumber) {
    case 0:
        return drawnIcon(drawMeasured);
    case 1:
        return drawnIcon(drawArithmetic);
    case 2:
        return drawnIcon(drawOther);
    case 3:
        return drawnIcon(drawPasted);
    case 4:
        return drawnIcon(drawXray);
    case 5:
        return drawnIcon(drawCopy);
    default:
        return {};
    }
}

QIcon markIcon(bool marked) {
    return drawnIcon([marked](QPainter& painter) {
        painter.setPen(QPen(QColor(70, 70, 70), 1));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(2.5, 2.5, 11, 11));
        if (marked) {
            painter.setPen(
                QPen(QColor(20, 140, 40), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPolyline(QPolygonF{QPointF(4.5, 8), QPointF(7, 10.5), QPointF(12, 4.5)});
        }
    });
}

} // namespace kv
