#include "fitting/multiplet_fit.h"

#include "synthetic_spectra.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

using test::gauss;

// Two lines 2.5 sigma apart on a sloping line, counts exact to a thousandth.
std::vector<std::int32_t> doublet(double scale) {
    std::vector<std::int32_t> y(200);
    for (int i = 0; i < 200; ++i) {
        const double value =
            50.0 + 0.2 * (i - 100) + gauss(i, 4000, 95.0, 2.0) + gauss(i, 1500, 100.0, 2.0);
        y[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(std::lround(scale * value));
    }
    return y;
}

// Where the line search would leave the fit: areas and centres somewhat off, the width wider.
Multiplet startNear(double scale) {
    Multiplet m;
    m.peaks = {{.area = 3000 * scale, .centre = 94.4}, {.area = 1000 * scale, .centre = 100.6}};
    m.sigma = 2.6;
    m.first = 80;
    m.last = 115;
    return m;
}

TEST(MultipletFit, SeparatesADoubletOnASlopeAndScalesItsErrorsWithCounts) {
    const std::vector<std::int32_t> y = doublet(1000.0);
    Multiplet m = startNear(1000.0);
    ASSERT_TRUE(fitMultiplet(m, y));
    EXPECT_NEAR(m.peaks[0].area, 4000e3, 4e3);
    EXPECT_NEAR(m.peaks[1].area, 1500e3, 4e3);
    EXPECT_NEAR(m.peaks[0].centre, 95.0, 1e-3);
    EXPECT_NEAR(m.peaks[1].centre, 100.0, 1e-3);
    EXPECT_NEAR(m.sigma, 2.0, 1e-3);
    EXPECT_NEAR(m.level, 49.5e3, 50.0); // at the window's middle, channel 97.5
    EXPECT_NEAR(m.slope, 200.0, 1.0);

    // Counting errors: a thousand times the counts, a thousandth of the relative error.
    Multiplet small = startNear(1.0);
    ASSERT_TRUE(fitMultiplet(small, doublet(1.0)));
    const double root = std::sqrt(1000.0);
    EXPECT_NEAR(small.peaks[1].areaError / m.peaks[1].areaError, 1.0 / root, 0.05 / root);
    // A single line's area error is at least Poisson's on its own counts.
    EXPECT_GT(m.peaks[1].areaError, std::sqrt(1500e3));
}

TEST(MultipletFit, AFixedNeighbourKeepsItsCentreAndTheWindowIsHeldToTheSpectrum) {
    const std::vector<std::int32_t> y = doublet(100.0);
    Multiplet m = startNear(100.0);
    m.peaks[1].centreFixed = true;
    m.peaks[1].centre = 100.0;
    m.first = -10;
    m.last = 500;
    ASSERT_TRUE(fitMultiplet(m, y));
    EXPECT_EQ(m.first, 0);
    EXPECT_EQ(m.last, 199);
    EXPECT_EQ(m.peaks[1].centre, 100.0);
    EXPECT_EQ(m.peaks[1].centreError, 0.0);
    EXPECT_NEAR(m.peaks[1].area, 150e3, 500.0);
}

TEST(MultipletFit, RefusesWhatCannotBeFitted) {
    const std::vector<std::int32_t> y = doublet(10.0);
    Multiplet tooFewChannels = startNear(10.0);
    tooFewChannels.first = 93;
    tooFewChannels.last = 98; // 6 channels for 7 parameters
    EXPECT_FALSE(fitMultiplet(tooFewChannels, y));

    Multiplet noWidth = startNear(10.0);
    noWidth.sigma = 0.0;
    EXPECT_FALSE(fitMultiplet(noWidth, y));

    // Two lines on the same channel cannot be told apart.
    Multiplet twins = startNear(10.0);
    twins.peaks[1].centre = twins.peaks[0].centre;
    twins.peaks[0].centreFixed = twins.peaks[1].centreFixed = true;
    EXPECT_FALSE(fitMultiplet(twins, y));

    const std::vector<std::int32_t> empty;
    Multiplet nothing = startNear(10.0);
    EXPECT_FALSE(fitMultiplet(nothing, empty));
}

} // namespace
} // namespace kv
