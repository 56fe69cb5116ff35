#include "analysis/energy_calibration_fit.h"

#include "analysis/single_peak.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace kv {
namespace {

constexpr std::int32_t kChannels = 2048;

// Points typed as the window takes them: one-based channels.
EnergyCalibration withPoints(std::initializer_list<std::pair<double, double>> typed) {
    EnergyCalibration c;
    for (const auto& [channel, energy] : typed) {
        EXPECT_EQ(addCalibrationPoint(c, channel, energy), AddCalibrationPointOutcome::Added);
    }
    return c;
}

TEST(EnergyCalibrationFit, TwoPointsMakeALineWhateverTheDegree) {
    EnergyCalibration c = withPoints({{301, 600}, {101, 200}});
    EXPECT_EQ(c.pointChannel[0], 100.0) << "sorted by channel, stored zero-based";
    EXPECT_EQ(c.pointEnergy[1], 600.0);
    ASSERT_EQ(calibrate(c, 4, kChannels), CalibrateOutcome::Fitted);
    EXPECT_EQ(c.termCount, 2);
    EXPECT_EQ(c.channelScale, kChannels);
    EXPECT_NEAR(c.coefficients[0], 0.0, 1e-9);
    EXPECT_NEAR(c.coefficients[1], 2.0, 1e-12);
    const EnergyToChannelResult back = c.energyToChannel(400, kChannels);
    EXPECT_NEAR(back.channel, 200.0, 1e-9);
    EXPECT_EQ(back.passes, 1);
}

TEST(EnergyCalibrationFit, ThreePointsOfAParabolaAreMetExactly) {
    // E = 10 + 0.5 x + 1e-4 x^2 at x = 100, 1000, 2000.
    EnergyCalibration c = withPoints({{101, 61}, {1001, 610}, {2001, 1410}});
    ASSERT_EQ(calibrate(c, 2, kChannels), CalibrateOutcome::Fitted);
    EXPECT_EQ(c.termCount, 3);
    EXPECT_NEAR(c.coefficients[0], 10.0, 1e-8);
    EXPECT_NEAR(c.coefficients[1], 0.5, 1e-10);
    EXPECT_NEAR(c.coefficients[2], 1e-4, 1e-13);
    // Degree 1 through the same points: the least-squares line, not through all three.
    ASSERT_EQ(calibrate(c, 1, kChannels), CalibrateOutcome::Fitted);
    EXPECT_EQ(c.termCount, 2);
}

TEST(EnergyCalibrationFit, RefusalsKeepTheCalibrationInForce) {
    EnergyCalibration c = withPoints({{101, 200}, {301, 600}});
    ASSERT_EQ(calibrate(c, 1, kChannels), CalibrateOutcome::Fitted);
    const EnergyCalibration fitted = c;

    // Two points on one channel: singular. The old terms stay with the old coefficients.
    EnergyCalibration same = withPoints({{101, 200}, {101, 300}});
    same.coefficients = fitted.coefficients, same.termCount = 2, same.channelScale = kChannels;
    const EnergyCalibration before = same;
    EXPECT_EQ(calibrate(same, 3, kChannels), CalibrateOutcome::Singular);
    EXPECT_EQ(same, before);

    EnergyCalibration empty = fitted;
    empty.pointCount = 0;
    EXPECT_EQ(calibrate(empty, 1, kChannels), CalibrateOutcome::NoPoints);
    EXPECT_TRUE(empty.inForce()) << "no points never maps every channel to 0 keV";

    EnergyCalibration atOrigin = fitted;
    atOrigin.pointCount = 1, atOrigin.pointChannel[0] = 0.0;
    EXPECT_EQ(calibrate(atOrigin, 1, kChannels), CalibrateOutcome::Unchanged);
    EXPECT_TRUE(atOrigin.inForce());
    atOrigin.pointChannel[0] = 5.0;
    EXPECT_EQ(calibrate(atOrigin, 1, kChannels), CalibrateOutcome::SwitchedOff);
    EXPECT_FALSE(atOrigin.inForce());
}

TEST(EnergyCalibrationFit, TableHoldsFivePointsAndDeletesBySortedRow) {
    EnergyCalibration c = withPoints({{50, 5}, {10, 1}, {40, 4}, {20, 2}, {30, 3}});
    EXPECT_EQ(addCalibrationPoint(c, 60, 6), AddCalibrationPointOutcome::TableFull);
    EXPECT_EQ(c.pointCount, 5);
    deleteCalibrationPoint(c, 1); // channel 20
    deleteCalibrationPoint(c, 7);
    ASSERT_EQ(c.pointCount, 4);
    EXPECT_EQ(c.pointChannel[1], 29.0);
    EXPECT_EQ(c.pointEnergy[3], 5.0);

    EnergyCalibration damaged;
    damaged.pointCount = 99;
    EXPECT_EQ(calibrationPointCount(damaged), 0U);
    EXPECT_EQ(addCalibrationPoint(damaged, 2, 1), AddCalibrationPointOutcome::Added);
    EXPECT_EQ(damaged.pointCount, 1);
}

TEST(EnergyCalibrationFit, ListShowsOneBasedChannelsTheCopyZeroBasedWithDeltas) {
    EnergyCalibration c = withPoints({{101, 200}, {201, 401}, {301, 600}});
    ASSERT_EQ(calibrate(c, 1, kChannels), CalibrateOutcome::Fitted);
    EXPECT_EQ(calibrationListRow(c.pointChannel[0], c.pointEnergy[0]), "101.00    :     200.00");
    // The least-squares line through (100, 200), (200, 401), (300, 600) is 1/3 + 2x.
    EXPECT_EQ(calibrationCopyText(c, kChannels).value(), "Канал\tЭнергия кал.\tДельта\r\n"
                                                         "100.00\t200.00\t0.3333\r\n"
                                                         "200.00\t401.00\t-0.6667\r\n"
                                                         "300.00\t600.00\t0.3333\r\n");
    EXPECT_FALSE(calibrationCopyText(EnergyCalibration{}, kChannels).has_value());
}

TEST(SinglePeakReadout, WidthsUseTheMeanSlopeAndTheRateTheEfficiency) {
    const PeakFit fit{.area = 1000,
                      .centre = 99,
                      .sigma = 2,
                      .areaError = 50,
                      .centreError = 0.1,
                      .sigmaError = 0.2};
    EnergyCalibration none;
    SinglePeakReadout r = singlePeakReadout(fit, none, kChannels, 10.0);
    EXPECT_DOUBLE_EQ(r.channel, 100.0);
    EXPECT_DOUBLE_EQ(r.energy, 99.0) << "without a calibration keV are channels";
    EXPECT_DOUBLE_EQ(r.fwhmKeV, r.fwhm);
    EXPECT_DOUBLE_EQ(r.fwhm, 4.72);
    EXPECT_DOUBLE_EQ(r.intensity, 100.0);
    EXPECT_DOUBLE_EQ(r.intensityError, 5.0);

    EnergyCalibration quadratic;
    quadratic.termCount = 3, quadratic.coefficients = {0, 1, 1e-3, 0, 0};
    quadratic.channelScale = kChannels;
    EfficiencyCalibration efficiency;
    efficiency.efficiencyPointCount = 1, efficiency.efficiencyValue[0] = 0.25;
    r = singlePeakReadout(fit, quadratic, kChannels, 10.0, &efficiency);
    // Mean slope (2047 + 2047^2 / 1000) / 2047 = 3.047 keV per channel.
    EXPECT_NEAR(r.fwhmKeV, 3.047 * 4.72, 1e-9);
    EXPECT_NEAR(r.energyError, 0.3047, 1e-12);
    EXPECT_DOUBLE_EQ(r.intensity, 400.0);
    efficiency.efficiencyValue[0] = 0.0; // unknown: the rate stays as measured
    EXPECT_DOUBLE_EQ(singlePeakReadout(fit, quadratic, kChannels, 10.0, &efficiency).intensity,
                     100.0);
}

} // namespace
} // namespace kv
