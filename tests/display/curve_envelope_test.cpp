// Curves of many more channels than pixel columns are drawn through each column's envelope; the
// picture must be that of the lines between every two neighbouring channels.

#include "display/plot_painter.h"
#include "display/view_fixture.h"

#include <QImage>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QRegion>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kv {
namespace {

constexpr int kHeight = 300;

// Seeded spectra: a falling continuum with narrow and close peaks and counting noise, an empty
// stretch, and single channels far above the rest or at zero.
std::vector<std::int32_t> seededSpectrum(std::size_t channels, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::int32_t> counts(channels);
    const double n = static_cast<double>(channels);
    for (std::size_t c = 0; c < channels; ++c) {
        const double x = static_cast<double>(c) / n;
        double mean = x > 0.9 ? 0.0 : 4000.0 * std::exp(-6.0 * x) + 20.0;
        for (const double centre : {0.1, 0.33, 0.34, 0.7}) {
            mean += 30000.0 * std::exp(-std::pow((x - centre) / 0.004, 2));
        }
        counts[c] = mean > 0.0 ? std::poisson_distribution<std::int32_t>(mean)(random) : 0;
    }
    for (int k = 0; k < 40; ++k) {
        const auto c = std::uniform_int_distribution<std::size_t>(0, channels - 1)(random);
        counts[c] = k % 2 ? 0 : 200000;
    }
    return counts;
}

class CurveEnvelopeTest : public test::ViewFixture {
protected:
    PlotPainter painter;

    // What drawHistogramCurve draws of the current histogram in a plot of the given width.
    QImage drawn(int width, QImage::Format format = QImage::Format_RGB32,
                 const QRegion& clip = {}) {
        QImage image = blank(width, format);
        QPainter p(&image);
        p.setClipRegion(clip, clip.isEmpty() ? Qt::NoClip : Qt::ReplaceClip);
        painter.drawHistogramCurve(p, view, config.plot, *list.currentHistogram(), kNoMarker, true);
        return image;
    }

    // The lines between every two neighbouring visible channels, each drawn on its own.
    QImage everyChannel(int width, std::int64_t first, std::int64_t last,
                        QImage::Format format = QImage::Format_RGB32, const QRegion& clip = {}) {
        const Histogram& h = *list.currentHistogram();
        const double scale = displayScale(h, yAxisMode(config.plot));
        const auto point = [&](std::int64_t c) {
            const PixelPoint p =
                mapToPixel(view, config.plot, static_cast<double>(c),
                           h.channels[static_cast<std::size_t>(c)] * scale, scale, view.plotRect);
            return QPoint(p.x, p.y);
        };
        std::vector<QLine> lines;
        for (std::int64_t c = first; c < last; ++c) {
            lines.emplace_back(point(c), point(c + 1));
        }
        QImage image = blank(width, format);
        QPainter p(&image);
        p.setClipRegion(clip, clip.isEmpty() ? Qt::NoClip : Qt::ReplaceClip);
        p.setPen(QPen(QColor::fromRgb(kHighlightRgb), 1));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
        return image;
    }

    static QImage blank(int width, QImage::Format format = QImage::Format_RGB32) {
        QImage image(width + 1, kHeight + 1, format);
        image.fill(Qt::white);
        return image;
    }
};

int differingPixels(const QImage& a, const QImage& b) {
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return differing;
}

// At any width, on either horizontal axis, in counts, intensity and probability, on linear and
// logarithmic scales, over the whole spectrum or part of it.
TEST_F(CurveEnvelopeTest, SetsThePixelsOfTheLinesBetweenEveryTwoChannels) {
    constexpr std::int32_t kChannels = 65536;
    add(seededSpectrum(kChannels, 7), true, 0, 600.0);
    Histogram& h = *list.currentHistogram();
    h.total = sumChannels(h, 0, kChannels - 1);
    for (const int width : {37, 211, 700, 1400}) {
        for (const auto& [first, last] : {std::pair{0, kChannels - 1}, std::pair{1000, 9000}}) {
            for (int mode = 0; mode < 12; ++mode) {
                showRange(first, last);
                config.plot.xAxisMode = mode % 2;
                config.plot.yAxisMode = mode / 2 % 3;
                config.plot.logScale = mode / 6;
                ASSERT_TRUE(computeVerticalRange(view, config.plot, list));
                view.plotRect = {0, 0, width, kHeight};
                const QImage envelope = drawn(width);
                const QImage full = everyChannel(width, first, last);
                ASSERT_NE(full, blank(width));
                EXPECT_EQ(differingPixels(envelope, full), 0)
                    << "width " << width << ", channels " << first << "-" << last << ", mode "
                    << mode;
            }
        }
    }
}

// Flat stretches, a spectrum of zeros, one count in the middle, a range reaching beyond the
// spectrum's channels, and spectra of other seeds and sizes.
TEST_F(CurveEnvelopeTest, FlatEmptyAndShortSpectraToo) {
    std::vector<std::pair<std::string, std::vector<std::int32_t>>> spectra;
    spectra.emplace_back("zeros", std::vector<std::int32_t>(5000, 0));
    spectra.emplace_back("one count", std::vector<std::int32_t>(5000, 0));
    spectra.back().second[2500] = 1;
    spectra.emplace_back("steps", std::vector<std::int32_t>(5000, 0));
    for (std::size_t c = 0; c < 5000; ++c) {
        spectra.back().second[c] = static_cast<std::int32_t>(c / 700 % 3);
    }
    for (unsigned seed = 1; seed <= 6; ++seed) {
        spectra.emplace_back("seed " + std::to_string(seed),
                             seededSpectrum(1000u + 3001u * seed, seed));
    }
    for (auto& [what, counts] : spectra) {
        const auto channels = static_cast<std::int32_t>(counts.size());
        list.clearList();
        add(counts, true, 1, 10.0);
        for (const int width : {50, 333, 999}) {
            for (const auto& [first, last] :
                 {std::pair{0, channels - 1}, std::pair{channels / 3, channels + 500}}) {
                showRange(first, last);
                config.plot.logScale = width % 2;
                if (!computeVerticalRange(view, config.plot, list)) {
                    continue;
                }
                view.plotRect = {0, 0, width, kHeight};
                EXPECT_EQ(differingPixels(drawn(width),
                                          everyChannel(width, first, std::min(last, channels - 1))),
                          0)
                    << what << ", width " << width << ", from " << first;
            }
        }
    }
}

// Into images of other pixel formats and through clipping, of one rectangle or more, the curve
// is the same as the lines drawn there.
TEST_F(CurveEnvelopeTest, AnyImageFormatAndClipping) {
    add(seededSpectrum(20000, 3), true, 1, 10.0);
    showRange(0, 19999);
    ASSERT_TRUE(computeVerticalRange(view, config.plot, list));
    constexpr int kWidth = 640;
    view.plotRect = {0, 0, kWidth, kHeight};
    const QRegion twoRects = QRegion(10, 20, 200, 250) + QRegion(300, 0, 100, 100);
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied,
                                        QImage::Format_ARGB32, QImage::Format_RGB888}) {
        for (const QRegion& clip : {QRegion(), QRegion(50, 30, 400, 200), twoRects}) {
            EXPECT_EQ(differingPixels(drawn(kWidth, format, clip),
                                      everyChannel(kWidth, 0, 19999, format, clip)),
                      0)
                << "format " << format << ", clip of " << clip.rectCount() << " rectangles";
        }
    }
}

} // namespace
} // namespace kv
