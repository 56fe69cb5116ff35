#pragma once

// The energy calibration: one polynomial E = c0 + c1 t + ... + c(n-1) t^(n-1) in keV, shared by
// every open histogram, with the points it was fitted through. t is the channel position
// rescaled to the channel count the calibration was fitted at (channelScale), so a calibration
// made on 2048-channel spectra still holds for 4096-channel ones. Channel positions are
// zero-based and may be fractional.
//
// The record is a value: the configuration holds the one in force, every histogram file's
// trailer carries a copy, and whoever needs the conversions takes it by const reference together
// with the list's channel count. Any stored values are kept as they are (a file is written back
// as it was read); the conversions decide whether they make a calibration.

#include <array>
#include <cmath>
#include <cstdint>

namespace kv {

inline constexpr int kMaxCalibrationTerms = 5;
inline constexpr int kMaxCalibrationPoints = 5;
// The largest channel count a calibration can be made at, that of the longest spectra.
inline constexpr std::int32_t kMaxCalibrationChannelScale = 1 << 20;
// The energy-to-channel iteration stops once a pass moves the channel by at most this much.
inline constexpr double kEnergyToChannelTolerance = 0.001;
// Realistic calibrations converge within a few passes; a curved one whose fixed point lies near
// its vertex can need a few hundred. Far more than that means the energy is never reached.
inline constexpr int kMaxEnergyToChannelPasses = 1000;

// The channel index of a fractional channel, wherever one becomes the other (cursor, zoom
// limits, typed energies, drawn peaks): the nearer of floor(x) and ceil(x), floor(x) on a tie.
// A value that is not finite comes back as it is.
inline double roundHalfDown(double x) {
    const double down = std::floor(x);
    return x - down > 0.5 ? down + 1.0 : down;
}

struct EnergyToChannelResult {
    double channel = 0.0;  // zero-based channel position, always finite
    bool converged = true; // false: no channel gives the energy by this iteration
    int passes = 0;        // passes of the iteration made
};

struct EnergyCalibration {
    // The calibration points: zero-based channel positions and their energies in keV.
    std::array<double, kMaxCalibrationPoints> pointChannel{};
    std::array<double, kMaxCalibrationPoints> pointEnergy{};
    std::int32_t pointCount = 0; // 0..5
    // Used as it is from 0 to 5 (0 terms give 0 keV everywhere, as an empty fit leaves it);
    // any other value counts as the default 5.
    std::int32_t termCount = kMaxCalibrationTerms;
    std::array<double, kMaxCalibrationTerms> coefficients{}; // lowest power first
    // The channel count the polynomial was fitted at; below 2, or above any channel count,
    // there is no calibration.
    std::int32_t channelScale = 0;
    // Carried in every histogram file's trailer, used by nothing.
    double calibrationReserve0 = 0.0;
    double calibrationReserve1 = 1.0;

    bool operator==(const EnergyCalibration&) const = default;

    // A calibration is in force when channelScale is from 2 to kMaxCalibrationChannelScale and
    // the coefficients in use are finite; a damaged one acts as no calibration.
    bool inForce() const;

    // The number of coefficients the conversions use: termCount, or 5 when it is out of range.
    int termsInUse() const;

    // Energy in keV of a channel position on spectra of channelCount channels. Without a
    // calibration the energy is the channel number. Always finite: an overflowing polynomial
    // saturates at the largest double, and a NaN channel gives 0. A channel count below 1 cannot
    // rescale anything: the polynomial is then applied to the channel as it is.
    double channelToEnergy(double channel, std::int32_t channelCount) const;

    // Channel position of an energy in keV, by the fixed-point iteration
    //   x <- (E - c0) x / (E(x) - c0), starting from x = (E - c0) / c1,
    // which for a linear calibration ends after one pass (two when the calibration was made at
    // another channel count). Without a calibration: channel 0, converged.
    //
    // Not converged, with the channel of the pass whose energy came nearest to E (0 when no
    // pass was made), when the iteration cannot go on: E is not finite; c1 is 0, so there is
    // no start value; a pass lands where E(x) = c0; or kMaxEnergyToChannelPasses are used up
    // (an energy a curved polynomial never reaches makes the iteration wander or cycle).
    EnergyToChannelResult energyToChannel(double energyKeV, std::int32_t channelCount) const;
};

} // namespace kv
