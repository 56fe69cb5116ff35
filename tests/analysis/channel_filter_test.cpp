#include "analysis/channel_filter.h"

#include "model/cp1251.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace kv {
namespace {

using Counts = std::vector<std::int32_t>;
constexpr std::int32_t kTop = std::numeric_limits<std::int32_t>::max();
constexpr FilterKind kRanks[] = {FilterKind::Median, FilterKind::Maximum, FilterKind::Minimum};

Counts filtered(Counts c, FilterKind kind, double parameter) {
    filterChannels(c, kind, parameter);
    return c;
}

// The rank filters as written out for users: sort the window descending and take element r
// (median), 0 (maximum) or 2r (minimum); the r channels at each edge are kept.
Counts referenceRank(const Counts& c, std::size_t r, FilterKind kind) {
    Counts out = c;
    for (std::size_t i = r; i + r < c.size(); ++i) {
        Counts work(c.begin() + static_cast<std::ptrdiff_t>(i - r),
                    c.begin() + static_cast<std::ptrdiff_t>(i + r + 1));
        std::sort(work.begin(), work.end(), std::greater<>());
        out[i] = kind == FilterKind::Median    ? work[r]
                 : kind == FilterKind::Maximum ? work[0]
                                               : work[2 * r];
    }
    return out;
}

TEST(RunningMean, WorkedExamplesTruncateTowardZeroWithSixtyFourBitSums) {
    struct Case {
        Counts in;
        double r;
        Counts out;
    };
    const Counts c{3, 6, 9, 12, 30};
    const Counts whole{12, 14, 17, 7, 12};
    for (const Case& k : {
             Case{{5, 10, 20, 10, 5}, 1, {5, 11, 13, 11, 5}}, // 35/3 and 40/3
             Case{{-5, -10, -20, -10, -5}, 1, {-5, -11, -13, -11, -5}},
             Case{{1, 4, 9, 16, 25, 36, 49}, 2, {1, 2, 11, 18, 27, 42, 49}},
             Case{Counts(7, kTop), 3, Counts(7, kTop)},
             Case{{kTop, kTop, kTop, 1, -kTop}, 2, {kTop, kTop, 858993459, -1073741823, -kTop}},
             // Overlapping edges keep the later (right) write; radii stop at the channel count.
             Case{c, 3, {3, 4, 17, 21, 30}},
             Case{c, 4, {3, 14, 17, 7, 30}},
             Case{c, 5, whole},
             Case{c, 32767, whole},
             Case{c, 1e300, whole},
         }) {
        EXPECT_EQ(filtered(k.in, FilterKind::Mean, k.r), k.out) << "r " << k.r;
    }
}

TEST(GaussianMean, SpreadsASpikeOverThirteenChannelsWithHandComputedWeights) {
    // sigma 2: a = 6, weights exp(-d^2 / 8), full-window sum 5.0081225.
    Counts spike(41, 0);
    spike[20] = 100000;
    Counts expected(41, 0);
    const std::int32_t side[] = {19967, 17621, 12110, 6482, 2702, 877, 221};
    for (int d = 0; d <= 6; ++d) {
        expected[20 - d] = expected[20 + d] = side[d];
    }
    EXPECT_EQ(filtered(spike, FilterKind::Gauss, 2.0), expected)
        << "channels 14..26 and no further, even though distance 7 would still weigh 43 counts";

    // At the ends the cut window is renormalised by its own weights: 1 / 3.0040612 at
    // channel 0, w(1) / 3.8865581 at channel 1.
    std::swap(spike[0], spike[20]);
    const Counts out = filtered(spike, FilterKind::Gauss, 2.0);
    EXPECT_EQ((Counts{out[0], out[1], out[7]}), (Counts{33288, 22706, 0}));
}

TEST(GaussianMean, FlatAndStraightStretchesComeBackInWholeCounts) {
    for (const std::int32_t level : {7, 1000000, -5, kTop}) {
        for (const double sigma : {0.5, 1.5, 2.0, 10.0}) {
            EXPECT_EQ(filtered(Counts(60, level), FilterKind::Gauss, sigma), Counts(60, level))
                << "level " << level << " sigma " << sigma;
        }
    }
    Counts ramp(60);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = 1000 - 7 * static_cast<std::int32_t>(i);
    }
    const Counts out = filtered(ramp, FilterKind::Gauss, 2.0);
    EXPECT_TRUE(std::equal(out.begin() + 6, out.end() - 6, ramp.begin() + 6)) << "symmetric";
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
    EXPECT_TRUE(filtered({}, FilterKind::Gauss, 2.0).empty());
}

TEST(RankFilters, WorkedExamples) {
    const Counts c{1, 9, 2, 8, 3};
    EXPECT_EQ(filtered(c, FilterKind::Median, 1), (Counts{1, 2, 8, 3, 3}));
    EXPECT_EQ(filtered(c, FilterKind::Maximum, 1), (Counts{1, 9, 9, 8, 3}));
    EXPECT_EQ(filtered(c, FilterKind::Minimum, 1), (Counts{1, 1, 2, 2, 3}));
    // 2r + 1 = n: only the middle channel is ranked, over everything.
    EXPECT_EQ(filtered(c, FilterKind::Median, 2), (Counts{1, 9, 3, 8, 3}));
    EXPECT_EQ(filtered(c, FilterKind::Minimum, 2), (Counts{1, 9, 1, 8, 3}));
    EXPECT_EQ(filtered({-4, -1, -9, -2}, FilterKind::Median, 1), (Counts{-4, -4, -2, -2}));
}

TEST(RankFilters, MatchTheExchangeSortOnNoise) {
    std::mt19937 rng(7);
    ChannelFilter filter; // reused across sizes, as the line search does
    for (const std::size_t n : {1u, 3u, 4u, 31u, 64u, 500u}) {
        // A narrow range gives many equal values, where a sliding window can drop the wrong one.
        for (const std::int32_t high : {3, 2000000000}) {
            std::uniform_int_distribution<std::int32_t> count(-high, high);
            Counts c(n);
            std::generate(c.begin(), c.end(), [&] { return count(rng); });
            for (const FilterKind kind : kRanks) {
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
    for (const FilterKind kind : kRanks) {
        for (const double radius : {3.0, 6.0, 32767.0}) {
            EXPECT_EQ(filtered(c, kind, radius), c) << "window wider than the spectrum";
        }
    }
    EXPECT_EQ(filtered(c, FilterKind::Median, 1.9), filtered(c, FilterKind::Median, 1.0))
        << "a radius is truncated";
}

TEST(Smoothing, AddsAFilteredCopyOfTheChosenKindAndLeavesTheSource) {
    DocumentState document;
    HistogramList list{document};
    FilterSettings settings;
    EXPECT_EQ(smoothCurrentHistogram(list, settings), nullptr) << "nothing to smooth";
    Counts spike(41, 0);
    spike[20] = 100000;
    list.setChannelCount(41);
    auto h = list.newHistogram();
    h->channels = spike, h->total = 50, h->exposure = 600.0;
    list.addHistogram(std::move(h));
    document.documentSaved = true;

    settings.smoothKind = 0, settings.smoothRadius = 1;
    settings.smoothSigma = 0.0; // not read by the running mean
    const Histogram* copy = smoothCurrentHistogram(list, settings);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(list.histogramCount(), 2);
    EXPECT_EQ(list.currentHistogram(), copy);
    EXPECT_EQ((Counts{copy->channels[18], copy->channels[19], copy->channels[21]}),
              (Counts{0, 33333, 33333}));
    EXPECT_EQ(copy->total, 99999u);
    EXPECT_EQ(copy->exposure, 600.0);
    EXPECT_EQ(utf8FromCp1251(copy->comment.view()), "Результат фильтрации");
    EXPECT_EQ(list.histogramAt(0)->channels, spike);
    EXPECT_FALSE(document.documentSaved);

    list.setCurrentIndex(0);
    settings.smoothRadius = 0;
    EXPECT_EQ(smoothCurrentHistogram(list, settings)->channels, spike);
    settings.smoothKind = 1, settings.smoothSigma = 2.0;
    copy = smoothCurrentHistogram(list, settings);
    EXPECT_EQ((Counts{copy->channels[13], copy->channels[20]}), (Counts{0, 19967}));
    settings.smoothKind = 7; // a damaged setting: the running mean, as for any kind but 1
    settings.smoothRadius = 1;
    EXPECT_EQ(smoothCurrentHistogram(list, settings)->channels[19], 16566)
        << "12110 + 17621 + 19967 over 3, from the last copy";
}

} // namespace
} // namespace kv
