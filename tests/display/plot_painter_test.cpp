#include "display/plot_painter.h"

#include "display/view_fixture.h"

#include "model/histogram_file.h"
#include "platform/files.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>
#include <utility>
#include <vector>

namespace kv {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

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
    EXPECT_NEAR(b.minY, mapToPixel(view, config.plot, peakChannel, *peak, 1.0, curves).y, 3);
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
        plot.drawHistogramCurve(painter, view, config.plot, *list.currentHistogram(), 0, true);
    }

    // Nothing marked: only the pane is cleared.
    list.toggleMark(0);
    image.fill(Qt::gray);
    paint();
    EXPECT_EQ(image.pixel(400, 300), qRgb(255, 255, 255));
    EXPECT_EQ(blue(kPane).inside, 0);
}

TEST_F(PlotPainterTest, ARangeBeyondTheSpectrumIsDrawnAsItHasChannelsAndLeftAsStored) {
    std::vector<std::int32_t> ramp(100);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::int32_t>(i);
    }
    add(ramp, true);
    // {first, last, whether the curve shows}: beyond both ends, reversed, past the spectrum.
    for (const auto& [first, last, shown] :
         {std::tuple{-5, 5000, true}, {90, 10, false}, {200, 300, false}}) {
        showRange(first, last);
        const PlotSettings stored = config.plot;
        image.fill(Qt::gray);
        paint();
        EXPECT_EQ(config.plot, stored) << first << ".." << last;
        const PixelRect r = view.plotRect;
        const BluePixels b = blue({r.left - 3, r.top - 3, r.right + 3, r.bottom + 3});
        EXPECT_EQ(b.inside > 0, shown) << first << ".." << last;
        EXPECT_EQ(b.outside, 0) << first << ".." << last;
    }
}

// A paint device that keeps the texts drawn on it and drops everything else, so a test can
// read the labels the painter wrote.
class TextRecorder : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &m_engine; }
    const std::vector<QString>& texts() const { return m_engine.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
            return kPane.right;
        case PdmHeight:
            return kPane.bottom;
        case PdmWidthMM:
            return kPane.right * 254 / 960;
        case PdmHeightMM:
            return kPane.bottom * 254 / 960;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override {
            texts.push_back(item.text());
        }
        Type type() const override { return User; }

        std::vector<QString> texts;
    };
    mutable Engine m_engine;
};

TEST_F(PlotPainterTest, IntensityLimitLabelsShowLowRatesWithDigitsThatDiffer) {
    std::vector<std::int32_t> counts(2048, 0);
    counts[100] = 35; // 0.35 counts per second over 100 s
    add(counts, true, 35, 100.0);
    config.plot.fromZero = 1;
    config.plot.roundRange = 0;
    // Every text the paint draws, each between bars.
    const auto texts = [&] {
        TextRecorder device;
        QPainter painter(&device);
        plot.paintPlotPane(painter, kPane, view, config, list);
        std::string joined = "|";
        for (const QString& text : device.texts()) {
            joined += text.toStdString() + "|";
        }
        return joined;
    };
    config.plot.yAxisMode = 1;
    EXPECT_THAT(texts(), AllOf(HasSubstr("|0.00|"), HasSubstr("|0.35|")));
    config.plot.roundRange = 1; // up to 0.4
    EXPECT_THAT(texts(), AllOf(HasSubstr("|0.00|"), HasSubstr("|0.40|")));

    // Counts keep whole numbers, and so do rates of ten and more per second.
    config.plot.yAxisMode = 0;
    config.plot.roundRange = 0;
    EXPECT_THAT(texts(), AllOf(HasSubstr("|0|"), HasSubstr("|35|")));
    list.histogramAt(0)->exposure = 2.0; // 17.5 per second
    config.plot.yAxisMode = 1;
    EXPECT_THAT(texts(), AllOf(HasSubstr("|0|"), HasSubstr("|18|")));
}

} // namespace
} // namespace kv
