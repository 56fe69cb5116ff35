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

} // namespace

EnergyCalibration::EnergyCalibration(const AppConfig& config, std::int32_t channelCount) {
    m_termCount = (config.termCount >= 0 && config.termCount <= kMaxCalibrationTerms)
                      ? config.termCount
                      : kMaxCalibrationTerms;
    bool finite = true;
    for (int k = 0; k < m_termCount; ++k) {
        m_coefficients[k] = config.coefficients[k];
        finite = finite && std::isfinite(m_coefficients[k]);
    }
    m_inForce = config.channelScale >= kMinCalibratedChannelScale && finite;
    if (channelCount >= 1) {
        m_channelScale = config.channelScale;
        m_channelCount = channelCount;
    }
}

double EnergyCalibration::polynomial(double channel) const {
    // The position on the channel count the calibration was fitted at.
    const double t = m_channelScale * channel / m_channelCount;
    double energy = 0.0;
    double power = 1.0;
    for (int k = 0; k < m_termCount; ++k) {
        energy += m_coefficients[k] * power;
        power *= t;
    }
    return energy;
}

double EnergyCalibration::channelToEnergy(double channel) const {
    return saturated(m_inForce ? polynomial(channel) : channel);
}

EnergyToChannelResult EnergyCalibration::energyToChannel(double energyKeV) const {
    if (!m_inForce) {
        return {};
    }
    const double c0 = m_coefficients[0];
    const double c1 = m_coefficients[1];
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
