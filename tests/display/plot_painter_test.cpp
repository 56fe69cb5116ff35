#include "display/plot_painter.h"

#include "display/view_fixture.h"

#include "model/histogram_file.h"
#include "platform/files.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace kv {
namespace {

constexpr PixelRect kPane{0, 0, 800, 600};

// Where the highlighted curve's pixels fall relative to a rectangle (edges inclusive).
struct BluePixels {
    int inside = 0;
    int outside = 0;
    int minY = INT_MAX;
    int maxY = INT_MIN;
};

class PlotPainterTest : public test::ViewFixture {
protected:
    PlotPainter plot;
    QImage image{kPane.right, kPane.bottom, QImage::Format_RGB32};

    void SetUp() override {
        config.plot.firstChannel = 0;
        config.plot.showSelectedOnly = 0;
        image.fill(Qt::gray);
    }

    void paint() {
        QPainter painter(&image);
        plot.paintPlotPane(painter, kPane, view, config, list);
    }

    BluePixels blue(const PixelRect& r) const {
        BluePixels b;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != kHighlightRgb) {
                    continue;
                }
                const bool in = x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
                ++(in ? b.inside : b.outside);
                b.minY = std::min(b.minY, y);
                b.maxY = std::max(b.maxY, y);
            }
        }
        return b;
    }
};

TEST_F(PlotPainterTest, DemoSpectraLieInsideTheFrame) {
    const auto bytes = readWholeFile(KV_DEMO_FILE);
    ASSERT_TRUE(bytes);
    ParsedHistogramFile file = parseHistogramFile(*bytes);
    ASSERT_EQ(file.histograms.size(), 3u);
    for (auto& h : file.histograms) {
        h->kind |= kMarkedBit;
        list.addHistogram(std::move(h));
    }
    paint();

    // The frame: 2 pixels in, the pane's right edge 5 further, one text line on the left and
    // at the bottom; the curves 2 pixels inside it.
    const PixelRect curves = view.plotRect;
    const PixelRect frame{curves.left - 2, curves.top - 2, curves.right + 2, curves.bottom + 2};
    const int lineHeight = frame.left - 2;
    EXPECT_GE(lineHeight, 12);
    EXPECT_LE(lineHeight, 30);
    EXPECT_EQ(frame.top, 2);
    EXPECT_EQ(frame.right, 800 - 5 - 2);
    EXPECT_EQ(frame.bottom, 600 - 2 - lineHeight);
    for (int y = frame.top; y < frame.bottom; ++y) {
        ASSERT_EQ(image.pixel(frame.left, y), qRgb(0, 0, 0)) << y;
        ASSERT_EQ(image.pixel(frame.right - 1, y), qRgb(0, 0, 0)) << y;
    }
    EXPECT_EQ(image.pixel(0, 300), qRgb(0, 0, 0)); // the pane's outline
    EXPECT_EQ(image.pixel(1, 300), qRgb(255, 255, 255));

    // The current (last added) histogram is blue; its markers may reach 3 pixels beyond.
    const BluePixels b =
        blue({curves.left - 3, curves.top - 3, curves.right + 3, curves.bottom + 3});
    EXPECT_GT(b.inside, 1000);
    EXPECT_EQ(b.outside, 0);
    // Its tallest peak stands where the view maps it (a marker may stand up to 3 above).
    const auto& counts = list.currentHistogram()->channels;
    const auto peak = std::max_element(counts.begin(), counts.end());
    const double peakChannel = static_cast<double>(peak - counts.begin());
    EXPECT_NEAR(b.minY, mapToPixel(view, config, peakChannel, *peak, 1.0, curves).y, 3);
}

TEST_F(PlotPainterTest, OnlyTheFirstEightMarkedCurvesGetMarkers) {
    // Flat curves lie on one row; a highlighted one off that row has markers.
    for (const int count : {8, 9}) {
        list.clearList();
        for (int i = 0; i < count; ++i) {
            add(std::vector<std::int32_t>(2048, 100), true);
        }
        paint();
        const BluePixels b = blue(view.plotRect);
        EXPECT_GT(b.inside, 500) << count;
        EXPECT_EQ(b.maxY > b.minY, count == 8) << count;
    }
}

TEST_F(PlotPainterTest, EmptyAndZeroCurvesLieOnTheBottomEdge) {
    add(std::vector<std::int32_t>(2048, 0), true);
    for (const bool log : {false, true}) {
        image.fill(Qt::gray);
        config.plot.logScale = log ? 1 : 0;
        paint();
        const PixelRect r = view.plotRect;
        const BluePixels b = blue({r.left - 3, r.bottom - 3, r.right + 3, r.bottom + 3});
        EXPECT_GT(b.inside, r.right - r.left) << log;
        EXPECT_EQ(b.outside, 0) << log;
    }

    // A visible range of one channel, as the list pane may redraw before the next clamp.
    config.plot.firstChannel = config.plot.lastChannel = 100;
    {
        QPainter painter(&image);
        plot.drawHistogramCurve(painter, view, config, *list.currentHistogram(), 0, true);
    }

    // Nothing marked: only the pane is cleared.
    list.toggleMark(0);
    image.fill(Qt::gray);
    paint();
    EXPECT_EQ(image.pixel(400, 300), qRgb(255, 255, 255));
    EXPECT_EQ(blue(kPane).inside, 0);
}

} // namespace
} // namespace kv
