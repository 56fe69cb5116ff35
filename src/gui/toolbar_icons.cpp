#include "gui/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kv {

namespace {

const QColor kInk(50, 50, 50);
const QColor kPaper(255, 255, 255);
const QColor kBlue(40, 100, 190);
const QColor kGreen(30, 150, 60);
const QColor kRed(200, 40, 40);
const QColor kCurve(30, 90, 180);

QPen inkPen(const QColor& colour = kInk, double width = 1) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void sheet(QPainter& p, const QRectF& r) {
    // A page with its top right corner folded.
    const double fold = 3.5;
    QPainterPath page(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(inkPen());
    p.setBrush(kPaper);
    p.drawPath(page);
    p.drawPolyline(QPolygonF{QPointF(r.right() - fold, r.top()),
                             QPointF(r.right() - fold, r.top() + fold),
                             QPointF(r.right(), r.top() + fold)});
}

// A small spectrum with one peak, the program's subject, inside the given box.
void spectrum(QPainter& p, const QRectF& r) {
    QPainterPath curve(QPointF(r.left(), r.bottom() - r.height() * 0.3));
    curve.cubicTo(QPointF(r.left() + r.width() * 0.35, r.bottom() - r.height() * 0.15),
                  QPointF(r.center().x() - r.width() * 0.1, r.top()),
                  QPointF(r.center().x(), r.top()));
    curve.cubicTo(QPointF(r.center().x() + r.width() * 0.1, r.top()),
                  QPointF(r.right() - r.width() * 0.3, r.bottom()), r.bottomRight());
    p.setPen(inkPen(kCurve, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
}

void bracket(QPainter& p, double x, double towardsInside, const QColor& colour) {
    p.setPen(inkPen(colour, 1.8));
    p.drawPolyline(QPolygonF{QPointF(x + towardsInside, 2.5), QPointF(x, 2.5), QPointF(x, 13.5),
                             QPointF(x + towardsInside, 13.5)});
}

void axes(QPainter& p) {
    p.setPen(inkPen(kInk, 1.2));
    p.drawPolyline(QPolygonF{QPointF(2.5, 1.5), QPointF(2.5, 13.5), QPointF(14.5, 13.5)});
}

void smallText(QPainter& p, const QRectF& box, const QString& text, const QColor& colour) {
    QFont font = p.font();
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

void draw(QPainter& p, ToolbarImage image) {
    switch (image) {
    case ToolbarImage::New:
        sheet(p, QRectF(3.5, 1.5, 9, 13));
        break;
    case ToolbarImage::Open: {
        p.setPen(inkPen(QColor(150, 110, 20)));
        p.setBrush(QColor(240, 200, 90));
        p.drawPolygon(QPolygonF{QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5),
                                QPointF(13.5, 5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)});
        p.setBrush(QColor(250, 225, 130));
        p.drawPolygon(QPolygonF{QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5),
                                QPointF(1.5, 13.5)});
        break;
    }
    case ToolbarImage::Save:
        p.setPen(inkPen(kBlue.darker(140)));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
        p.setBrush(kPaper);
        p.drawRect(QRectF(4, 1.5, 8, 5.5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    case ToolbarImage::Print:
        p.setPen(inkPen());
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(170, 170, 170));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 5.5), 1, 1);
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 10, 7, 4.5));
        p.drawLine(QPointF(6, 12), QPointF(10, 12));
        break;
    case ToolbarImage::LeftBoundary:
        spectrum(p, QRectF(6, 4, 9, 9));
        bracket(p, 3.5, 2.5, kRed);
        break;
    case ToolbarImage::RightBoundary:
        spectrum(p, QRectF(1, 4, 9, 9));
        bracket(p, 12.5, -2.5, kRed);
        break;
    case ToolbarImage::ClearBoundaries:
        bracket(p, 2.5, 2.5, kInk);
        bracket(p, 13.5, -2.5, kInk);
        p.setPen(inkPen(kRed, 1.8));
        p.drawLine(QPointF(6, 5.5), QPointF(10, 10.5));
        p.drawLine(QPointF(10, 5.5), QPointF(6, 10.5));
        break;
    case ToolbarImage::MarkedOnly:
        spectrum(p, QRectF(1.5, 2, 13, 8));
        p.setPen(inkPen());
        p.setBrush(kPaper);
        p.drawRect(QRectF(8.5, 8.5, 6, 6));
        p.setPen(inkPen(kGreen, 1.6));
        p.drawPolyline(QPolygonF{QPointF(9.8, 11.5), QPointF(11.2, 13), QPointF(13.5, 9.8)});
        break;
    case ToolbarImage::Zoom:
        p.setPen(inkPen(kInk, 1.6));
        p.setBrush(QColor(210, 230, 250));
        p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        p.setPen(inkPen(kInk, 2.6));
        p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
        break;
    case ToolbarImage::LogScale:
        axes(p);
        smallText(p, QRectF(3, 1, 13, 11), QStringLiteral("lg"), kCurve);
        break;
    case ToolbarImage::FromZero:
        axes(p);
        smallText(p, QRectF(3, 5, 11, 9), QStringLiteral("0"), kCurve);
        break;
    case ToolbarImage::Start:
        p.setPen(inkPen(kGreen.darker(140)));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF{QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)});
        break;
    case ToolbarImage::Orientation:
        p.setPen(inkPen());
        p.setBrush(kPaper);
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setBrush(QColor(200, 215, 235));
        p.drawRect(QRectF(1.5, 2.5, 4.5, 11));
        for (const double y : {5.0, 7.5, 10.0}) {
            p.drawLine(QPointF(2.8, y), QPointF(4.8, y));
        }
        spectrum(p, QRectF(7.5, 4.5, 6, 7.5));
        break;
    case ToolbarImage::Delete:
        p.setPen(inkPen(kRed, 2.4));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case ToolbarImage::Copy:
        sheet(p, QRectF(1.5, 1.5, 8, 10));
        sheet(p, QRectF(6.5, 4.5, 8, 10));
        break;
    case ToolbarImage::AddCopy:
        sheet(p, QRectF(1.5, 1.5, 9, 12));
        p.setPen(inkPen(kGreen, 2.2));
        p.drawLine(QPointF(11.5, 7.5), QPointF(11.5, 14.5));
        p.drawLine(QPointF(8, 11), QPointF(15, 11));
        break;
    case ToolbarImage::Paste:
        p.setPen(inkPen(QColor(120, 80, 30)));
        p.setBrush(QColor(200, 150, 80));
        p.drawRoundedRect(QRectF(2.5, 2.5, 11, 12.5), 1, 1);
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 4.5, 7, 9));
        p.setBrush(QColor(150, 150, 150));
        p.drawRect(QRectF(5.5, 1, 5, 3));
        break;
    case ToolbarImage::Help:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(8, 8), 7, 7);
        smallText(p, QRectF(0, 0, 16, 16), QStringLiteral("?"), kPaper);
        break;
    }
}

} // namespace

QIcon toolbarIcon(ToolbarImage image) {
    // Drawn at twice the size as well, for screens that scale the interface.
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, image);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace kv
