#pragma once

// What the single-peak approximation shows of a fit (the window and the command-line tool
// alike): intensity, position and full width at half maximum, each with its standard error,
// in channels and keV.

#include "fitting/peak_fit.h"
#include "model/energy_calibration.h"
#include "model/settings.h"

#include <cstdint>

namespace kv {

// The full width at half maximum of a Gaussian in units of its sigma, as the program rounds it.
inline constexpr double kFwhmPerSigma = 2.36;

// The calibration's mean slope over the whole spectrum in keV per channel, which the widths in
// keV use rather than the local slope at the peak; 1 for a spectrum of one channel.
double meanKevPerChannel(const EnergyCalibration& calibration, std::int32_t channelCount);

struct SinglePeakReadout {
    double intensity = 0.0; // counts per second, divided by the efficiency when corrected
    double intensityError = 0.0;
    double channel = 0.0; // one-based, as shown
    double channelError = 0.0;
    double energy = 0.0; // keV
    double energyError = 0.0;
    double fwhm = 0.0; // channels
    double fwhmError = 0.0;
    double fwhmKeV = 0.0;
    double fwhmKeVError = 0.0;
};

// The read-out of a converged fit of a spectrum of channelCount channels measured for
// exposureSeconds (a histogram's rateExposure). With efficiency given (the efficiency
// correction on) the intensity and its error are divided by the efficiency at the peak's
// energy, unless that is not positive.
SinglePeakReadout singlePeakReadout(const PeakFit& fit, const EnergyCalibration& calibration,
                                    std::int32_t channelCount, double exposureSeconds,
                                    const EfficiencyCalibration* efficiency = nullptr);

} // namespace kv
