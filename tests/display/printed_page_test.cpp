#include "display/printed_page.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

class PrintedPageTest : public ::testing::Test {
protected:
    DocumentState document;
    HistogramList list{document};
    AppConfig config;
    PlotView view;
    PlotPainter plot;
    QImage image{800, 600, QImage::Format_RGB32};

    void SetUp() override {
        list.setChannelCount(64);
        for (int k = 0; k < 2; ++k) {
            auto h = list.newHistogram();
            h->channels[static_cast<std::size_t>(10 + k)] = 50;
            h->kind = kMarkedBit;
            list.addHistogram(std::move(h));
        }
        config.showSelectedOnly = 0;
        image.fill(Qt::white);
    }

    std::optional<PixelRect> print(const PixelRect& rect, const std::vector<std::string>& rows) {
        QPainter painter(&image);
        return drawPrintedPage(painter, plot, rect, view, config, list, rows);
    }

    // Whether any pixel outside rect is not white.
    bool drawsOutside(const PixelRect& r) const {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                if (!inside && image.pixel(x, y) != qRgb(255, 255, 255)) {
                    return true;
                }
            }
        }
        return false;
    }
};

TEST_F(PrintedPageTest, StaysInItsRectangleAndMakesRoomForTheFoundLines) {
    const PixelRect rect{100, 50, 700, 450};
    const auto plain = print(rect, {});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(drawsOutside(rect));
    EXPECT_EQ(view.plotRect, PixelRect{}) << "the screen's view is left as it was";

    image.fill(Qt::white);
    const auto withTable = print(rect, {"  661.66 |     12.50 (Cs-137)"});
    ASSERT_TRUE(withTable);
    EXPECT_FALSE(drawsOutside(rect));
    // 31 digits of the table font (a ninth of an inch high) and 2 pixels.
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(image.logicalDpiY() / 9);
    const int shift = 31 * QFontMetrics(font, &image).horizontalAdvance(QLatin1Char('0')) + 2;
    EXPECT_EQ(withTable->left - plain->left, shift);
    EXPECT_EQ(withTable->right, plain->right);
}

TEST_F(PrintedPageTest, SelectedOnlyTitleMovesThePlotDownAndNothingToShowDrawsNoPlot) {
    const PixelRect rect{0, 0, 800, 600};
    const auto marked = print(rect, {});
    config.showSelectedOnly = 1;
    const auto selected = print(rect, {});
    ASSERT_TRUE(marked && selected);
    EXPECT_GT(selected->top, marked->top);

    config.showSelectedOnly = 0;
    list.toggleMark(0);
    list.toggleMark(1);
    EXPECT_FALSE(print(rect, {}));
}

} // namespace
} // namespace kv
