#pragma once

// The About box: what the program is, its version, and where to turn with questions.

class QWidget;

namespace kv {

// Modal; OK, Escape and the window's close button end it.
void showAboutBox(QWidget* parent);

} // namespace kv
