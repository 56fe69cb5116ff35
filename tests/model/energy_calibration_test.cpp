#include "model/energy_calibration.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kv {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A calibration applied to spectra of one channel count.
struct Applied {
    EnergyCalibration record;
    std::int32_t channels;

    bool inForce() const { return record.inForce(); }
    double channelToEnergy(double channel) const {
        return record.channelToEnergy(channel, channels);
    }
    EnergyToChannelResult energyToChannel(double energy) const {
        return record.energyToChannel(energy, channels);
    }
};

Applied calibration(std::array<double, 5> coefficients, std::int32_t termCount,
                    std::int32_t channelScale = 2048, std::int32_t channels = 2048) {
    EnergyCalibration record;
    record.coefficients = coefficients;
    record.termCount = termCount;
    record.channelScale = channelScale;
    return {record, channels};
}
TEST(EnergyCalibration, WithoutCalibrationTheEnergyIsTheChannel) {
    // A scale above the longest spectra cannot be the channel count of a fit.
    for (std::int32_t scale : {0, 1, -2048, kMaxCalibrationChannelScale + 1}) {
        const Applied none = calibration({5, 2, 0, 0, 0}, 2, scale);
        EXPECT_EQ(none.channelToEnergy(123.4), 123.4);
        const EnergyToChannelResult back = none.energyToChannel(661.7);
        EXPECT_EQ(back.channel, 0.0);
        EXPECT_TRUE(back.converged);
    }
}

// Inversions: {calibration, energy, channel, converged, passes (0: not checked)}.
TEST(EnergyCalibration, EnergyToChannel) {
    const Applied linear = calibration({0, 2, 0, 0, 0}, 2);
    // Made at 2048 channels, used on 4096: channel 4095 is position 2047.5 of the fit,
    // 5 + 0.5 * 2047.5 keV. The start value is on the fit's scale; the first pass doubles it.
    const Applied doubled = calibration({5, 0.5, 0, 0, 0}, 2, 2048, 4096);
    // 10 + 0.5 * 1000 + 1e-4 * 1000^2 = 610 keV; E = c0 is channel 0 (a 0 / 0 step).
    const Applied curved = calibration({10, 0.5, 1e-4, 0, 0}, 3);
    // E = t - 0.001 t^2 rises to 250 keV at channel 500 and falls again. 300 keV is never
    // reached: the iteration wanders until the bound. For 500 keV the first pass lands on channel
    // 1000, where E = c0 and the next would divide by zero: the start value came nearest.
    const Applied capped = calibration({0, 1, -0.001, 0, 0}, 3);
    struct Case {
        const Applied& calibration;
        double energy, channel, within;
        bool converged;
        int passes;
    };
    for (const Case& c :
         {Case{linear, 400, 200, 0, true, 1}, Case{doubled, 1028.75, 4095, 0, true, 2},
          Case{curved, 610, 1000, 1e-3, true, 0}, Case{curved, 10, 0, 0, true, 0},
          Case{capped, 300, 500, 25, false, kMaxEnergyToChannelPasses},
          Case{capped, 500, 500, 0, false, 2}}) {
        const EnergyToChannelResult back = c.calibration.energyToChannel(c.energy);
        EXPECT_NEAR(back.channel, c.channel, c.within) << c.energy;
        EXPECT_EQ(back.converged, c.converged) << c.energy;
        EXPECT_TRUE(c.passes == 0 || back.passes == c.passes) << c.energy << ": " << back.passes;
    }
    EXPECT_EQ(linear.channelToEnergy(200), 400.0);
    EXPECT_EQ(doubled.channelToEnergy(4095), 1028.75);
}

TEST(EnergyCalibration, UsesOnlyTheFirstTermCountCoefficients) {
    const std::array<double, 5> c{1, 2, 3, 4, 5};
    // t = 2: 1 + 2*2 + 3*4 + 4*8 + 5*16, or its first three terms; out of range: the default 5.
    // Unused slots may hold anything, even values that are not numbers.
    for (const auto& [calibrated, energy] :
         {std::pair{calibration(c, 5, 100, 100), 129.0},
          {calibration(c, 3, 100, 100), 17.0},
          {calibration(c, 9, 100, 100), 129.0},
          {calibration({1, 2, kNaN, kInf, 9}, 2, 100, 100), 5.0}}) {
        EXPECT_EQ(calibrated.channelToEnergy(2), energy);
    }
    // An empty fit leaves zero terms: every channel is 0 keV and no energy can be inverted.
    const Applied empty = calibration(c, 0, 100, 100);
    EXPECT_EQ(empty.channelToEnergy(57), 0.0);
    EXPECT_FALSE(empty.energyToChannel(0.0).converged);
}

TEST(EnergyCalibration, DamagedValuesNeverGiveNonFiniteResults) {
    // A coefficient that is not a number switches the calibration off.
    const Applied damaged = calibration({0, kNaN, 0, 0, 0}, 2);
    EXPECT_FALSE(damaged.inForce());
    EXPECT_EQ(damaged.channelToEnergy(17), 17.0);
    // c1 = 0: no start value, even though c2 makes the curve rise.
    const EnergyToChannelResult noStart = calibration({0, 0, 1, 0, 0}, 3).energyToChannel(100);
    EXPECT_FALSE(noStart.converged);
    EXPECT_EQ(noStart.channel, 0.0);
    // A channel count of 0 leaves the channel unscaled instead of dividing by it.
    EXPECT_EQ(calibration({0, 2, 0, 0, 0}, 2, 2048, 0).channelToEnergy(100), 200.0);

    const Applied linear = calibration({0, 2, 0, 0, 0}, 2);
    EXPECT_EQ(linear.energyToChannel(kNaN).channel, 0.0);
    EXPECT_EQ(linear.energyToChannel(kInf).channel, 0.0);
    EXPECT_EQ(linear.channelToEnergy(kNaN), 0.0);
    const Applied steep = calibration({0, 1, 0, 0, 1e300}, 5);
    EXPECT_EQ(steep.channelToEnergy(1e10), std::numeric_limits<double>::max());
    EXPECT_TRUE(std::isfinite(steep.energyToChannel(1e308).channel));
}

} // namespace
} // namespace kv
