#include "display/plot_view.h"

#include "display/view_fixture.h"

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
using Range = std::pair<double, double>;

class PlotViewTest : public test::ViewFixture {
protected:
    // The vertical range for a y-axis mode, or {NaN, NaN} when there is nothing to draw.
    Range vertical(int mode = 0) {
        config.plot.yAxisMode = mode;
        return computeVerticalRange(view, config.plot, list) ? Range(view.yMin, view.yMax)
                                                             : Range(kNaN, kNaN);
    }

    Range rounded(double yMin, double yMax) {
        view.yMin = yMin;
        view.yMax = yMax;
        roundVerticalRange(view);
        return {view.yMin, view.yMax};
    }

    PixelPoint map(double channel, double value, double logFloor = 1.0) const {
        return mapToPixel(view, config.plot, channel, value, logFloor, kRect);
    }
};

TEST_F(PlotViewTest, ClampKeepsTheVisibleRangeANonEmptyPartOfTheSpectrum) {
    // Empty or inverted: the full range, so the mapping never divides by a zero width.
    const struct {
        std::int32_t first, last, count, wantFirst, wantLast;
    } cases[] = {{10, 20, 4096, 10, 20},    {-5, 5000, 4096, 0, 4095}, {4096, -1, 4096, 0, 4095},
                 {100, 100, 2048, 0, 2047}, {300, 100, 2048, 0, 2047}, {1, 2047, 1, 0, 0},
                 {1, 2047, 0, 0, 0},        {1, 2047, -7, 0, 0}};
    for (const auto& c : cases) {
        showRange(c.first, c.last);
        clampVisibleRange(config.plot, c.count);
        EXPECT_EQ(config.plot.firstChannel, c.wantFirst)
            << c.first << ".." << c.last << "/" << c.count;
        EXPECT_EQ(config.plot.lastChannel, c.wantLast)
            << c.first << ".." << c.last << "/" << c.count;
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
    h.total = 1; // as the status line does, a total below 2 counts as 1
    EXPECT_EQ(displayScale(h, YAxisMode::Probability), 100.0);
    AppConfig config;
    config.plot.yAxisMode = 2;
    EXPECT_EQ(yAxisMode(config.plot), YAxisMode::Probability);
    config.plot.yAxisMode = 3;
    EXPECT_EQ(yAxisMode(config.plot), YAxisMode::Counts) << "out of range: the default";
}

TEST_F(PlotViewTest, VerticalRangeOfTheSelectedHistogramCoversVisibleChannelsOnly) {
    add({1000, 7, 3, 12, 5, -1000}, false, 400, 2.0);
    showRange(1, 4);
    EXPECT_EQ(vertical(0), Range(3, 12));
    EXPECT_EQ(vertical(1), Range(1.5, 6));
    EXPECT_EQ(vertical(2), Range(0.75, 3));
    add({0, 50, 60, 70, 80, 0}, true);
    list.setCurrentIndex(0);
    EXPECT_EQ(vertical(0), Range(3, 12)) << "only the current histogram counts, marked or not";
}

TEST_F(PlotViewTest, VerticalRangeOfMarkedHistogramsSpansThemAll) {
    config.plot.showSelectedOnly = 0;
    add({0, 5, 9, 0}, true);
    add({0, 100, -100, 0}, false);
    add({0, 2, 20, 0}, true, 0, 10.0);
    showRange(1, 2);
    EXPECT_EQ(vertical(0), Range(2, 20));
    EXPECT_EQ(vertical(1), Range(0.2, 9)) << "each its own scale; no exposure stays in counts";
}

TEST_F(PlotViewTest, NothingToDrawLeavesTheVerticalRangeAlone) {
    view.yMin = -1;
    view.yMax = 1;
    EXPECT_FALSE(computeVerticalRange(view, config.plot, list)) << "empty list";
    add({1, 2, 3, 4});
    list.setCurrentIndex(-1);
    EXPECT_FALSE(computeVerticalRange(view, config.plot, list)) << "nothing selected";
    config.plot.showSelectedOnly = 0;
    EXPECT_FALSE(computeVerticalRange(view, config.plot, list)) << "nothing marked";
    list.toggleMark(0);
    showRange(10, 20);
    EXPECT_FALSE(computeVerticalRange(view, config.plot, list)) << "channels it does not have";
    EXPECT_EQ(Range(view.yMin, view.yMax), Range(-1, 1));
}

TEST_F(PlotViewTest, RoundingMovesBothEndsOutwardToRoundSteps) {
    const double tiniest = std::numeric_limits<double>::denorm_min();
    // Units 10/5, 10/5, 1/10, 10/20, 100/1; left alone when not finite or the unit underflows.
    const std::pair<Range, Range> cases[] = {
        {{0, 123}, {0, 150}},     {{-37, 212}, {-50, 250}},     {{0, 55}, {0, 60}},
        {{3, 612}, {0, 800}},     {{0, 1000}, {0, 1000}},       {{0, 0}, {0, 0}},
        {{-120, -37}, {-150, 0}}, {{0, tiniest}, {0, tiniest}}, {{0, kInf}, {0, kInf}}};
    for (const auto& [in, out] : cases) {
        const Range got = rounded(in.first, in.second);
        EXPECT_EQ(got, out) << in.first << ", " << in.second;
        EXPECT_FALSE(std::signbit(got.second)) << "never -0";
    }
    EXPECT_NEAR(rounded(0, 0.123).second, 0.2, 1e-12) << "unit 0.1, step 1";
    EXPECT_FALSE(std::signbit(rounded(-0.0, -0.0).first));
}

TEST_F(PlotViewTest, LinearMappingTruncatesPositionsAndAFlatHistogramLiesOnTheBottom) {
    showRange(0, 3);
    view.yMax = 300;
    EXPECT_EQ(map(0, 0), (PixelPoint{10, 220}));
    EXPECT_EQ(map(3, 300), (PixelPoint{210, 20}));
    EXPECT_EQ(map(1, 1), (PixelPoint{76, 219})) << "10 + 200 / 3 and 220 - 200 / 300";
    config.plot.fromZero = 0;
    view.yMin = 50;
    view.yMax = 150;
    EXPECT_EQ(map(1.5, 100).y, 120);

    add({7, 7, 7, 7});
    ASSERT_TRUE(computeVerticalRange(view, config.plot, list));
    EXPECT_EQ(map(0, 7).y, 220);
    EXPECT_EQ(map(3, 7).y, 220);
}

TEST_F(PlotViewTest, LogarithmicMappingStartsAtTheFloor) {
    showRange(0, 3);
    config.plot.logScale = 1;
    view.yMax = 1000;
    EXPECT_EQ(map(0, 10).y, 153) << "220 - 200 * ln 10 / ln 1000";
    EXPECT_EQ(map(0, 1000).y, 20);
    for (double value : {1.0, 0.0, -4.0}) {
        EXPECT_EQ(map(0, value).y, 220) << "not above one count: " << value;
    }
    for (double floor : {0.0, -1.0, kNaN}) {
        EXPECT_EQ(map(0, 10, floor).y, 153) << "a floor that is not positive is 1: " << floor;
    }
    view.yMax = 100; // intensity over 10 s: the floor is 0.1 per second, one count
    EXPECT_EQ(map(0, 1, 0.1).y, 153);
    EXPECT_EQ(map(0, 0.1, 0.1).y, 220);
    config.plot.fromZero = 0;
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
    config.plot.logScale = 1;
    view.yMax = std::nextafter(1e10, kInf);
    EXPECT_EQ(map(50, 1e11, 1e10).y, 220);
}

} // namespace
} // namespace kv
