#include "analysis/efficiency.h"

#include "support/allocation_limit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace kv {
namespace {

EfficiencyCalibration withPoints(std::initializer_list<std::pair<double, double>> values) {
    EfficiencyCalibration points;
    for (const auto& [energy, value] : values) {
        const auto i = static_cast<std::size_t>(points.efficiencyPointCount++);
        points.efficiencyEnergy[i] = energy;
        points.efficiencyValue[i] = value;
    }
    return points;
}

void expectRelative(double actual, double expected, const char* what, double relative = 1e-12) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * relative) << what;
}

TEST(EfficiencyAt, WorkedExamplesInEveryRange) {
    const EfficiencyCalibration points = withPoints({{100, 0.10}, {1000, 0.01}});
    expectRelative(efficiencyAt(points, 50), 0.05, "through the origin below the first");
    expectRelative(efficiencyAt(points, 150), 0.095, "linear below 165.9 keV");
    // Worked out to three figures: within half a unit of the last.
    EXPECT_NEAR(efficiencyAt(points, 500), 0.0359, 0.00005) << "log-linear above";
    EXPECT_NEAR(efficiencyAt(points, 2000), 0.000774, 0.0000005) << "log-linear extrapolation";
    expectRelative(efficiencyAt(points, 100), 0.10, "at the first point");
    expectRelative(efficiencyAt(points, 1000), 0.01, "at the last point");
    // 0.1 + 65.89 / 900 x (-0.09) and 0.1 x 10^(-65.9 / 900)
    expectRelative(efficiencyAt(points, 165.89), 0.093411, "last energy done linearly", 1e-6);
    expectRelative(efficiencyAt(points, 165.9), 0.0844846, "165.9 keV itself is log", 1e-6);
}

TEST(EfficiencyAt, FewPointsAndDamagedCounts) {
    EXPECT_EQ(efficiencyAt(EfficiencyCalibration{}, 661.7), 1.0);
    const EfficiencyCalibration one = withPoints({{661.7, 0.02}});
    EXPECT_EQ(efficiencyAt(one, 10), 0.02);
    EXPECT_EQ(efficiencyAt(one, 3000), 0.02);
    for (const std::int32_t count : {-1, 21, 1 << 30}) {
        EfficiencyCalibration damaged = withPoints({{100, 0.1}, {1000, 0.01}});
        damaged.efficiencyPointCount = count;
        EXPECT_EQ(efficiencyAt(damaged, 500), 1.0) << count << " points read as none";
        EXPECT_EQ(efficiencyPointCount(damaged), 0u);
    }
}

TEST(EfficiencyAt, NonPositivePointsAndSharedEnergiesGiveNumbers) {
    const EfficiencyCalibration zero = withPoints({{100, 0.1}, {200, 0.0}, {1000, 0.01}});
    expectRelative(efficiencyAt(zero, 150), 0.05, "below 165.9 keV as always");
    expectRelative(efficiencyAt(zero, 180), 0.02, "0.1 + 80/100 x -0.1, linear");
    expectRelative(efficiencyAt(zero, 600), 0.005, "0 + 400/800 x 0.01, linear");
    expectRelative(efficiencyAt(zero, 2000), 0.0225, "linear extrapolation 1800/800");
    const EfficiencyCalibration negative = withPoints({{100, 0.1}, {1000, -0.01}});
    EXPECT_TRUE(std::isfinite(efficiencyAt(negative, 500)));
    EXPECT_FALSE(efficiencyCorrected(10, efficiencyAt(negative, 2000))) << "never divided by";
    EXPECT_FALSE(efficiencyCorrected(10, std::nan("")));
    const EfficiencyCalibration shared = withPoints({{100, 0.1}, {1000, 0.02}, {1000, 0.01}});
    EXPECT_EQ(efficiencyAt(shared, 1500), 0.01) << "no slope between equal energies";
    const EfficiencyCalibration atZero = withPoints({{0, 0.3}, {100, 0.1}});
    EXPECT_EQ(efficiencyAt(atZero, -5), 0.3) << "no line through the origin and (0, v)";
}

TEST(EfficiencyTable, AddRefusesTheTwentyFirstPointAndNoEmissionRate) {
    EfficiencyCalibration points;
    for (const double emission : {0.0, -3.0, std::nan("")}) {
        EXPECT_EQ(addEfficiencyPoint(points, 661.7, 170.0, emission),
                  AddEfficiencyPointOutcome::NoEmissionRate);
    }
    EXPECT_EQ(points.efficiencyPointCount, 0);
    EXPECT_EQ(addEfficiencyPoint(points, 661.7, 170.0, 8500.0), AddEfficiencyPointOutcome::Added);
    EXPECT_EQ(addEfficiencyPoint(points, 122.1, 90.0, 1000.0), AddEfficiencyPointOutcome::Added);
    ASSERT_EQ(points.efficiencyPointCount, 2);
    EXPECT_EQ((std::array{points.efficiencyEnergy[0], points.efficiencyValue[0],
                          points.efficiencyValue[1]}),
              (std::array{122.1, 0.09, 0.02}))
        << "kept sorted by energy";

    for (int i = 2; i < 20; ++i) {
        EXPECT_EQ(addEfficiencyPoint(points, 100.0 * i, 1, 1), AddEfficiencyPointOutcome::Added);
    }
    EXPECT_EQ(addEfficiencyPoint(points, 5000, 1, 1), AddEfficiencyPointOutcome::TableFull);
    EXPECT_EQ(points.efficiencyPointCount, 20);
}

TEST(EfficiencyTable, DeleteSortAndListRows) {
    EfficiencyCalibration points = withPoints({{1000, 0.01}, {100, 0.1}, {500, 0.03}, {100, 0.2}});
    sortEfficiencyPoints(points);
    EXPECT_EQ((std::array{points.efficiencyEnergy[0], points.efficiencyEnergy[1],
                          points.efficiencyEnergy[2], points.efficiencyEnergy[3]}),
              (std::array{100.0, 100.0, 500.0, 1000.0}));
    EXPECT_EQ((std::array{points.efficiencyValue[0], points.efficiencyValue[1]}),
              (std::array{0.1, 0.2}))
        << "equal energies keep their values paired";

    deleteEfficiencyPoint(points, 4);
    deleteEfficiencyPoint(points, 1);
    ASSERT_EQ(points.efficiencyPointCount, 3);
    EXPECT_EQ(points.efficiencyEnergy[1], 500.0);
    EXPECT_EQ(points.efficiencyValue[2], 0.01);

    EXPECT_EQ(efficiencyListRow(661.657, 0.035938), "661.66    :     3.59E-02");
}

TEST(EfficiencyTable, CopiedTablePastesBackAndPasteKeepsTwenty) {
    const EfficiencyCalibration points = withPoints({{100, 0.1}, {1000, 0.01}});
    const auto copied = efficiencyCopyText(points);
    ASSERT_TRUE(copied);
    EXPECT_EQ(*copied, "Энергия\tЭффективность\r\n100.00\t1.00E-01\r\n1000.00\t1.00E-02\r\n");
    EXPECT_FALSE(efficiencyCopyText(EfficiencyCalibration{}));
    EfficiencyCalibration pasted = withPoints({{50, 0.5}, {60, 0.6}, {70, 0.7}});
    ASSERT_TRUE(pasteEfficiencyPoints(pasted, *copied));
    EXPECT_EQ(pasted.efficiencyPointCount, 2) << "the header line is skipped";
    EXPECT_EQ(pasted.efficiencyEnergy[1], 1000.0);
    EXPECT_EQ(pasted.efficiencyValue[1], 0.01);
    std::string many = "E\tEff\n";
    for (int i = 25; i >= 1; --i) {
        many += std::to_string(i * 100) + "\t0.5\n";
    }
    ASSERT_TRUE(pasteEfficiencyPoints(pasted, many));
    EXPECT_EQ(pasted.efficiencyPointCount, 20);
    EXPECT_EQ(pasted.efficiencyEnergy[0], 600.0) << "the first 20 lines (2500..600), sorted";
    EXPECT_EQ(pasted.efficiencyEnergy[19], 2500.0);
    const EfficiencyCalibration before = pasted;
    EXPECT_FALSE(pasteEfficiencyPoints(pasted, "some words\r\nfrom another program"));
    EXPECT_FALSE(pasteEfficiencyPoints(pasted, ""));
    {
        const test::AllocationLimit limit(1000); // the lines of the text take more
        EXPECT_FALSE(pasteEfficiencyPoints(pasted, many));
    }
    EXPECT_EQ(pasted, before) << "a text without points keeps the calibration";
}

} // namespace
} // namespace kv
