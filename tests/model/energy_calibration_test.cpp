#include "model/energy_calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kv {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

AppConfig calibrated(std::array<double, 5> coefficients, std::int32_t termCount,
                     std::int32_t channelScale) {
    AppConfig config;
    config.coefficients = coefficients;
    config.termCount = termCount;
    config.channelScale = channelScale;
    return config;
}

TEST(EnergyCalibration, WithoutCalibrationTheEnergyIsTheChannel) {
    for (std::int32_t scale : {0, 1, -2048}) {
        const EnergyCalibration none(calibrated({5, 2, 0, 0, 0}, 2, scale), 2048);
        EXPECT_EQ(none.channelToEnergy(123.4), 123.4);
        const EnergyToChannelResult back = none.energyToChannel(661.7);
        EXPECT_EQ(back.channel, 0.0);
        EXPECT_TRUE(back.converged);
    }
}

TEST(EnergyCalibration, LinearCalibrationInvertsInOnePassOrTwoWhenRescaled) {
    const EnergyCalibration linear(calibrated({0, 2, 0, 0, 0}, 2, 2048), 2048);
    EXPECT_EQ(linear.channelToEnergy(200), 400.0);
    const EnergyToChannelResult back = linear.energyToChannel(400);
    EXPECT_EQ(back.channel, 200.0);
    EXPECT_TRUE(back.converged);
    EXPECT_EQ(back.passes, 1);

    // Made at 2048 channels, used on 4096: channel 4095 is position 2047.5 of the fit,
    // 5 + 0.5 * 2047.5 keV. The start value is on the fit's scale; the first pass doubles it.
    const EnergyCalibration doubled(calibrated({5, 0.5, 0, 0, 0}, 2, 2048), 4096);
    EXPECT_EQ(doubled.channelToEnergy(4095), 1028.75);
    const EnergyToChannelResult rescaled = doubled.energyToChannel(1028.75);
    EXPECT_EQ(rescaled.channel, 4095.0);
    EXPECT_TRUE(rescaled.converged);
    EXPECT_EQ(rescaled.passes, 2);
}

TEST(EnergyCalibration, UsesOnlyTheFirstTermCountCoefficients) {
    const std::array<double, 5> c{1, 2, 3, 4, 5};
    // t = 2: 1 + 2*2 + 3*4 + 4*8 + 5*16, or its first three terms.
    EXPECT_EQ(EnergyCalibration(calibrated(c, 5, 100), 100).channelToEnergy(2), 129.0);
    EXPECT_EQ(EnergyCalibration(calibrated(c, 3, 100), 100).channelToEnergy(2), 17.0);
    EXPECT_EQ(EnergyCalibration(calibrated(c, 9, 100), 100).channelToEnergy(2), 129.0)
        << "out of range: the default 5";
    // Unused slots may hold anything, even values that are not numbers.
    EXPECT_EQ(EnergyCalibration(calibrated({1, 2, kNaN, kInf, 9}, 2, 100), 100).channelToEnergy(2),
              5.0);
    // An empty fit leaves zero terms: every channel is 0 keV and no energy can be inverted.
    const EnergyCalibration empty(calibrated(c, 0, 100), 100);
    EXPECT_EQ(empty.channelToEnergy(57), 0.0);
    EXPECT_FALSE(empty.energyToChannel(0.0).converged);
}

TEST(EnergyCalibration, CurvedCalibrationConvergesOnTheChannel) {
    // 10 + 0.5 * 1000 + 1e-4 * 1000^2 = 610 keV.
    const EnergyCalibration curved(calibrated({10, 0.5, 1e-4, 0, 0}, 3, 2048), 2048);
    const EnergyToChannelResult back = curved.energyToChannel(610);
    EXPECT_TRUE(back.converged);
    EXPECT_NEAR(back.channel, 1000.0, 1e-3);

    // E = c0 is channel 0; the iteration step would be 0 / 0 there.
    const EnergyToChannelResult offset = curved.energyToChannel(10);
    EXPECT_TRUE(offset.converged);
    EXPECT_EQ(offset.channel, 0.0);
}

TEST(EnergyCalibration, EnergyBeyondACurvedCalibrationStopsWithTheNearestChannel) {
    // E = t - 0.001 t^2 rises to 250 keV at channel 500 and falls again.
    const EnergyCalibration capped(calibrated({0, 1, -0.001, 0, 0}, 3, 2048), 2048);

    // 300 keV is never reached: the iteration wanders until the bound.
    const EnergyToChannelResult wander = capped.energyToChannel(300);
    EXPECT_FALSE(wander.converged);
    EXPECT_EQ(wander.passes, kMaxEnergyToChannelPasses);
    EXPECT_NEAR(wander.channel, 500.0, 25.0);

    // 500 keV: the first pass lands on channel 1000, where E = c0 and the next pass would
    // divide by zero. The start value, at 250 keV, came nearest.
    const EnergyToChannelResult root = capped.energyToChannel(500);
    EXPECT_FALSE(root.converged);
    EXPECT_EQ(root.passes, 2);
    EXPECT_EQ(root.channel, 500.0);
}

TEST(EnergyCalibration, DamagedValuesNeverGiveNonFiniteResults) {
    // A coefficient that is not a number switches the calibration off.
    const EnergyCalibration damaged(calibrated({0, kNaN, 0, 0, 0}, 2, 2048), 2048);
    EXPECT_FALSE(damaged.inForce());
    EXPECT_EQ(damaged.channelToEnergy(17), 17.0);

    // c1 = 0: no start value, even though c2 makes the curve rise.
    const EnergyToChannelResult noStart =
        EnergyCalibration(calibrated({0, 0, 1, 0, 0}, 3, 2048), 2048).energyToChannel(100);
    EXPECT_FALSE(noStart.converged);
    EXPECT_EQ(noStart.channel, 0.0);

    // A channel count of 0 leaves the channel unscaled instead of dividing by it.
    const EnergyCalibration noCount(calibrated({0, 2, 0, 0, 0}, 2, 2048), 0);
    EXPECT_EQ(noCount.channelToEnergy(100), 200.0);

    const EnergyCalibration linear(calibrated({0, 2, 0, 0, 0}, 2, 2048), 2048);
    EXPECT_EQ(linear.energyToChannel(kNaN).channel, 0.0);
    EXPECT_EQ(linear.energyToChannel(kInf).channel, 0.0);
    EXPECT_EQ(linear.channelToEnergy(kNaN), 0.0);

    const EnergyCalibration steep(calibrated({0, 1, 0, 0, 1e300}, 5, 2048), 2048);
    EXPECT_EQ(steep.channelToEnergy(1e10), std::numeric_limits<double>::max());
    EXPECT_TRUE(std::isfinite(steep.energyToChannel(1e308).channel));
}

} // namespace
} // namespace kv
