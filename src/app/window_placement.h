#pragma once

// Where the main window goes on the screens present: a stored placement taken as it is, unless
// the screen it was saved on is no longer there, and a place of its own on the first start.

#include <QRect>

class QScreen;

namespace kv {

// rect as it is when one screen holds it whole; otherwise moved, and shrunk where it is larger,
// into the available area of the screen it overlaps most (the primary screen when it overlaps
// none). rect unchanged when there is no screen at all.
QRect placedOnPresentScreens(const QRect& rect);

// Three quarters of the screen's available area, centred on it.
QRect firstStartGeometry(const QScreen& screen);

} // namespace kv
