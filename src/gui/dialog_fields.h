#pragma once

// The routines every settings dialog uses to show a number in an edit field and read it back
// (see model/number_text.h for the rule).

class QLineEdit;

namespace kv {

// Sets the field's text to value formatted by format (one printf conversion, e.g. "%0.2f").
void setDialogDouble(QLineEdit& field, const char* format, double value);

// Reads the field's number into target; text that is not a number stores 0.0, a number beyond
// the range of a double leaves target unchanged.
void getDialogDouble(const QLineEdit& field, double& target);

} // namespace kv
