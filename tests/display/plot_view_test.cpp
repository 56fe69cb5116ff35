#include "display/plot_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace kv {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr PixelRect kRect{10, 20, 210, 220}; // 200 pixels wide and high

class PlotViewTest : public ::testing::Test {
protected:
    DocumentState document;
    HistogramList list{document};
    AppConfig config;
    PlotView view;

    Histogram& add(std::vector<std::int32_t> channels, bool marked = false, std::uint32_t total = 0,
                   double exposure = 0.0) {
        list.setChannelCount(static_cast<std::int32_t>(channels.size()));
        auto h = list.newHistogram();
        h->channels = std::move(channels);
        h->kind = marked ? kMarkedBit : 0;
        h->total = total;
        h->exposure = exposure;
        list.addHistogram(std::move(h));
        return *list.currentHistogram();
    }

    void showRange(std::int32_t first, std::int32_t last) {
        config.firstChannel = first;
        config.lastChannel = last;
    }

    std::pair<std::int32_t, std::int32_t> clamped(std::int32_t first, std::int32_t last,
                                                  std::int32_t channelCount) {
        showRange(first, last);
        clampVisibleRange(config, channelCount);
        return {config.firstChannel, config.lastChannel};
    }

    std::pair<double, double> rounded(double yMin, double yMax) {
        view.yMin = yMin;
        view.yMax = yMax;
        roundVerticalRange(view);
        return {view.yMin, view.yMax};
    }

    PixelPoint map(double channel, double value, double logFloor = 1.0) const {
        return mapToPixel(view, config, channel, value, logFloor, kRect);
    }
};

using Range = std::pair<double, double>;

TEST_F(PlotViewTest, ClampKeepsTheVisibleRangeANonEmptyPartOfTheSpectrum) {
    using Channels = std::pair<std::int32_t, std::int32_t>;
    EXPECT_EQ(clamped(10, 20, 4096), Channels(10, 20));
    EXPECT_EQ(clamped(-5, 5000, 4096), Channels(0, 4095));
    EXPECT_EQ(clamped(4096, -1, 4096), Channels(0, 4095));
    // Empty or inverted: the full range, so the mapping never divides by a zero width.
    EXPECT_EQ(clamped(100, 100, 2048), Channels(0, 2047));
    EXPECT_EQ(clamped(300, 100, 2048), Channels(0, 2047));
    for (std::int32_t count : {1, 0, -7}) {
        EXPECT_EQ(clamped(1, 2047, count), Channels(0, 0)) << count;
    }
}

TEST(DisplayScale, FollowsTheVerticalModeWithoutDividingByZero) {
    Histogram h;
    h.total = 200;
    h.exposure = 4.0;
    EXPECT_EQ(displayScale(h, YAxisMode::Counts), 1.0);
    EXPECT_EQ(displayScale(h, YAxisMode::Intensity), 0.25);
    EXPECT_EQ(displayScale(h, YAxisMode::Probability), 0.5);

    for (double exposure : {0.0, -3.0, kNaN, kInf, 1e-320}) {
        h.exposure = exposure;
        EXPECT_EQ(displayScale(h, YAxisMode::Intensity), 1.0) << exposure;
    }
    // As the status line does, a total below 2 counts as 1.
    for (std::uint32_t total : {0u, 1u}) {
        h.total = total;
        EXPECT_EQ(displayScale(h, YAxisMode::Probability), 100.0) << total;
    }

    AppConfig config;
    config.yAxisMode = 2;
    EXPECT_EQ(yAxisMode(config), YAxisMode::Probability);
    config.yAxisMode = 3;
    EXPECT_EQ(yAxisMode(config), YAxisMode::Counts) << "out of range: the default";
}

TEST_F(PlotViewTest, VerticalRangeOfTheSelectedHistogramCoversVisibleChannelsOnly) {
    add({1000, 7, 3, 12, 5, -1000}, false, 400, 2.0);
    showRange(1, 4);
    ASSERT_TRUE(computeVerticalRange(view, config, list));
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(3, 12));
    config.yAxisMode = 1;
    ASSERT_TRUE(computeVerticalRange(view, config, list));
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(1.5, 6));
    config.yAxisMode = 2;
    ASSERT_TRUE(computeVerticalRange(view, config, list));
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(0.75, 3));

    // Only the current histogram counts, marked or not.
    add({0, 50, 60, 70, 80, 0}, true);
    list.setCurrentIndex(0);
    config.yAxisMode = 0;
    ASSERT_TRUE(computeVerticalRange(view, config, list));
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(3, 12));
}

TEST_F(PlotViewTest, VerticalRangeOfMarkedHistogramsSpansThemAll) {
    config.showSelectedOnly = 0;
    add({0, 5, 9, 0}, true);
    add({0, 100, -100, 0}, false);
    add({0, 2, 20, 0}, true, 0, 10.0);
    showRange(1, 2);
    ASSERT_TRUE(computeVerticalRange(view, config, list));
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(2, 20));

    // Each with its own scale; the first has no exposure and stays in counts.
    config.yAxisMode = 1;
    ASSERT_TRUE(computeVerticalRange(view, config, list));
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(0.2, 9));
}

TEST_F(PlotViewTest, NothingToDrawLeavesTheVerticalRangeAlone) {
    view.yMin = -1;
    view.yMax = 1;
    EXPECT_FALSE(computeVerticalRange(view, config, list)) << "empty list";
    add({1, 2, 3, 4});
    list.setCurrentIndex(-1);
    EXPECT_FALSE(computeVerticalRange(view, config, list)) << "nothing selected";
    config.showSelectedOnly = 0;
    EXPECT_FALSE(computeVerticalRange(view, config, list)) << "nothing marked";
    list.toggleMark(0);
    showRange(10, 20);
    EXPECT_FALSE(computeVerticalRange(view, config, list)) << "channels it does not have";
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(-1, 1));
}

TEST_F(PlotViewTest, RoundingMovesBothEndsOutwardToRoundSteps) {
    EXPECT_EQ(rounded(0, 123), Range(0, 150)) << "unit 10, step 5";
    EXPECT_EQ(rounded(-37, 212), Range(-50, 250)) << "unit 10, step 5";
    EXPECT_EQ(rounded(0, 55), Range(0, 60)) << "unit 1, step 10";
    EXPECT_EQ(rounded(3, 612), Range(0, 800)) << "unit 10, step 20; a positive low end moves down";
    EXPECT_EQ(rounded(0, 1000), Range(0, 1000)) << "unit 100, step 1: already round";
    EXPECT_NEAR(rounded(0, 0.123).second, 0.2, 1e-12) << "unit 0.1, step 1";

    // Zero, and the high end of an all-negative range, never become "-0".
    EXPECT_EQ(rounded(0, 0), Range(0, 0));
    EXPECT_FALSE(std::signbit(rounded(-0.0, -0.0).first));
    const Range negative = rounded(-120, -37);
    EXPECT_EQ(negative, Range(-150, 0));
    EXPECT_FALSE(std::signbit(negative.second));

    // Left alone: not finite, or a unit of 10^-324 that underflows to 0.
    const double tiniest = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(rounded(0, tiniest), Range(0, tiniest));
    EXPECT_EQ(rounded(0, kInf), Range(0, kInf));
}

TEST_F(PlotViewTest, LinearMappingTruncatesPositions) {
    showRange(0, 3);
    view.yMax = 300;
    EXPECT_EQ(map(0, 0), (PixelPoint{10, 220}));
    EXPECT_EQ(map(3, 300), (PixelPoint{210, 20}));
    // 10 + 200 / 3 = 76.7 and 220 - 200 / 300 = 219.3.
    EXPECT_EQ(map(1, 1), (PixelPoint{76, 219}));

    config.fromZero = 0;
    view.yMin = 50;
    view.yMax = 150;
    EXPECT_EQ(map(1.5, 100).y, 120);
}

TEST_F(PlotViewTest, FlatHistogramLiesOnTheBottomEdge) {
    add({7, 7, 7, 7});
    config.fromZero = 0;
    clampVisibleRange(config, list.channelCount());
    ASSERT_TRUE(computeVerticalRange(view, config, list));
    EXPECT_EQ(map(0, 7).y, 220);
    EXPECT_EQ(map(3, 7).y, 220);
}

TEST_F(PlotViewTest, LogarithmicMappingStartsAtTheFloor) {
    showRange(0, 3);
    config.logScale = 1;
    view.yMax = 1000;
    // 220 - 200 * ln 10 / ln 1000 = 153.3.
    EXPECT_EQ(map(0, 10).y, 153);
    EXPECT_EQ(map(0, 1000).y, 20);
    for (double value : {1.0, 0.0, -4.0}) {
        EXPECT_EQ(map(0, value).y, 220) << "not above one count: " << value;
    }
    // A floor that is not a positive number is one count.
    for (double floor : {0.0, -1.0, kNaN}) {
        EXPECT_EQ(map(0, 10, floor).y, 153) << floor;
    }

    // Intensity over 10 s: the floor is 0.1 per second, one count.
    view.yMax = 100;
    EXPECT_EQ(map(0, 1, 0.1).y, 153);
    EXPECT_EQ(map(0, 0.1, 0.1).y, 220);

    config.fromZero = 0;
    view.yMin = 100;
    view.yMax = 1100;
    EXPECT_EQ(map(0, 110).y, 153) << "shifted by yMin first";
}

TEST_F(PlotViewTest, DegenerateRangesStillGiveFinitePixels) {
    view.yMax = 100;
    showRange(5, 5); // left by a boundary set at the range's end
    EXPECT_EQ(map(5, 50), (PixelPoint{10, 120}));

    showRange(0, 100);
    EXPECT_EQ(map(kNaN, kNaN), (PixelPoint{10, 220}));
    EXPECT_EQ(map(1e300, 1e300), (PixelPoint{kPixelLimit, -kPixelLimit}));
    view.yMax = 0; // a span of 0 counts as 1
    EXPECT_EQ(map(50, 0).y, 220);

    // A span one step above the floor has no logarithmic height: bottom edge, not off the top.
    config.logScale = 1;
    view.yMax = std::nextafter(1e10, kInf);
    EXPECT_EQ(map(50, 1e11, 1e10).y, 220);
}

TEST(RoundHalfDown, PicksTheNearerIntegerAndTheLowerOnATie) {
    EXPECT_EQ(roundHalfDown(2.5), 2.0);
    EXPECT_EQ(roundHalfDown(2.51), 3.0);
    EXPECT_EQ(roundHalfDown(7.0), 7.0);
    EXPECT_EQ(roundHalfDown(-2.5), -3.0);
    EXPECT_EQ(roundHalfDown(-2.4), -2.0);
    EXPECT_EQ(roundHalfDown(1e15 + 0.5), 1e15);
}

} // namespace
} // namespace kv
