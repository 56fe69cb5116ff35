#pragma once

// Arithmetic between two spectra: a weighted sum or difference, channel by channel, as the
// arithmetic window forms it on "OK".

#include "model/histogram.h"
#include "model/histogram_list.h"

#include <cstdint>
#include <memory>

namespace kv {

// The settings every open arithmetic window shares; they outlive the windows.
struct ArithmeticSettings {
    double firstFactor = 1.0;  // multiplier of the first histogram
    double secondFactor = 1.0; // multiplier of the second histogram
    bool subtractMode = false; // "Вычесть" rather than "Сложить"
};

// The composition of first and second (the same record when the window has no second
// operand), not yet listed: a new histogram of the list's channel count with kind 17, the
// first operand's name, comment "Композиция" and the total of its channels. Channel i is
// a[i] * firstFactor + b[i] * secondFactor, or minus the second term when subtracting,
// truncated toward zero; a channel an operand lacks counts as 0. A result beyond the int32
// range is held at its nearest end (a channel cannot store more, and a wrap would flip the
// sign of a peak); one that is not a number (an infinite factor times an empty channel) is 0.
// The exposure is firstFactor times the first exposure when subtracting, plus secondFactor
// times the second exposure when adding.
std::unique_ptr<Histogram> composeHistograms(const HistogramList& list, const Histogram& first,
                                             const Histogram& second,
                                             const ArithmeticSettings& settings);

} // namespace kv
