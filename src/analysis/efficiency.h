#pragma once

// The efficiency calibration: the detector's full-energy peak efficiency (count rate in a line's
// peak over the line's emission rate) at a number of energies (EfficiencyCalibration, held in the
// configuration and in every histogram file's trailer), and the curve through those points.

#include "model/settings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Below this energy the efficiency is interpolated linearly, from it on its logarithm is.
inline constexpr double kLogInterpolationFromKeV = 165.9;

// The number of points in use: efficiencyPointCount, or 0 (the default) when a damaged
// configuration holds a count outside 0..20.
std::size_t efficiencyPointCount(const EfficiencyCalibration& efficiency);

// The efficiency at an energy in keV, from points sorted by ascending energy:
//  - no point: 1; one point: its value;
//  - at or below the first point: the straight line through the origin and that point;
//  - at or above the last point: extrapolated from the last two, log-linearly;
//  - between points: interpolated linearly below 165.9 keV, log-linearly from it on.
// Where the log form would need the logarithm of a value that is not positive, the linear form
// of the same step is used instead, so such a point gives a number, never NaN. Points that share
// an energy at the ends give the end point's value instead of dividing by zero. The result may
// be zero or negative with such points; callers treat a non-positive efficiency as unknown.
double efficiencyAt(const EfficiencyCalibration& efficiency, double energyKeV);

// rate / efficiency, or nothing when the efficiency is not positive or the result not finite.
std::optional<double> efficiencyCorrected(double rate, double efficiency);

// Orders the points by ascending energy (the order efficiencyAt needs and the window shows).
void sortEfficiencyPoints(EfficiencyCalibration& efficiency);

enum class AddEfficiencyPointOutcome {
    Added,
    TableFull,      // 20 points already: show TooManyEfficiencyPoints
    NoEmissionRate, // the emission rate is not above 0: nothing added, no message
};

// A point measured with a source of known emission rate: efficiency = count rate / emission
// rate (both per second) at energyKeV. The table stays sorted by energy.
AddEfficiencyPointOutcome addEfficiencyPoint(EfficiencyCalibration& efficiency, double energyKeV,
                                             double countRate, double emissionRate);

// Removes the point at index (later ones move up); an index outside the table changes nothing.
void deleteEfficiencyPoint(EfficiencyCalibration& efficiency, std::size_t index);

// The window's list entry for a point: "%0.2f    :     %0.2E" of energy and efficiency.
std::string efficiencyListRow(double energyKeV, double efficiency);

// The table as copied to the clipboard: the header EfficiencyTableHeader, then
// "%0.2f\t%0.2E\r\n" per point. Nothing for an empty table.
std::optional<std::string> efficiencyCopyText(const EfficiencyCalibration& efficiency);

// Replaces the table by the points of a pasted text: every line (ending in "\r\n" or "\n") that
// starts with two numbers gives energy and efficiency, other lines such as a copied header are
// skipped, and at most 20 points are taken; the table is then sorted. A text without a single
// such line, or one too long for the memory, leaves the table as it was and returns false.
bool pasteEfficiencyPoints(EfficiencyCalibration& efficiency, std::string_view text);

} // namespace kv
