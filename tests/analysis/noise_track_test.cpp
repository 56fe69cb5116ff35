#include "analysis/noise_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace kv {
namespace {

using Counts = std::vector<std::int32_t>;

TEST(NoiseTrack, StatisticsOfTheVisibleChannelsOnly) {
    const Counts c{500, 10, 12, 8, 10, 900};
    const NoiseTrack track = noiseTrack(c, 1, 4);
    EXPECT_DOUBLE_EQ(track.mean, 10.0);
    EXPECT_DOUBLE_EQ(track.sigma, std::sqrt(2.0)) << "8 / 4, not 8 / 3";
    ASSERT_TRUE(track.poissonSigma);
    EXPECT_DOUBLE_EQ(*track.poissonSigma, std::sqrt(10.0));
    const NoiseTrackTexts texts = noiseTrackTexts(track);
    EXPECT_EQ(texts.mean, "10.00");
    EXPECT_EQ(texts.sigma, "1.41");
    EXPECT_EQ(texts.poissonSigma, "3.16");

    EXPECT_EQ(noiseTrackTexts(noiseTrack(c, 5, 5)).sigma, "0.00") << "one channel";
    EXPECT_EQ(noiseTrackTexts(noiseTrack(c, 5, 5)).mean, "900.00");
}

TEST(NoiseTrack, NegativeMeanHasNoPoissonSigma) {
    const NoiseTrack track = noiseTrack(Counts{-4, -2}, 0, 1);
    EXPECT_DOUBLE_EQ(track.mean, -3.0);
    EXPECT_DOUBLE_EQ(track.sigma, 1.0);
    EXPECT_FALSE(track.poissonSigma);
    const NoiseTrackTexts texts = noiseTrackTexts(track);
    EXPECT_EQ(texts.mean, "-3.00");
    EXPECT_EQ(texts.poissonSigma, "");
    EXPECT_EQ(noiseTrackTexts(noiseTrack(Counts{0, 0}, 0, 1)).poissonSigma, "0.00");
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
