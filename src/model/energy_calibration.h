#pragma once

// The energy calibration in force: one polynomial E = c0 + c1 t + ... + c(n-1) t^(n-1) in keV,
// shared by every open histogram. t is the channel position rescaled to the channel count the
// calibration was fitted at (channelScale), so a calibration made on 2048-channel spectra still
// holds for 4096-channel ones. Channel positions are zero-based and may be fractional.
//
// The record itself (points, termCount, coefficients, channelScale) is part of AppConfig and of
// every histogram file's trailer. EnergyCalibration reads the fields the conversions need once,
// together with the current channel count, so a drawing loop does not re-check them per point;
// build a new one whenever the configuration or the channel count changes.

#include "model/app_config.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace kv {

inline constexpr int kMaxCalibrationTerms = 5;
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

class EnergyCalibration {
public:
    // channelCount is the current ChannelCount of the histogram list. A calibration is in force
    // when channelScale is at least 2 and the coefficients in use are finite; a damaged one
    // (NaN or infinite coefficients) acts as no calibration. termCount is used as it is from 0
    // to 5 (0 terms give 0 keV everywhere, as an empty fit leaves it); any other value counts
    // as the default 5. A channel count below 1 cannot rescale anything: the polynomial is then
    // applied to the channel as it is.
    EnergyCalibration(const AppConfig& config, std::int32_t channelCount);

    bool inForce() const { return m_inForce; }

    // Energy in keV of a channel position. Without a calibration the energy is the channel
    // number. Always finite: an overflowing polynomial saturates at the largest double, and a
    // NaN channel gives 0.
    double channelToEnergy(double channel) const;

    // Channel position of an energy in keV, by the fixed-point iteration
    //   x <- (E - c0) x / (E(x) - c0), starting from x = (E - c0) / c1,
    // which for a linear calibration ends after one pass (two when the calibration was made at
    // another channel count). Without a calibration: channel 0, converged.
    //
    // Not converged, with the channel of the pass whose energy came nearest to E (0 when no
    // pass was made), when the iteration cannot go on: E is not finite; c1 is 0, so there is
    // no start value; a pass lands where E(x) = c0; or kMaxEnergyToChannelPasses are used up
    // (an energy a curved polynomial never reaches makes the iteration wander or cycle).
    EnergyToChannelResult energyToChannel(double energyKeV) const;

private:
    double polynomial(double channel) const;

    std::array<double, kMaxCalibrationTerms> m_coefficients{}; // unused terms are 0
    int m_termCount = 0;
    double m_channelScale = 1.0;
    double m_channelCount = 1.0;
    bool m_inForce = false;
};

} // namespace kv
