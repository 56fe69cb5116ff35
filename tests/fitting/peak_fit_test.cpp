#include "fitting/peak_fit.h"

#include "synthetic_spectra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

namespace kv {
namespace {

using Counts = ChannelCounts;

// Counts of a noise-free Gaussian (rounded) on a level.
Counts gaussian(int size, double area, double centre, double sigma, double level) {
    return test::spectrum(size, [&](int i) { return test::gauss(i, area, centre, sigma) + level; })
        .channels;
}

TEST(PeakModel, ZeroWidthAndTails) {
    PeakFit fit{.area = 100, .centre = 10, .sigma = 0, .level = 5};
    EXPECT_EQ(peakModelValue(fit, 10), 0.0) << "no width: nothing, not even the level";
    fit.sigma = 1.0;
    EXPECT_NEAR(peakModelValue(fit, 10), 100 / std::sqrt(2 * M_PI) + 5, 1e-12);
    EXPECT_EQ(peakModelValue(fit, 21), 5.0) << "beyond 10 sigma on the right: the level";
    fit.level = 0;
    EXPECT_EQ(peakModelValue(fit, 21), 0.0);
    EXPECT_GT(peakModelValue(fit, -1), 0.0) << "the cut is one-sided: the left tail is evaluated";
}

TEST(PeakWindowFit, RecoversANoiseFreePeakWithAndWithoutLevel) {
    // {centre, sigma, level, parameters, area tolerance}; rounded counts limit the accuracy.
    for (const auto& [centre, sigma, level, parameters, within] :
         std::vector<std::tuple<double, double, double, int, double>>{{20.3, 2.5, 0, 3, 5},
                                                                      {19.7, 3.0, 200, 4, 10}}) {
        PeakFit fit;
        ASSERT_TRUE(
            fitPeakWindow(fit, gaussian(41, 10000, centre, sigma, level), parameters).converged());
        EXPECT_NEAR(fit.area, 10000, within);
        EXPECT_NEAR(fit.centre, centre, 1e-3);
        EXPECT_NEAR(fit.sigma, sigma, 3e-3);
        EXPECT_NEAR(fit.level, level, level == 0 ? 0 : 0.1) << "no level: exactly none";
        EXPECT_GT(fit.centreError, 0.0);
    }
}

TEST(PeakWindowFit, FailuresKeepTheErrorsOfTheLastGoodFit) {
    PeakFit fit;
    ASSERT_TRUE(fitPeakWindow(fit, gaussian(21, 500, 10, 2, 0), 3).converged());
    const double areaError = fit.areaError;
    const Counts flat(9, 7), zeros(9, 0), spike = {0, 0, 0, 50, 0, 0}, four = {1, 5, 5, 1};
    for (const auto& [y, parameters, status] : std::vector<std::tuple<Counts, int, PeakFitStatus>>{
             {flat, 4, PeakFitStatus::NoCounts},
             {zeros, 3, PeakFitStatus::NoCounts},
             {zeros, 4, PeakFitStatus::NoCounts},
             {spike, 3, PeakFitStatus::NoWidth},
             {four, 4, PeakFitStatus::NoDegreesOfFreedom},
             {{1, 5}, 3, PeakFitStatus::NoDegreesOfFreedom}}) {
        EXPECT_EQ(fitPeakWindow(fit, y, parameters).status, status) << y.size();
    }
    EXPECT_EQ(fit.areaError, areaError);
}

// Climbs to the summit on the side it starts on (from the valley: the higher peak); a tie keeps
// the start channel (the valley is taken as the peak); a one-channel peak between rising flanks
// is too narrow; zeros extend the window, but a negative count stops it.
TEST(PeakAt, WindowsAndRefusals) {
    Counts two = gaussian(200, 20000, 60.4, 3, 10), zeros(60, 0);
    const auto second = gaussian(200, 40000, 140.2, 3, 0), small = gaussian(11, 2000, 5, 1.2, 0);
    std::transform(two.begin(), two.end(), second.begin(), two.begin(), std::plus<>());
    std::copy(small.begin(), small.end(), zeros.begin() + 25);
    zeros[5] = 3; // the counts rise again here, far left
    Counts stopped = zeros;
    stopped[27 - 5] = -1;
    const auto y = gaussian(20, 500, 10, 2, 0);
    struct Case {
        Counts y;
        int start, parameters;
        PeakFitStatus status;
        int first = -1, size = -1; // -1: not checked
        double centre = 0;         // 0: not checked
    };
    for (const Case& c : std::vector<Case>{
             {two, 55, 4, PeakFitStatus::Converged, -1, -1, 60.4},
             {two, 66, 4, PeakFitStatus::Converged, -1, -1, 60.4},
             {two, 100, 4, PeakFitStatus::Converged, -1, -1, 140.2},
             {{0, 2, 6, 9, 6, 3, 6, 9, 6, 2, 0}, 5, 3, PeakFitStatus::WindowTooNarrow, 5, 1},
             {{5, 1, 9, 1, 5}, 2, 3, PeakFitStatus::WindowTooNarrow, -1, 3},
             {zeros, 30, 3, PeakFitStatus::Converged, 6, 2 * (30 - 6) + 1, 30.0},
             {stopped, 30, 3, PeakFitStatus::Converged, 23, 15},
             {y, -1, 3, PeakFitStatus::StartOutside},
             {y, 20, 3, PeakFitStatus::StartOutside},
             {Counts(y.begin(), y.begin() + 4), 2, 4, PeakFitStatus::NoDegreesOfFreedom},
         }) {
        PeakFit fit;
        const PeakFitOutcome outcome = fitPeakAt(fit, c.y, c.start, c.parameters);
        EXPECT_EQ(outcome.status, c.status) << c.start;
        EXPECT_TRUE(c.first < 0 || outcome.windowFirst == c.first) << outcome.windowFirst;
        EXPECT_TRUE(c.size < 0 || outcome.windowSize == c.size) << outcome.windowSize;
        EXPECT_NEAR(c.centre == 0 ? 0 : fit.centre, c.centre, 0.01) << c.start;
    }
}

constexpr double kTrueArea = 5000, kTrueCentre = 50.3, kTrueSigma = 4.0, kTrueLevel = 20;

Counts noisyPeak(test::PoissonSource& poisson) {
    return test::spectrum(101,
                          [&](int i) {
                              return poisson.next(
                                  test::gauss(i, kTrueArea, kTrueCentre, kTrueSigma) + kTrueLevel);
                          })
        .channels;
}

// The Jacobian stays at the start values, which a wide noisy window puts far from the answer;
// the width driven below zero must be a failure, not a "converged" model that is zero everywhere.
TEST(PeakWindowFit, WidthDrivenBelowZeroIsAFailure) {
    test::PoissonSource poisson{7};
    PeakFit fit;
    EXPECT_EQ(fitPeakWindow(fit, noisyPeak(poisson), 4).status, PeakFitStatus::NoWidth);
}

// How honest are the reported errors? A hundred noisy spectra of one known peak are fitted with
// the level over +-4 sigma; we count how often the truth lies within one and three reported
// errors, and how often the search from the peak channel succeeds. Pinned to show any change.
TEST(PeakFitErrors, CoverageOfTheTrueValuesIsPinned) {
    test::PoissonSource poisson{20261206};
    int converged = 0;
    int foundFromPeakChannel = 0;
    std::array<int, 3> withinOne{};
    std::array<int, 3> withinThree{};
    for (int spectrum = 0; spectrum < 100; ++spectrum) {
        const auto y = noisyPeak(poisson);
        PeakFit fit;
        foundFromPeakChannel += fitPeakAt(fit, y, 50, 4).converged();
        if (!fitPeakWindow(fit, std::span(y).subspan(34, 33), 4).converged()) {
            continue;
        }
        fit.centre += 34;
        ++converged;
        const std::array<double, 3> misses = {std::abs(fit.centre - kTrueCentre) / fit.centreError,
                                              std::abs(fit.area - kTrueArea) / fit.areaError,
                                              std::abs(fit.sigma - kTrueSigma) / fit.sigmaError};
        for (std::size_t k = 0; k < 3; ++k) {
            withinOne[k] += misses[k] <= 1.0;
            withinThree[k] += misses[k] <= 3.0;
        }
    }
    EXPECT_EQ(converged, 100);
    EXPECT_EQ(foundFromPeakChannel, 74);
    // centre, area, sigma
    EXPECT_EQ(withinOne, (std::array<int, 3>{59, 74, 64}));
    EXPECT_EQ(withinThree, (std::array<int, 3>{100, 100, 100}));
}

} // namespace
} // namespace kv
