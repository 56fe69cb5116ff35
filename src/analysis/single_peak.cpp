#include "analysis/single_peak.h"

#include "analysis/efficiency.h"

namespace kv {

double meanKevPerChannel(const EnergyCalibration& calibration, std::int32_t channelCount) {
    if (channelCount < 2) {
        return 1.0;
    }
    const double last = channelCount - 1;
    return (calibration.channelToEnergy(last, channelCount) -
            calibration.channelToEnergy(0.0, channelCount)) /
           last;
}

SinglePeakReadout singlePeakReadout(const PeakFit& fit, const EnergyCalibration& calibration,
                                    std::int32_t channelCount, double exposureSeconds,
                                    const EfficiencyCalibration* efficiency) {
    const double kevPerChannel = meanKevPerChannel(calibration, channelCount);
    SinglePeakReadout r;
    r.channel = fit.centre + 1.0;
    r.channelError = fit.centreError;
    r.energy = calibration.channelToEnergy(fit.centre, channelCount);
    r.energyError = kevPerChannel * fit.centreError;
    r.fwhm = kFwhmPerSigma * fit.sigma;
    r.fwhmError = kFwhmPerSigma * fit.sigmaError;
    r.fwhmKeV = kevPerChannel * kFwhmPerSigma * fit.sigma;
    r.fwhmKeVError = kevPerChannel * kFwhmPerSigma * fit.sigmaError;
    r.intensity = fit.area / exposureSeconds;
    r.intensityError = fit.areaError / exposureSeconds;
    // An efficiency that is not positive is unknown: the rate then stays uncorrected.
    if (efficiency) {
        const double at = efficiencyAt(*efficiency, r.energy);
        const auto intensity = efficiencyCorrected(r.intensity, at);
        const auto intensityError = efficiencyCorrected(r.intensityError, at);
        if (intensity && intensityError) {
            r.intensity = *intensity;
            r.intensityError = *intensityError;
        }
    }
    return r;
}

} // namespace kv
