#pragma once

// The routines every settings dialog uses to show a number in an edit field and read it back
// (see model/number_text.h for the rule).

#include <cstdint>

class QLineEdit;

namespace kv {

struct AppState;

// Sets the field's text to value formatted by format (one printf conversion, e.g. "%0.2f").
void setDialogDouble(QLineEdit& field, const char* format, double value);

// Reads the field's number into target; text that is not a number stores 0.0, a number beyond
// the range of a double leaves target unchanged.
void getDialogDouble(const QLineEdit& field, double& target);

// An unsigned decimal field (a threshold): blanks around the digits are allowed; anything else,
// and a number beyond 32 bits, reads as 0.
std::uint32_t getDialogUnsigned(const QLineEdit& field);
void setDialogUnsigned(QLineEdit& field, std::uint32_t value);

// The plot cursor as the windows that follow it show it: its channel, one-based, and its energy
// in keV in the calibration of state, both "%0.2f". Returns the cursor's zero-based channel.
double showCursorPosition(const AppState& state, QLineEdit& channel, QLineEdit& energy);

} // namespace kv
