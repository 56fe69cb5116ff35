#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace kv {

QRect placedOnPresentScreens(const QRect& rect) {
    const QScreen* target = nullptr;
    qint64 largestOverlap = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().contains(rect)) {
            return rect;
        }
        const QRect overlap = screen->availableGeometry().intersected(rect);
        const qint64 area = qint64{overlap.width()} * overlap.height();
        if (area > largestOverlap) {
            largestOverlap = area;
            target = screen;
        }
    }
    if (!target) {
        target = QGuiApplication::primaryScreen();
    }
    if (!target) {
        return rect;
    }
    const QRect available = target->availableGeometry();
    QRect placed(rect.topLeft(), rect.size().boundedTo(available.size()));
    placed.moveLeft(std::clamp(placed.left(), available.left(),
                               available.left() + available.width() - placed.width()));
    placed.moveTop(std::clamp(placed.top(), available.top(),
                              available.top() + available.height() - placed.height()));
    return placed;
}

QRect firstStartGeometry(const QScreen& screen) {
    const QRect available = screen.availableGeometry();
    QRect placed(0, 0, available.width() * 3 / 4, available.height() * 3 / 4);
    placed.moveCenter(available.center());
    return placed;
}

} // namespace kv
