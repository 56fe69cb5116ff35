#pragma once

// Building the energy calibration from channel/energy points, as the energy calibration window
// and the command-line tool do: the table of at most five points (kept sorted by channel), the
// polynomial fitted through them, and the table with each point's deviation as copied to the
// clipboard. Energies are in keV, channels zero-based unless a name says otherwise.

#include "model/energy_calibration.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kv {

// The highest degree the window offers; the fit uses at most degree + 1 = 5 terms.
inline constexpr int kMaxCalibrationDegree = kMaxCalibrationTerms - 1;

// The number of points in use: pointCount, or 0 when a damaged record holds one outside 0..5.
std::size_t calibrationPointCount(const EnergyCalibration& calibration);

// Orders the points by ascending channel (the order the window lists them in).
void sortCalibrationPoints(EnergyCalibration& calibration);

enum class AddCalibrationPointOutcome {
    Added,
    TableFull, // five points already: show TooManyEnergyPoints
};

// Adds the point (oneBasedChannel - 1, energyKeV) as the window's "Добавить" does, which takes
// the channel as the user sees it; the table stays sorted.
AddCalibrationPointOutcome addCalibrationPoint(EnergyCalibration& calibration,
                                               double oneBasedChannel, double energyKeV);

// Removes the point at index (later ones move up); an index outside the table changes nothing.
void deleteCalibrationPoint(EnergyCalibration& calibration, std::size_t index);

// The window's list entry for a point at a zero-based channel: "%0.2f    :     %0.2f" of the
// one-based channel and the energy.
std::string calibrationListRow(double channel, double energyKeV);

enum class CalibrateOutcome {
    Fitted,      // a polynomial through the points is in force
    SwitchedOff, // a single point off channel 0: no calibration is in force any more
    Unchanged,   // a single point on channel 0, which asks for nothing
    NoPoints,    // nothing to fit: the calibration is kept
    Singular,    // the points do not fix the polynomial (two on one channel): kept
};

// "Калибровать" with the degree of the window's up-down (below 1 counts as 1, above 4 as 4):
// from two points on, fits E = c0 + c1 x + ... through them by least squares with
// min(degree + 1, points) terms, made at channelCount. Only a fit that succeeds changes the
// terms, coefficients and channel scale; any other outcome but SwitchedOff leaves the record
// as it was, so a failed fit never leaves old coefficients read with a new number of terms.
CalibrateOutcome calibrate(EnergyCalibration& calibration, int degree, std::int32_t channelCount);

// The table as copied to the clipboard: the header EnergyCalibrationTableHeader, then per point
// "%0.2f\t%0.2f\t%0.4f\r\n" of the zero-based channel, the entered energy and the calibration's
// energy there less the entered one. Nothing for an empty table.
std::optional<std::string> calibrationCopyText(const EnergyCalibration& calibration,
                                               std::int32_t channelCount);

} // namespace kv
