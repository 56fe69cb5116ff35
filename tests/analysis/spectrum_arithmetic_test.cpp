#include "analysis/spectrum_arithmetic.h"

#include "model/cp1251.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace kv {
namespace {

using Counts = std::vector<std::int32_t>;

class SpectrumArithmeticTest : public ::testing::Test {
protected:
    DocumentState document;
    HistogramList list{document};

    SpectrumArithmeticTest() { list.setChannelCount(4); }

    const Histogram& add(const char* name, const Counts& counts, double exposure) {
        auto h = list.newHistogram();
        h->name.assign(name);
        h->channels = counts;
        h->exposure = exposure;
        list.addHistogram(std::move(h));
        return *list.currentHistogram();
    }
};

TEST_F(SpectrumArithmeticTest, WeightedSumsAndDifferencesTruncateTowardZero) {
    const Histogram& a = add("A", {3, -3, 7, 1000}, 100.0);
    const Histogram& b = add("B", {1, 1, -2, 0}, 50.0);

    const auto sum = composeHistograms(list, a, a, {});
    EXPECT_EQ(sum->channels, (Counts{6, -6, 14, 2000}));
    EXPECT_EQ(sum->exposure, 200.0);
    EXPECT_EQ(sum->kind, 17) << "kind 1, marked";
    EXPECT_EQ(utf8FromCp1251(sum->comment.view()), "Композиция");
    const auto difference = composeHistograms(list, a, a, {.subtractMode = true});
    EXPECT_EQ(difference->channels, Counts(4, 0));
    EXPECT_EQ(difference->exposure, 100.0) << "the first exposure only";
    EXPECT_EQ(list.histogramCount(), 2) << "listing is the window's step";

    const auto half = composeHistograms(list, a, b, {.firstFactor = 0.5, .secondFactor = 0.0});
    EXPECT_EQ(half->channels, (Counts{1, -1, 3, 500})) << "3 x 0.5 gives 1, -3 x 0.5 gives -1";

    // 2a + 1.5b = 7.5, -4.5, 11, 2000; 2a - 1.5b = 4.5, -7.5, 17, 2000.
    const auto added = composeHistograms(list, a, b, {.firstFactor = 2.0, .secondFactor = 1.5});
    EXPECT_EQ(added->channels, (Counts{7, -4, 11, 2000}));
    EXPECT_EQ(added->exposure, 275.0);
    EXPECT_EQ(added->name, a.name);
    const auto subtracted = composeHistograms(
        list, a, b, {.firstFactor = 2.0, .secondFactor = 1.5, .subtractMode = true});
    EXPECT_EQ(subtracted->channels, (Counts{4, -7, 17, 2000}));
    EXPECT_EQ(subtracted->exposure, 200.0);
    EXPECT_EQ(subtracted->total, 2014u);
}

TEST_F(SpectrumArithmeticTest, ResultsBeyondAChannelSaturateAndMissingChannelsCountZero) {
    constexpr std::int32_t kTop = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kBottom = std::numeric_limits<std::int32_t>::min();
    const Histogram& big = add("big", {2000000000, -2000000000, 5, 0}, 1.0);
    const Histogram& ones = add("ones", {1, 1, 1, 1}, 1.0);

    EXPECT_EQ(composeHistograms(list, big, big, {})->channels, (Counts{kTop, kBottom, 10, 0}));
    EXPECT_EQ(composeHistograms(list, big, ones, {.secondFactor = 1e10})->channels,
              (Counts{kTop, kTop, kTop, kTop}));
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(
        composeHistograms(list, big, ones, {.firstFactor = infinity, .secondFactor = 0})->channels,
        (Counts{kTop, kBottom, kTop, 0}))
        << "an empty channel times infinity is no number: 0";

    list.setChannelCount(6);
    EXPECT_EQ(composeHistograms(list, ones, big, {.secondFactor = -1.0})->channels,
              (Counts{-1999999999, 2000000001, -4, 1, 0, 0}));
}

} // namespace
} // namespace kv
