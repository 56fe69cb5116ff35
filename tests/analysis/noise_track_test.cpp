#include "analysis/noise_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kv {
namespace {

using Counts = std::vector<std::int32_t>;

// The window's three fields: mean, sigma and Poisson sigma.
std::string shown(const NoiseTrack& track) {
    const NoiseTrackTexts t = noiseTrackTexts(track);
    return t.mean + " " + t.sigma + " " + t.poissonSigma;
}

TEST(NoiseTrack, StatisticsOfTheVisibleChannelsOnly) {
    const Counts c{500, 10, 12, 8, 10, 900};
    const NoiseTrack track = noiseTrack(c, 1, 4);
    EXPECT_DOUBLE_EQ(track.mean, 10.0);
    EXPECT_DOUBLE_EQ(track.sigma, std::sqrt(2.0)) << "8 / 4, not 8 / 3";
    EXPECT_EQ(shown(track), "10.00 1.41 3.16");
    EXPECT_EQ(shown(noiseTrack(c, 5, 5)), "900.00 0.00 30.00") << "one channel";
    EXPECT_EQ(shown(noiseTrack(Counts{-4, -2}, 0, 1)), "-3.00 1.00 ") << "no Poisson sigma";
    EXPECT_EQ(shown(noiseTrack(Counts{0, 0}, 0, 1)), "0.00 0.00 0.00");
}

TEST(NoiseTrack, RangesOutsideTheSpectrumAndLargeCounts) {
    const Counts c{1, 2, 3, 6};
    EXPECT_DOUBLE_EQ(noiseTrack(c, -10, 100).mean, 3.0) << "limits taken as the ends";
    for (const NoiseTrack& track :
         {noiseTrack(c, 3, 2), noiseTrack(c, 4, 9), noiseTrack({}, 0, 0)}) {
        EXPECT_EQ(track.mean, 0.0);
        EXPECT_EQ(track.sigma, 0.0);
        EXPECT_EQ(track.poissonSigma, 0.0);
    }
    constexpr std::int32_t kTop = std::numeric_limits<std::int32_t>::max();
    const NoiseTrack top = noiseTrack(Counts(1000, kTop), 0, 999);
    EXPECT_EQ(top.mean, kTop) << "summed without overflow";
    EXPECT_EQ(top.sigma, 0.0);
}

} // namespace
} // namespace kv
