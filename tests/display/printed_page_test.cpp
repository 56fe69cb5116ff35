#include "display/printed_page.h"

#include "display/view_fixture.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

class PrintedPageTest : public test::ViewFixture {
protected:
    PlotPainter plot;
    QImage image{800, 600, QImage::Format_RGB32};

    void SetUp() override {
        for (int k = 0; k < 2; ++k) {
            std::vector<std::int32_t> channels(64);
            channels[static_cast<std::size_t>(10 + k)] = 50;
            add(channels, true);
        }
        config.plot.showSelectedOnly = 0;
    }

    std::optional<PixelRect> print(const PixelRect& rect, const std::vector<std::string>& rows) {
        QPainter painter(&image);
        return drawPrintedPage(painter, plot, rect, view, config, list, rows);
    }
};

TEST_F(PrintedPageTest, MakesRoomForTheFoundLinesAtTheLeft) {
    const PixelRect rect{100, 50, 700, 450};
    const auto plain = print(rect, {});
    ASSERT_TRUE(plain);
    EXPECT_EQ(view.plotRect, PixelRect{}) << "the screen's view is left as it was";

    const auto withTable = print(rect, {"  661.66 |     12.50 (Cs-137)"});
    ASSERT_TRUE(withTable);
    // 31 digits of the table font (a ninth of an inch high) and 2 pixels.
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(image.logicalDpiY() / 9);
    const int shift = 31 * QFontMetrics(font, &image).horizontalAdvance(QLatin1Char('0')) + 2;
    EXPECT_EQ(withTable->left - plain->left, shift);
    EXPECT_EQ(withTable->right, plain->right);
}

// On a printer the curve keeps the thickness it has on a screen rather than shrinking to a hairline
// of the printer's dots.
TEST_F(PrintedPageTest, CurvesKeepTheirScreenThicknessAtPrinterResolution) {
    list.clearList();
    std::vector<std::int32_t> spike(64);
    spike[32] = 50;
    add(spike, true);
    const auto strokeWidths = [this](int dpi) {
        image.fill(Qt::white);
        const int dotsPerMetre = static_cast<int>(dpi / 0.0254 + 0.5);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        const auto plotted = print({0, 0, 800, 600}, {});
        // Across the middle of the spike: its rising and its falling stroke.
        const int y = (plotted->top + plotted->bottom) / 2;
        const int width = plotted->right - plotted->left;
        int dark = 0;
        for (int x = plotted->left + width * 30 / 63; x < plotted->left + width * 34 / 63; ++x) {
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
        return dark;
    };
    const int screen = strokeWidths(96);
    EXPECT_LE(screen, 3);
    EXPECT_GE(strokeWidths(480), 4 * screen);
}

} // namespace
} // namespace kv
