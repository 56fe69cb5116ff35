#include "fitting/peak_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace kv {
namespace {

constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();

struct Line {
    double height;
    double centre;
    double sigma;
};

Histogram spectrum(int size, std::vector<Line> lines, double level = 0.0) {
    Histogram h;
    h.channels.resize(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        double value = level;
        for (const Line& l : lines) {
            value += l.height * std::exp(-std::pow((i - l.centre) / l.sigma, 2) / 2);
        }
        h.channels[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(std::lround(value));
    }
    return h;
}

TEST(PeakSearch, StepsByHalfTheRangeAndEvaluatesPolynomialsFromPowerOne) {
    for (const auto& [range, step] : std::vector<std::pair<int, int>>{
             {0, 1}, {1, 1}, {3, 1}, {4, 2}, {5, 2}, {40, 20}, {-9, 1}}) {
        EXPECT_EQ(peakSearchStep(range), step) << range;
    }
    EXPECT_EQ(evaluatePolynomial(2.0, std::vector<double>{1, 2, 3}), 17.0);
    EXPECT_EQ(evaluatePolynomial(1e300, std::vector<double>{4}), 4.0) << "x^0 is 1, not x";
    EXPECT_EQ(evaluatePolynomial(5.0, {}), 0.0);
}

TEST(PeakSearch, LocalFitRecoversAGaussianOrSaysWhyNot) {
    const Histogram h = spectrum(256, {{10000, 100.3, 3}});
    const LocalPeakOutcome fit = fitLocalPeak(h.channels, 95, 8, 40);
    ASSERT_TRUE(fit.found());
    EXPECT_NEAR(fit.peak.centre, 100.3, 1e-3);
    EXPECT_NEAR(fit.peak.sigma, 3.0, 1e-3);
    EXPECT_NEAR(fit.peak.area, 10000 * 3 * std::sqrt(2 * M_PI), 20);

    const Histogram ones = spectrum(256, {{1, 100, 30}});
    const Histogram valley = spectrum(256, {{-5000, 100, 5}}, 10000);
    const Histogram slope = spectrum(256, {{30000, 300, 40}});
    for (const auto& [counts, start, range, status] :
         std::vector<std::tuple<const Histogram*, int, int, LocalPeakStatus>>{
             {&h, 95, 1, LocalPeakStatus::WindowTooNarrow},
             {&h, 95, 8, LocalPeakStatus::Found},
             {&h, kMinInt, kMaxInt, LocalPeakStatus::WindowTooNarrow},
             {&h, 5000, 40, LocalPeakStatus::WindowTooNarrow},
             {&ones, 100, 40, LocalPeakStatus::NoMaximum},
             {&valley, 100, 10, LocalPeakStatus::NoMaximum},
             {&slope, 240, 10, LocalPeakStatus::CentreOutside}}) {
        EXPECT_EQ(fitLocalPeak(counts->channels, start, range, 40).status, status)
            << start << " " << range;
    }
    EXPECT_EQ(fitLocalPeak(h.channels, 95, 8, 2.9).status, LocalPeakStatus::TooWide);

    // Narrow windows far from channel 0 (absolute channel numbers made these look singular).
    const Histogram far = spectrum(16384, {{10000, 15000.4, 2}});
    const LocalPeakOutcome narrow = fitLocalPeak(far.channels, 14999, 3, 40);
    ASSERT_TRUE(narrow.found());
    EXPECT_NEAR(narrow.peak.centre, 15000.4, 1e-3);
}

TEST(PeakSearch, FindsEachPeakOnceAndDrawsOnlyItsGaussian) {
    Histogram h = spectrum(512, {{10000, 100.3, 3}, {5000, 300.6, 4}});
    h.kind = kKindArithmetic;
    h.comment.assign("source");
    h.total = 777;
    h.exposure = 12.5;
    // Neighbouring starts reach the same peak; it must be drawn once, not once per start.
    ASSERT_TRUE(fitLocalPeak(h.channels, 98, 4, 40).found());
    ASSERT_TRUE(fitLocalPeak(h.channels, 102, 4, 40).found());
    for (const auto& [range, found] :
         std::vector<std::pair<int, std::size_t>>{{0, 0}, {1, 0}, {3, 2}, {4, 2}, {12, 2}}) {
        const PeakSearchResult r = findPeaks(h, 0, 511, {range, 40.0});
        ASSERT_EQ(r.peaks.size(), found) << range;
        std::vector<std::int32_t> expected(512);
        for (const LocalPeak& p : r.peaks) {
            drawLocalPeak(expected, p);
        }
        EXPECT_EQ(r.histogram.channels, expected) << range;
        EXPECT_FALSE(r.stoppedAtCapacity);
        Histogram header = r.histogram;
        header.channels = h.channels;
        EXPECT_EQ(header, h) << "the whole header is the source's";
        if (found == 2) {
            EXPECT_NEAR(r.peaks[0].centre, 100.3, 0.02) << range;
            EXPECT_NEAR(r.peaks[1].centre, 300.6, 0.02) << range;
        }
    }
}

TEST(PeakSearch, DrawingIsClippedAtTheFirstAndLastChannel) {
    for (const auto& [centre, sigma, first, last] :
         std::vector<std::tuple<double, double, int, int>>{
             {1.0, 2.0, 0, 7}, {8.5, 2.0, 2, 9}, {4.5, 0.5, 3, 6}, {-20, 2, 10, -1}}) {
        std::vector<std::int32_t> channels(10);
        drawLocalPeak(channels, {1e4, centre, sigma});
        for (int k = 0; k < 10; ++k) {
            EXPECT_EQ(channels[static_cast<std::size_t>(k)] > 0, k >= first && k <= last)
                << centre << " channel " << k;
        }
    }
    const Histogram edges = spectrum(64, {{8000, 1.0, 2}, {8000, 62.0, 2}});
    const PeakSearchResult r = findPeaks(edges, 0, 63, {6, 40.0});
    ASSERT_EQ(r.peaks.size(), 2u);
    EXPECT_GT(r.histogram.channels.front(), 0);
    EXPECT_GT(r.histogram.channels.back(), 0);
}

TEST(PeakSearch, ExtremeInputStaysBoundedAndInRange) {
    std::vector<std::int32_t> channels{kMaxInt - 5, 0};
    drawLocalPeak(channels, {1e300, 0.0, 1.0});
    EXPECT_EQ(channels, (std::vector<std::int32_t>{kMaxInt, kMaxInt})) << "sums saturate";

    // Every integer is a start with step 1; only those near the spectrum can find anything.
    const Histogram h = spectrum(300, {{9000, 1.5, 2}, {9000, 150.2, 3}, {9000, 297.5, 2}});
    const PeakSearchResult wide = findPeaks(h, kMinInt, kMaxInt, {3, 40.0});
    const PeakSearchResult near = findPeaks(h, -10, 310, {3, 40.0});
    EXPECT_EQ(wide.histogram.channels, near.histogram.channels);
    EXPECT_EQ(wide.peaks.size(), near.peaks.size());
    EXPECT_TRUE(findPeaks(h, 200, 100, {3, 40.0}).peaks.empty()) << "reversed boundaries";

    // A log-cosine ripple of period R / 2 puts a vertex at every start of a wide window, far
    // more than the table holds: the first 1024 are kept and drawn, then the search ends.
    Histogram ripple;
    ripple.channels.resize(1 << 17);
    for (std::size_t i = 0; i < ripple.channels.size(); ++i) {
        ripple.channels[i] =
            static_cast<std::int32_t>(std::lround(1e4 * std::exp(-0.1 * std::cos(i * M_PI / 50))));
    }
    const PeakSearchResult full = findPeaks(ripple, 0, (1 << 17) - 1, {200, 1e9});
    ASSERT_EQ(full.peaks.size(), kMaxAcceptedPeaks);
    EXPECT_TRUE(full.stoppedAtCapacity);
    const LocalPeak& last = full.peaks.back();
    const auto reach = static_cast<std::ptrdiff_t>(last.centre + 3 * last.sigma);
    EXPECT_GT(full.histogram.channels[static_cast<std::size_t>(reach)], 0);
    EXPECT_TRUE(std::all_of(full.histogram.channels.begin() + reach + 1,
                            full.histogram.channels.end(), [](std::int32_t c) { return c == 0; }))
        << "nothing drawn after the 1024th";
}

// The result's header is the source's (above); the command lists it even with no peak found.
TEST(PeakSearch, CommandListsTheResultEvenWhenEmpty) {
    DocumentState state;
    HistogramList list(state);
    PlotSettings plot;
    EXPECT_FALSE(runPeakSearch(list, plot, {}).has_value());
    list.setChannelCount(512);
    list.addHistogram(std::make_unique<Histogram>(spectrum(512, {{10000, 100.3, 3}})));
    state.documentSaved = true;
    plot.firstChannel = 0, plot.lastChannel = 511;
    for (const auto& [range, found] : std::vector<std::pair<int, std::size_t>>{{1, 0}, {8, 1}}) {
        list.setCurrentIndex(0);
        const auto result = runPeakSearch(list, plot, {range, 40.0});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->peaks.size(), found);
        EXPECT_EQ(list.currentIndex(), list.histogramCount() - 1);
        EXPECT_EQ(list.currentHistogram()->name.view(), (found ? " 3. " : " 2. "));
        EXPECT_EQ(list.currentHistogram()->channels[100] > 0, found > 0);
    }
    EXPECT_FALSE(state.documentSaved);
}

} // namespace
} // namespace kv
