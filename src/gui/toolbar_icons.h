#pragma once

// The program's own 16 x 16 toolbar images, drawn rather than shipped as bitmaps so they stay
// sharp at any device pixel ratio. They need a running QGuiApplication.

#include <QIcon>

namespace kv {

enum class ToolbarImage {
    New,
    Open,
    Save,
    Print,
    LeftBoundary,
    RightBoundary,
    ClearBoundaries,
    MarkedOnly,
    Zoom,
    LogScale,
    FromZero,
    Start,
    Orientation,
    Delete,
    Copy,
    AddCopy,
    Paste,
    Help,
};

QIcon toolbarIcon(ToolbarImage image);

} // namespace kv
