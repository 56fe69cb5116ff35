#include "analysis/channel_filter.h"

#include "model/cp1251.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace kv {
namespace {

using Counts = std::vector<std::int32_t>;

Counts filtered(Counts c, FilterKind kind, double parameter) {
    filterChannels(c, kind, parameter);
    return c;
}

// The running mean exactly as written out for users: each output summed afresh, both edges in
// one pass with the left value first. 64-bit sums; radius at most c.size().
Counts referenceMean(const Counts& c, std::size_t r) {
    const std::size_t n = c.size();
    Counts out(n);
    for (std::size_t k = 0; k < r; ++k) {
        std::int64_t left = 0;
        std::int64_t right = 0;
        for (std::size_t j = 0; j <= k; ++j) {
            left += c[j];
            right += c[n - 1 - j];
        }
        out[k] = static_cast<std::int32_t>(left / static_cast<std::int64_t>(k + 1));
        out[n - 1 - k] = static_cast<std::int32_t>(right / static_cast<std::int64_t>(k + 1));
    }
    for (std::size_t i = r; i + r < n; ++i) {
        std::int64_t sum = 0;
        for (std::size_t j = i - r; j <= i + r; ++j) {
            sum += c[j];
        }
        out[i] = static_cast<std::int32_t>(sum / static_cast<std::int64_t>(2 * r + 1));
    }
    return out;
}

// The rank filters as written out for users: copy the window, exchange-sort it descending,
// take element r (median), 0 (maximum) or 2r (minimum). Radius at most c.size().
Counts referenceRank(const Counts& c, std::size_t r, FilterKind kind) {
    const std::size_t n = c.size();
    Counts out(n);
    for (std::size_t k = 0; k < r; ++k) {
        out[k] = c[k];
        out[n - 1 - k] = c[n - 1 - k];
    }
    Counts work(2 * r + 1);
    for (std::size_t i = r; i + r < n; ++i) {
        for (std::size_t j = 0; j < work.size(); ++j) {
            work[j] = c[i - r + j];
        }
        for (std::size_t p = 0; p < work.size(); ++p) {
            for (std::size_t q = p + 1; q < work.size(); ++q) {
                if (work[p] < work[q]) {
                    std::swap(work[p], work[q]);
                }
            }
        }
        out[i] = kind == FilterKind::Median    ? work[r]
                 : kind == FilterKind::Maximum ? work[0]
                                               : work[2 * r];
    }
    return out;
}

// Seeded noise, negative counts included; a narrow range gives many equal values, which is
// where a sliding window can remove the wrong entry.
Counts randomCounts(std::mt19937& rng, std::size_t n, std::int32_t low, std::int32_t high) {
    std::uniform_int_distribution<std::int32_t> count(low, high);
    Counts c(n);
    for (auto& v : c) {
        v = count(rng);
    }
    return c;
}

TEST(RunningMean, TruncatesEachWindowTowardZero) {
    EXPECT_EQ(filtered({5, 10, 20, 10, 5}, FilterKind::Mean, 1), (Counts{5, 11, 13, 11, 5}))
        << "35/3 and 40/3";
    EXPECT_EQ(filtered({-5, -10, -20, -10, -5}, FilterKind::Mean, 1),
              (Counts{-5, -11, -13, -11, -5}))
        << "negative means truncate up, not down";
    // Radius 2: channels 1 and n-2 are the means of two channels, the rest of five.
    EXPECT_EQ(filtered({1, 4, 9, 16, 25, 36, 49}, FilterKind::Mean, 2),
              (Counts{1, 2, 11, 18, 27, 42, 49}));
}

TEST(RunningMean, SumsDoNotOverflowThirtyTwoBits) {
    constexpr std::int32_t kTop = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(filtered(Counts(7, kTop), FilterKind::Mean, 3), Counts(7, kTop));
    // (2 kTop + 1) / 5 in the middle, kTop + kTop over 2 at channel 1.
    EXPECT_EQ(filtered({kTop, kTop, kTop, 1, -kTop}, FilterKind::Mean, 2),
              (Counts{kTop, kTop, 858993459, -1073741823, -kTop}));
}

TEST(RunningMean, OverlappingEdgesKeepTheLaterWriteAndRadiiStopAtTheChannelCount) {
    const Counts c{3, 6, 9, 12, 30};
    // r = 3: channel 2 is written from the left (18/3) and then from the right (51/3).
    EXPECT_EQ(filtered(c, FilterKind::Mean, 3), (Counts{3, 4, 17, 21, 30}));
    EXPECT_EQ(filtered(c, FilterKind::Mean, 4), (Counts{3, 14, 17, 7, 30}));
    const Counts whole{12, 14, 17, 7, 12};
    EXPECT_EQ(filtered(c, FilterKind::Mean, 5), whole);
    EXPECT_EQ(filtered(c, FilterKind::Mean, 6), whole);
    EXPECT_EQ(filtered(c, FilterKind::Mean, 32767), whole);
    EXPECT_EQ(filtered(c, FilterKind::Mean, 1e300), whole);
}

TEST(RunningMean, MatchesTheWrittenOutAlgorithmOnNoise) {
    std::mt19937 rng(2024);
    ChannelFilter filter;
    for (const std::size_t n : {1u, 2u, 5u, 40u, 301u}) {
        const Counts c = randomCounts(rng, n, -100000, 100000);
        for (std::size_t r = 1; r <= n; r += (r < 12 ? 1 : 13)) {
            Counts out = c;
            filter.apply(out, FilterKind::Mean, static_cast<double>(r));
            EXPECT_EQ(out, referenceMean(c, r)) << "n " << n << " r " << r;
        }
    }
}

TEST(GaussianMean, SpreadsASpikeOverThirteenChannelsWithHandComputedWeights) {
    // sigma 2: a = 6, weights exp(-d^2 / 8), full-window sum 5.0081225.
    Counts spike(41, 0);
    spike[20] = 100000;
    Counts expected(41, 0);
    const std::int32_t side[] = {17621, 12110, 6482, 2702, 877, 221};
    expected[20] = 19967;
    for (int d = 1; d <= 6; ++d) {
        expected[20 - d] = expected[20 + d] = side[d - 1];
    }
    EXPECT_EQ(filtered(spike, FilterKind::Gauss, 2.0), expected)
        << "channels 14..26 and no further, even though distance 7 would still weigh 43 counts";

    // At the ends the cut window is renormalised by its own weights: 1 / 3.0040612 at
    // channel 0, w(1) / 3.8865581 at channel 1.
    Counts atEdge(41, 0);
    atEdge[0] = 100000;
    const Counts out = filtered(atEdge, FilterKind::Gauss, 2.0);
    EXPECT_EQ(out[0], 33288);
    EXPECT_EQ(out[1], 22706);
    EXPECT_EQ(out[7], 0);
}

TEST(GaussianMean, FlatAndStraightStretchesComeBackInWholeCounts) {
    for (const std::int32_t level :
         {7, 100, 1000000, -5, std::numeric_limits<std::int32_t>::max()}) {
        const Counts flat(60, level);
        for (const double sigma : {0.5, 1.5, 2.0, 3.0, 10.0}) {
            EXPECT_EQ(filtered(flat, FilterKind::Gauss, sigma), flat)
                << "level " << level << " sigma " << sigma;
        }
    }
    Counts ramp(60);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = 1000 - 7 * static_cast<std::int32_t>(i);
    }
    const Counts out = filtered(ramp, FilterKind::Gauss, 2.0);
    for (std::size_t i = 6; i + 6 < ramp.size(); ++i) {
        EXPECT_EQ(out[i], ramp[i]) << "symmetric window, channel " << i;
    }
    EXPECT_LT(out[0], ramp[0]) << "the cut window leans toward the lower inside";
}

TEST(GaussianMean, SigmaOutsideItsRange) {
    const Counts c{4, 0, 9, 1, 7};
    for (const double sigma : {0.0, -2.0, std::nan(""), 1e-300}) {
        EXPECT_EQ(filtered(c, FilterKind::Gauss, sigma), c) << "sigma " << sigma;
    }
    // Without a finite width every weight is 1: the mean of the whole spectrum, 21/5.
    EXPECT_EQ(filtered(c, FilterKind::Gauss, std::numeric_limits<double>::infinity()),
              Counts(5, 4));
    EXPECT_EQ(filtered(c, FilterKind::Gauss, 1e200), Counts(5, 4));
    EXPECT_EQ(filtered({42}, FilterKind::Gauss, 2.0), Counts{42});
    Counts empty;
    filterChannels(empty, FilterKind::Gauss, 2.0);
    EXPECT_TRUE(empty.empty());
}

TEST(RankFilters, WorkedExamples) {
    const Counts c{1, 9, 2, 8, 3};
    EXPECT_EQ(filtered(c, FilterKind::Median, 1), (Counts{1, 2, 8, 3, 3}));
    EXPECT_EQ(filtered(c, FilterKind::Maximum, 1), (Counts{1, 9, 9, 8, 3}));
    EXPECT_EQ(filtered(c, FilterKind::Minimum, 1), (Counts{1, 1, 2, 2, 3}));
    // 2r + 1 = n: only the middle channel is ranked, over everything.
    EXPECT_EQ(filtered(c, FilterKind::Median, 2), (Counts{1, 9, 3, 8, 3}));
    EXPECT_EQ(filtered(c, FilterKind::Maximum, 2), (Counts{1, 9, 9, 8, 3}));
    EXPECT_EQ(filtered(c, FilterKind::Minimum, 2), (Counts{1, 9, 1, 8, 3}));
    EXPECT_EQ(filtered({-4, -1, -9, -2}, FilterKind::Median, 1), (Counts{-4, -4, -2, -2}));
}

TEST(RankFilters, MatchTheExchangeSortOnNoise) {
    std::mt19937 rng(7);
    ChannelFilter filter; // reused across sizes, as the line search does
    for (const std::size_t n : {1u, 3u, 4u, 31u, 64u, 500u}) {
        for (const auto& [low, high] : {std::pair{-3, 3}, std::pair{-2000000000, 2000000000}}) {
            const Counts c = randomCounts(rng, n, low, high);
            for (const FilterKind kind :
                 {FilterKind::Median, FilterKind::Maximum, FilterKind::Minimum}) {
                for (const std::size_t r : {1u, 2u, 3u, 7u, 15u, 31u, 32u, 249u, 250u}) {
                    if (r > n) {
                        continue;
                    }
                    Counts out = c;
                    filter.apply(out, kind, static_cast<double>(r));
                    EXPECT_EQ(out, referenceRank(c, r, kind))
                        << "n " << n << " r " << r << " kind " << static_cast<int>(kind)
                        << " range " << high;
                }
            }
        }
    }
}

TEST(ChannelFilters, RadiiOutsideTheirRangeLeaveTheChannels) {
    const Counts c{1, 9, 2, 8, 3};
    for (const FilterKind kind :
         {FilterKind::Mean, FilterKind::Median, FilterKind::Maximum, FilterKind::Minimum}) {
        for (const double radius : {0.0, 0.99, -1.0, -32768.0, std::nan("")}) {
            EXPECT_EQ(filtered(c, kind, radius), c)
                << "kind " << static_cast<int>(kind) << " radius " << radius;
        }
    }
    for (const FilterKind kind : {FilterKind::Median, FilterKind::Maximum, FilterKind::Minimum}) {
        for (const double radius : {3.0, 5.0, 6.0, 32767.0}) {
            EXPECT_EQ(filtered(c, kind, radius), c) << "window wider than the spectrum";
        }
    }
    EXPECT_EQ(filtered(c, FilterKind::Median, 1.9), filtered(c, FilterKind::Median, 1.0))
        << "a radius is truncated";
}

class SmoothingTest : public ::testing::Test {
protected:
    DocumentState document;
    HistogramList list{document};
    AppConfig config;

    Histogram& addSource(const Counts& counts) {
        list.setChannelCount(static_cast<std::int32_t>(counts.size()));
        auto h = list.newHistogram();
        h->name.assign("Cs-137");
        h->channels = counts;
        h->total = 50;
        h->exposure = 600.0;
        list.addHistogram(std::move(h));
        document.documentSaved = true;
        return *list.currentHistogram();
    }
};

TEST_F(SmoothingTest, AddsAFilteredCopyAndLeavesTheSource) {
    EXPECT_EQ(smoothCurrentHistogram(list, config), nullptr) << "nothing to smooth";
    const Histogram& source = addSource({5, 10, 20, 10, 5});
    config.smoothKind = 0;
    config.smoothRadius = 1;
    config.smoothSigma = 0.0; // not read by the running mean
    const Histogram* copy = smoothCurrentHistogram(list, config);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(list.histogramCount(), 2);
    EXPECT_EQ(list.currentHistogram(), copy);
    EXPECT_EQ(copy->channels, (Counts{5, 11, 13, 11, 5}));
    EXPECT_EQ(copy->total, 45u);
    EXPECT_EQ(copy->exposure, 600.0);
    EXPECT_EQ(utf8FromCp1251(copy->comment.view()), "Результат фильтрации");
    EXPECT_EQ(source.channels, (Counts{5, 10, 20, 10, 5}));
    EXPECT_FALSE(document.documentSaved);
}

TEST_F(SmoothingTest, KindChoosesTheFilterAndRadiusZeroCopies) {
    Counts spike(41, 0);
    spike[20] = 100000;
    addSource(spike);
    config.smoothRadius = 0;
    const Histogram* copy = smoothCurrentHistogram(list, config);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->channels, spike);
    EXPECT_EQ(copy->total, 100000u);

    config.smoothKind = 1;
    config.smoothSigma = 2.0;
    copy = smoothCurrentHistogram(list, config);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->channels[20], 19967);
    EXPECT_EQ(copy->channels[13], 0);

    config.smoothKind = 7; // a damaged setting: the running mean, as for any kind but 1
    config.smoothRadius = 1;
    copy = smoothCurrentHistogram(list, config);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->channels[19], 16566) << "12110 + 17621 + 19967 over 3, from the last copy";
}

} // namespace
} // namespace kv
