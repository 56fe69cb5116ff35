// "Параметры счетных окон" from the main window: the access dialog, the limits from the cursor
// and typed, the bands over the plot, Cancel and OK, and the X-ray legend.

#include "acquisition/ui/measurement_fixture.h"

#include "acquisition/count_windows.h"
#include "acquisition/ui/access_dialog.h"
#include "acquisition/ui/count_window_parameters.h"
#include "display/cursor.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace kv {
namespace {

using test::MeasurementFixture;
using C = CountWindowParametersWindow::Control;

struct CountWindowFlow : MeasurementFixture {
    CountWindowFlow() {
        // One count in every channel over 1 s, so each window of 101 channels counts 101 a
        // second, and a high shelf from channel 1500 on that keeps the curve low on the left.
        auto xray = std::make_unique<Histogram>();
        xray->channels.assign(2048, 1);
        std::fill(xray->channels.begin() + 1500, xray->channels.end(), 1000);
        xray->total = sumChannels(*xray, 0, 2047);
        xray->exposure = 1.0;
        xray->kind = kKindXray;
        state.list.addHistogram(std::move(xray));
        state.config.plot.firstChannel = 0;
        state.config.plot.lastChannel = 2047;
    }

    void openWithCode(const char* code) {
        test::answer<AccessDialog>(*window, Command::CountWindowParameters,
                                   [code](AccessDialog& access) {
                                       test::type(access, AccessDialog::Control::Code, code);
                                       access.command(AccessDialog::Control::Ok);
                                   });
    }
    CountWindowParametersWindow* parameters() {
        return dynamic_cast<CountWindowParametersWindow*>(
            state.windows.find(WindowKind::CountWindowParameters));
    }
    QLineEdit* field(C id) { return static_cast<QLineEdit*>(parameters()->control(id)); }
    void click(C id) { static_cast<QAbstractButton*>(parameters()->control(id))->click(); }
    void type(std::initializer_list<std::pair<C, const char*>> values) {
        for (const auto& [id, text] : values) {
            field(id)->setText(text);
        }
    }
    const CountWindowSettings& settings() const { return state.config.countWindows; }

    // The plot as the pane paints it, with the overlays of the open windows and the legend.
    QImage paintPlot() {
        QImage image(820, 520, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780); // 96 per inch
        image.setDotsPerMeterY(3780);
        QPainter painter(&image);
        std::vector<const PlotOverlay*> overlays = state.windows.overlays();
        const XrayLegend legend;
        overlays.insert(overlays.begin(), &legend);
        PlotPainter().paintPlotPane(painter, PixelRect{0, 0, 820, 520}, state.plotView,
                                    state.config, state.list, overlays);
        return image;
    }
    int column(std::int32_t channel) const {
        const PixelRect& r = state.plotView.plotRect;
        return r.left + channel * (r.right - r.left) / 2047;
    }
};

TEST_F(CountWindowFlow, AccessCodeThenLimitsFromTheCursorAndTypedDrawnAsBands) {
    openWithCode("qxz"); // the code is case-sensitive
    EXPECT_EQ(parameters(), nullptr);
    openWithCode("QXZ");
    ASSERT_NE(parameters(), nullptr);
    EXPECT_EQ(field(C::LowerLimit1)->text(), "1");
    EXPECT_EQ(field(C::ReferenceChannel)->text(), "601");
    // Given once, the code is not asked again; the open window is the one 405 brings up.
    CountWindowParametersWindow* first = parameters();
    expectNoDialog([&] { window->dispatch(Command::CountWindowParameters); });
    EXPECT_EQ(parameters(), first);

    // The cursor sets limits only once 132 is unticked. The upper limit of window 2 set below
    // its lower one: the two change places.
    state.plotView.cursorFraction = 151.0 / 2047;
    window->dispatch(Command::CursorLeft);
    EXPECT_EQ(settings().windowUpper[1], 300);
    click(C::CursorLocked);
    click(C::Upper);
    click(C::Window2);
    window->dispatch(Command::CursorLeft);
    const std::int32_t cursor = cursorChannel(state.plotView, state.config.plot);
    ASSERT_LT(cursor, 200);
    EXPECT_EQ(settings().windowLower[1], cursor);
    EXPECT_EQ(settings().windowUpper[1], 200);
    EXPECT_EQ(field(C::UpperLimit1)->text(), "101");
    EXPECT_EQ(field(static_cast<C>(107))->text(), QString::number(cursor + 1));
    EXPECT_EQ(field(static_cast<C>(110))->text(), "201");

    // Cancel puts back the limits the window opened with.
    click(C::Cancel);
    EXPECT_EQ(parameters(), nullptr);
    EXPECT_EQ(settings().windowLower[1], 200);
    EXPECT_EQ(settings().windowUpper[1], 300);

    // Typed limits and reference, taken by "Обновить": the bands and the reference lines.
    window->dispatch(Command::CountWindowParameters);
    ASSERT_NE(parameters(), nullptr);
    type({{C::LowerLimit1, "101"},
          {static_cast<C>(107), "701"},
          {static_cast<C>(108), "1301"},
          {C::UpperLimit1, "301"},
          {static_cast<C>(110), "801"},
          {static_cast<C>(111), "1501"},
          {C::ReferenceChannel, "1001"},
          {C::ReferenceWidth, "200"}});
    click(C::Update);
    EXPECT_EQ(settings().windowLower, (std::array<std::int32_t, 3>{100, 700, 1300}));
    EXPECT_EQ(settings().windowUpper, (std::array<std::int32_t, 3>{300, 800, 1500}));
    EXPECT_EQ(settings().referenceChannel, 1000);

    const QImage plot = paintPlot();
    const int y = (state.plotView.plotRect.top + state.plotView.plotRect.bottom) / 2 + 7;
    // Each band inverts white with its colour; outside them the plot stays white; the fit
    // region's start, centre and end are black lines.
    EXPECT_EQ(plot.pixel(column(200), y), 0xffbfbfffu);
    EXPECT_EQ(plot.pixel(column(750), y), 0xffbfffbfu);
    EXPECT_EQ(plot.pixel(column(1400), y), 0xffffbfbfu);
    EXPECT_EQ(plot.pixel(column(550), y), 0xffffffffu);
    for (const std::int32_t line : {900, 1000, 1100}) {
        EXPECT_EQ(plot.pixel(column(line), y), 0xff000000u) << line;
    }
    plot.save(home.path("bands.png").c_str());
}

TEST_F(CountWindowFlow, TypedCoefficientsGiveTheResultsWorkedOutByHandAndTheLegendShowsThem) {
    state.countWindowsUnlocked = true;
    window->dispatch(Command::CountWindowParameters);
    ASSERT_NE(parameters(), nullptr);
    // K0 = 2, K1 = 0, K2 = 1 make C1 = 2X + 1; K3 = 1, K4 = K5 = 0 make C2 = Y.
    type({{C::K0, "2"},
          {static_cast<C>(122), "0"},
          {static_cast<C>(123), "1"},
          {static_cast<C>(124), "1"},
          {static_cast<C>(125), "0"},
          {static_cast<C>(126), "0"},
          {static_cast<C>(113), "1e999"}}); // out of range: P1 stays as it was
    click(C::AutoShift);
    EXPECT_FALSE(field(C::ReferenceChannel)->isEnabled());
    click(C::ExpandedResult);
    click(C::Ok);
    EXPECT_EQ(parameters(), nullptr);
    EXPECT_EQ(settings().autoShiftWindows, 0);
    EXPECT_EQ(settings().expandedResult, 0);
    EXPECT_EQ(settings().countCoefficients[1], 1.0);

    const CountWindowResult result = evaluateCountWindows(*state.list.histogramAt(0), settings());
    ASSERT_TRUE(result.evaluated());
    EXPECT_EQ(result.rates, (std::array<double, 3>{101, 101, 101}));
    // X = (N1 + P0 + N2 P1 + (N3 + P3) P2) / (N3 + P4) = 304 / 102;
    // Y = (N2 + P5 + (N3 + P6) P7) / (N3 P8) = 204 / 101.
    EXPECT_NEAR(result.c1, 2 * 304.0 / 102 + 1, 1e-12);
    EXPECT_NEAR(result.c2, 204.0 / 101, 1e-12);

    // The legend (C1 and C2 only, the short form) stands in the top left corner of an X-ray
    // spectrum shown alone, and nowhere else.
    const auto inkInCorner = [&](const QImage& plot) {
        const PixelRect& r = state.plotView.plotRect;
        int ink = 0;
        for (int x = r.left + 10; x < r.left + 120; ++x) {
            for (int y = r.top + 1; y < r.top + 40; ++y) {
                ink += qGray(plot.pixel(x, y)) < 128 ? 1 : 0;
            }
        }
        return ink;
    };
    EXPECT_GT(inkInCorner(paintPlot()), 20);
    state.list.histogramAt(0)->kind = kKindMeasured;
    EXPECT_EQ(inkInCorner(paintPlot()), 0);
}

} // namespace
} // namespace kv
