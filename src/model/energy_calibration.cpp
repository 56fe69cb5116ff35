#include "model/energy_calibration.h"

#include <cmath>
#include <limits>

namespace kv {

namespace {

constexpr std::int32_t kMinCalibratedChannelScale = 2;

// Keeps every energy finite for the callers that format or map it.
double saturated(double value) {
    if (std::isnan(value)) {
        return 0.0;
    }
    constexpr double kLargest = std::numeric_limits<double>::max();
    return value > kLargest ? kLargest : (value < -kLargest ? -kLargest : value);
}

// The polynomial as the conversions use it: the terms in use, and the factor from a channel
// position to the position on the channel count the calibration was fitted at.
struct Polynomial {
    const std::array<double, kMaxCalibrationTerms>& coefficients;
    int termCount;
    double channelScale;
    double channelCount;

    double operator()(double channel) const {
        const double t = channelScale * channel / channelCount;
        double energy = 0.0;
        double power = 1.0;
        for (int k = 0; k < termCount; ++k) {
            energy += coefficients[k] * power;
            power *= t;
        }
        return energy;
    }
};

Polynomial polynomialOf(const EnergyCalibration& c, std::int32_t channelCount) {
    // A channel count below 1 cannot rescale anything: the polynomial takes the channel as it is.
    if (channelCount < 1) {
        return {c.coefficients, c.termsInUse(), 1.0, 1.0};
    }
    return {c.coefficients, c.termsInUse(), static_cast<double>(c.channelScale),
            static_cast<double>(channelCount)};
}

} // namespace

bool EnergyCalibration::inForce() const {
    if (channelScale < kMinCalibratedChannelScale || channelScale > kMaxCalibrationChannelScale) {
        return false;
    }
    const int terms = termsInUse();
    for (int k = 0; k < terms; ++k) {
        if (!std::isfinite(coefficients[k])) {
            return false;
        }
    }
    return true;
}

int EnergyCalibration::termsInUse() const {
    return termCount >= 0 && termCount <= kMaxCalibrationTerms ? termCount : kMaxCalibrationTerms;
}

double EnergyCalibration::channelToEnergy(double channel, std::int32_t channelCount) const {
    return saturated(inForce() ? polynomialOf(*this, channelCount)(channel) : channel);
}

EnergyToChannelResult EnergyCalibration::energyToChannel(double energyKeV,
                                                         std::int32_t channelCount) const {
    if (!inForce()) {
        return {};
    }
    const Polynomial polynomial = polynomialOf(*this, channelCount);
    // Unused terms take no part, so a term count below 2 has no slope.
    const double c0 = polynomial.termCount > 0 ? coefficients[0] : 0.0;
    const double c1 = polynomial.termCount > 1 ? coefficients[1] : 0.0;
    const double above = energyKeV - c0;
    // A constant calibration (c1 = 0, or fewer than two terms) has no start value.
    const double start = c1 == 0.0 ? std::numeric_limits<double>::infinity() : above / c1;
    if (!std::isfinite(start)) {
        return {0.0, false, 0};
    }
    // E = c0 is channel 0 itself; the iteration would divide 0 by 0 there.
    if (start == 0.0) {
        return {0.0, true, 0};
    }

    double x = start;
    double best = 0.0;
    double bestMiss = std::numeric_limits<double>::infinity();
    int pass = 0;
    while (pass < kMaxEnergyToChannelPasses) {
        ++pass;
        const double reached = polynomial(x);
        const double miss = std::abs(reached - energyKeV);
        if (miss < bestMiss) {
            bestMiss = miss;
            best = x;
        }
        const double reachedAbove = reached - c0;
        if (reachedAbove == 0.0) {
            break;
        }
        const double next = above * x / reachedAbove;
        if (!std::isfinite(next)) {
            break;
        }
        const double step = std::abs(next - x);
        x = next;
        if (step <= kEnergyToChannelTolerance) {
            return {x, true, pass};
        }
    }
    return {best, false, pass};
}

} // namespace kv
