#include "acquisition/count_windows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kv {
namespace {

Histogram spectrum(std::size_t channels, std::int32_t fill = 0, double exposure = 1.0) {
    Histogram h;
    h.channels.assign(channels, fill);
    h.exposure = exposure;
    return h;
}

// A Gaussian whose logarithm is the parabola the reference fit looks for; wide enough that no
// channel of the default fit region (500..700) falls to 0 counts.
Histogram peakAt(double centre) {
    Histogram h = spectrum(2048);
    for (std::size_t c = 0; c < h.channels.size(); ++c) {
        const double t = (static_cast<double>(c) - centre) / 50.0;
        h.channels[c] = static_cast<std::int32_t>(1e6 * std::exp(-t * t / 2.0));
    }
    return h;
}

// Counts placed in each default window's first channel.
Histogram windowCounts(std::array<std::int32_t, 3> counts, double exposure = 1.0) {
    Histogram h = spectrum(2048, 0, exposure);
    for (std::size_t w = 0; w < 3; ++w) {
        h.channels[static_cast<std::size_t>(CountWindowSettings{}.windowLower[w])] = counts[w];
    }
    return h;
}

TEST(CountWindows, FormulasWithDefaultAndDistinctCoefficients) {
    CountWindowResult result = evaluateCountWindows(spectrum(2048, 1), CountWindowSettings{});
    EXPECT_EQ(result.shift.status, WindowShiftStatus::NoPeak); // ln 1 = 0 everywhere: a2 = 0
    EXPECT_EQ(result.rates, (std::array<double, 3>{101, 101, 101}));
    EXPECT_TRUE(result.evaluated() && result.c1 == 1.0 && result.c2 == 1.0);

    // Distinct coefficients, so a swapped index shows: X = 32 / 5, Y = 42 / 2.
    CountWindowSettings config;
    config.autoShiftWindows = 0;
    config.countCoefficients = {2, 0.5, 2, 1, 1, 4, 2, 3, 0.5};
    config.calibrationCoefficients = {2, 0.5, 1, 1, 0.1, -1};
    result = evaluateCountWindows(windowCounts({10, 20, 4}), config);
    ASSERT_TRUE(result.evaluated());
    EXPECT_NEAR(result.c1, 13.8 / 7.4, 1e-12);
    EXPECT_NEAR(result.c2, 20.0 / 3.1, 1e-12);
}

TEST(CountWindows, RatesAreDeliveredAlsoWhenTheEvaluationFails) {
    using P = std::array<double, 9>;
    using K = std::array<double, 6>;
    const P p0 = CountWindowSettings{}.countCoefficients;
    const K k0 = CountWindowSettings{}.calibrationCoefficients;
    const P zeroX{0, 1, 1, 1, -4, 1, 1, 1, 1}; // N3 + P4 = 0
    const P zeroY{0, 1, 1, 1, 1, 1, 1, 1, 0};  // N3 P8 = 0
    const K zeroC1{1, -1, 1, 1, 1, 1};         // K0 K1 X = -1 with X = 1
    const struct {
        std::array<std::int32_t, 3> counts;
        double exposure;
        P p;
        K k;
        CountWindowStatus status;
        std::array<double, 3> rates;
    } cases[] = {
        {{20, 8, 3}, 2.0, p0, k0, CountWindowStatus::LowRate, {10, 4, 1.5}},
        {{0, 0, 4}, 2.0, p0, k0, CountWindowStatus::Evaluated, {0, 0, 2}},
        {{5, 6, 7}, 0.0, p0, k0, CountWindowStatus::Evaluated, {5, 6, 7}}, // no exposure: 1 s
        {{1, 1, 4}, 1.0, zeroX, k0, CountWindowStatus::NotFinite, {1, 1, 4}},
        {{1, 1, 4}, 1.0, zeroY, k0, CountWindowStatus::NotFinite, {1, 1, 4}},
        {{0, 0, 4}, 1.0, p0, zeroC1, CountWindowStatus::NotFinite, {0, 0, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        CountWindowSettings config;
        config.autoShiftWindows = 0;
        config.countCoefficients = c.p;
        config.calibrationCoefficients = c.k;
        const CountWindowResult result =
            evaluateCountWindows(windowCounts(c.counts, c.exposure), config);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.rates, c.rates);
    }
}

TEST(CountWindows, WindowsCountOnlyTheirChannelsInsideTheSpectrum) {
    const struct {
        std::int32_t lower, upper;
        double counts;
    } cases[] = {{-1, 5, 6}, {2040, 2100, 8}, {3000, 3100, 0}, {-50, -1, 0}, {5, 2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lower);
        CountWindowSettings config;
        config.autoShiftWindows = 0;
        config.windowLower = {c.lower, c.lower, c.lower};
        config.windowUpper = {c.upper, c.upper, c.upper};
        EXPECT_EQ(evaluateCountWindows(spectrum(2048, 1), config).rates[0], c.counts);
    }
}

TEST(CountWindows, WindowsFollowTheReferencePeakAllOrNothing) {
    const Histogram h = peakAt(612.4);
    CountWindowSettings config;
    WindowShift shift = shiftWindowsToPeak(h, config);
    ASSERT_EQ(shift.status, WindowShiftStatus::Shifted);
    EXPECT_NEAR(shift.offset, 12.4, 1e-4);
    EXPECT_EQ(shift.limits, (CountWindowLimits{{12, 212, 612}, {112, 312, 712}}));

    // The evaluation sums the shifted copies and leaves the stored limits alone.
    const CountWindowResult shifted = evaluateCountWindows(h, config);
    EXPECT_EQ(shifted.rates[0], sumChannels(h, 12, 112));
    EXPECT_EQ(shifted.rates[2], sumChannels(h, 612, 712));
    config.autoShiftWindows = 0;
    EXPECT_EQ(evaluateCountWindows(h, config).rates[0], sumChannels(h, 0, 100));

    config.windowLower[2] = 2000;
    config.windowUpper[2] = 2047; // 2047 + 12.4 leaves the spectrum: no window moves
    shift = shiftWindowsToPeak(h, config);
    EXPECT_EQ(shift.status, WindowShiftStatus::OutsideSpectrum);
    EXPECT_EQ(shift.limits, storedLimits(config));
    EXPECT_TRUE(findReferencePeak(h, config));
    EXPECT_EQ(config.referenceChannel, 612);

    // A narrow region far from channel 0 still fits.
    Histogram far = spectrum(16384);
    for (std::size_t i = 14900; i < 15100; ++i) {
        const double t = (static_cast<double>(i) - 15000.4) / 3.0;
        far.channels[i] = static_cast<std::int32_t>(1 + 5000 * std::exp(-t * t / 2));
    }
    EXPECT_NEAR(fitReferencePeak(far, 15000, 6).value_or(0), 15000.4, 1e-3);
}

TEST(CountWindows, ReferenceFitWithoutAVertexChangesNothing) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    // ln 1, ln 2, ln 4 lie on a line: rounding leaves a2 tiny, the vertex near -5e13.
    Histogram linearLog = spectrum(2048, 1);
    linearLog.channels[3] = 2;
    linearLog.channels[4] = 4;
    const struct {
        const char* name;
        Histogram h;
        std::int32_t channel;
        std::int32_t width;
    } cases[] = {
        {"flat", spectrum(2048, 1), 600, 200},
        {"region outside", peakAt(612.4), 5000, 200},
        {"region at the int32 limit", peakAt(612.4), kMin, 4},
        {"vertex beyond int32", linearLog, 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CountWindowSettings config;
        config.referenceChannel = c.channel;
        config.referenceWidth = c.width;
        EXPECT_FALSE(findReferencePeak(c.h, config));
        EXPECT_EQ(config.referenceChannel, c.channel);
        const WindowShift shift = shiftWindowsToPeak(c.h, config);
        EXPECT_NE(shift.status, WindowShiftStatus::Shifted);
        EXPECT_EQ(shift.limits, storedLimits(config));
    }
}

TEST(CountWindows, ReportLinesHaveTheLogFormats) {
    CountWindowResult ok;
    ok.rates = {101.4, 2.5, 3999.6};
    ok.c1 = 1.23456;
    ok.c2 = -0.5;
    CountWindowResult failed = ok;
    failed.status = CountWindowStatus::LowRate;
    const std::string rates = "          101            2         4000";
    EXPECT_EQ(measurementReportLine(ok, true), "       " + rates + "        1.235       -0.500");
    EXPECT_EQ(measurementReportLine(ok, false), "               1.235              -0.500");
    EXPECT_EQ(measurementReportLine(failed, false), "       " + rates + " Не определено");
    EXPECT_EQ(seriesReportLine(1.1, ok, true), "  1.100" + rates + "        1.235       -0.500");
    EXPECT_EQ(seriesReportLine(1.1, ok, false), "  1.100        1.235       -0.500");
    EXPECT_EQ(seriesReportLine(0.0, failed, true), "  0.000" + rates + " Не определено");
}

} // namespace
} // namespace kv
