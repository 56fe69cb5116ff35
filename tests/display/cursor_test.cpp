#include "display/cursor.h"

#include "display/view_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace kv {
namespace {

class CursorTest : public test::ViewFixture {
protected:
    void zoomDrag(double from, double to) {
        view.zoomArmed = true;
        view.cursorFraction = from;
        beginCursorDrag(view);
        view.cursorFraction = to;
        endCursorDrag(view, config.plot);
    }
};

TEST_F(CursorTest, ChannelRoundsHalfDownAndArrowStepsStopAtTheRangeEnds) {
    showRange(10, 20);
    view.cursorFraction = 0.45; // 14.5
    EXPECT_EQ(cursorChannel(view, config.plot), 14);
    view.cursorFraction = 0.46;
    EXPECT_EQ(cursorChannel(view, config.plot), 15);

    ASSERT_TRUE(stepCursor(view, config.plot, -1));
    EXPECT_DOUBLE_EQ(view.cursorFraction, 0.4);
    view.cursorFraction = 1.0;
    stepCursor(view, config.plot, +1);
    EXPECT_EQ(view.cursorFraction, 1.0);
    view.cursorFraction = 0.0;
    stepCursor(view, config.plot, -1);
    EXPECT_EQ(view.cursorFraction, 0.0);

    showRange(5, 5); // not yet widened by a paint
    EXPECT_FALSE(stepCursor(view, config.plot, +1));
    EXPECT_EQ(view.cursorFraction, 0.0);
}

TEST_F(CursorTest, PlacedOnAChannelWithinTheRangeOrAtItsNearerEnd) {
    showRange(10, 20);
    placeCursorAt(view, config.plot, 12.5);
    EXPECT_DOUBLE_EQ(view.cursorFraction, 0.25);
    placeCursorAt(view, config.plot, 3.0);
    EXPECT_EQ(view.cursorFraction, 0.0);
    placeCursorAt(view, config.plot, 1e300);
    EXPECT_EQ(view.cursorFraction, 1.0);
    placeCursorAt(view, config.plot, std::nan(""));
    EXPECT_EQ(view.cursorFraction, 1.0) << "not a channel: left where it was";
    showRange(5, 5);
    placeCursorAt(view, config.plot, 5.0);
    EXPECT_EQ(view.cursorFraction, 0.0);
}

TEST_F(CursorTest, HitTestAndDragFollowTheLastPaintsRectangle) {
    view.plotRect = PixelRect{10, 20, 210, 220};
    view.cursorFraction = 0.5;
    EXPECT_EQ(cursorColumn(view), 110);
    EXPECT_TRUE(isOnCursor(view, 109, 100) && isOnCursor(view, 111, 219));
    EXPECT_FALSE(isOnCursor(view, 108, 100) || isOnCursor(view, 112, 100));
    EXPECT_FALSE(isOnCursor(view, 110, 20) || isOnCursor(view, 110, 220));

    dragCursorTo(view, 60);
    EXPECT_DOUBLE_EQ(view.cursorFraction, 0.25);
    dragCursorTo(view, -50);
    EXPECT_EQ(view.cursorFraction, 0.0);
    dragCursorTo(view, 500);
    EXPECT_EQ(view.cursorFraction, 1.0);
    view.plotRect = PixelRect{};
    dragCursorTo(view, 60);
    EXPECT_EQ(view.cursorFraction, 1.0);
}

TEST_F(CursorTest, ZoomDragSelectsTheSameRangeEitherWayAndAlwaysDisarms) {
    showRange(0, 100);
    zoomDrag(0.755, 0.25);
    EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(25, 75));
    EXPECT_FALSE(view.zoomArmed || view.cursorDragging);
    showRange(0, 100);
    zoomDrag(0.25, 0.755);
    EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(25, 75));

    // Ending where it began, or within one channel, changes nothing.
    for (const double end : {0.4, 0.405}) {
        showRange(0, 100);
        zoomDrag(0.4, end);
        EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(0, 100));
        EXPECT_FALSE(view.zoomArmed);
    }
    // Without the zoom a drag only moves the cursor.
    beginCursorDrag(view);
    view.cursorFraction = 0.9;
    EXPECT_FALSE(endCursorDrag(view, config.plot));
    EXPECT_EQ(config.plot.lastChannel, 100);
}

TEST_F(CursorTest, BoundariesTruncateAtTheCursorAndRefuseAnEmptyRange) {
    showRange(100, 200);
    view.cursorFraction = 0.257; // channel 125.7: rounded 126, truncated 125
    ASSERT_TRUE(setBoundary(view, config.plot, 1024, Boundary::Left));
    EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(125, 200));
    EXPECT_EQ(view.cursorFraction, 0.5);

    view.cursorFraction = 0.0;
    EXPECT_FALSE(setBoundary(view, config.plot, 1024, Boundary::Right));
    view.cursorFraction = 1.0;
    EXPECT_FALSE(setBoundary(view, config.plot, 1024, Boundary::Left));
    EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(125, 200));
    EXPECT_EQ(view.cursorFraction, 1.0);

    ASSERT_TRUE(setBoundary(view, config.plot, 1024, Boundary::None));
    EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(0, 1023));
}

TEST_F(CursorTest, CursorReadoutInEveryMode) {
    EXPECT_EQ(cursorReadout(view, config.plot, config.energyCalibration, list), "");
    add({0, 7, 10, 0}, false, 0, 4.0);
    showRange(0, 3);
    view.cursorFraction = 2.0 / 3.0;
    EXPECT_EQ(cursorReadout(view, config.plot, config.energyCalibration, list),
              "Канал = 3, Число отсчетов = 10");
    config.plot.yAxisMode = 1;
    EXPECT_EQ(cursorReadout(view, config.plot, config.energyCalibration, list),
              "Канал = 3, Интенсивность = 2.500 1/сек");
    config.plot.yAxisMode = 2; // a total of 0 divides as 1
    EXPECT_EQ(cursorReadout(view, config.plot, config.energyCalibration, list),
              "Канал = 3, Вероятность = 1000.000%");
    view.cursorFraction = 1.0;
    config.plot.xAxisMode = 1; // without a calibration the energy is the channel
    EXPECT_EQ(cursorReadout(view, config.plot, config.energyCalibration, list),
              "Энергия = 3.00 кэВ, Вероятность = 0.000%");
    list.currentHistogram()->total = 20;
    view.cursorFraction = 1.0 / 3.0;
    EXPECT_EQ(cursorReadout(view, config.plot, config.energyCalibration, list),
              "Энергия = 1.00 кэВ, Вероятность = 35.000%");

    showRange(0, 9); // a range from another channel count, not yet clamped
    view.cursorFraction = 1.0;
    EXPECT_EQ(cursorReadout(view, config.plot, config.energyCalibration, list), "");
}

TEST_F(CursorTest, RangeStatisticsInEveryMode) {
    EXPECT_EQ(rangeStatistics(config.plot, config.energyCalibration, list), "");
    add({9, 0, 2, 0, 2, 0}, false, 8, 0.5);
    showRange(1, 5); // channel 0 lies outside: mean channel index 3, variance 1
    EXPECT_EQ(rangeStatistics(config.plot, config.energyCalibration, list),
              "Интеграл = 4, <X> = 4.00 Канал, Сигма = 1.00 Канал");
    config.plot.yAxisMode = 1;
    EXPECT_EQ(rangeStatistics(config.plot, config.energyCalibration, list).substr(0, 21),
              "Интеграл = 8,");
    config.plot.yAxisMode = 2;
    EXPECT_EQ(rangeStatistics(config.plot, config.energyCalibration, list).substr(0, 21),
              "Интеграл = 0,");

    config.plot.xAxisMode = 1; // E = 10 + 2 c keV
    config.energyCalibration.coefficients = {10.0, 2.0, 0.0, 0.0, 0.0};
    config.energyCalibration.termCount = 2;
    config.energyCalibration.channelScale = 6;
    EXPECT_EQ(rangeStatistics(config.plot, config.energyCalibration, list),
              "Интеграл = 0, <X> = 16.00 кэВ, Сигма = 2.00 кэВ");

    // An integral beyond 2^31 counts is not shown wrapped.
    config.plot.yAxisMode = 0;
    list.currentHistogram()->channels = {2'000'000'000, 2'000'000'000, 0, 0, 0, 0};
    showRange(0, 5);
    EXPECT_EQ(rangeStatistics(config.plot, config.energyCalibration, list).substr(0, 30),
              "Интеграл = 4000000000,");
}

} // namespace
} // namespace kv
