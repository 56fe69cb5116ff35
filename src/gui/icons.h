#pragma once

// The program's own 16 x 16 images of the list pane: one per kind number of a histogram and one
// per mark state. They need a running QGuiApplication.

#include <QIcon>

namespace kv {

// Kind numbers 0-5 (the kind word's low four bits): measurement, arithmetic result, other,
// clipboard paste, X-ray measurement, copy or analysis result. Other numbers have no image and
// get a null icon.
QIcon kindIcon(int kindNumber);

// The state image of a list entry: marked or not marked.
QIcon markIcon(bool marked);

} // namespace kv
