#include "analysis/line_search.h"

#include "fitting/synthetic_spectra.h"
#include "model/app_config.h"
#include "model/cp1251.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv {
namespace {

struct Line {
    double area;
    double centre;
    double sigma;
};

// A noise-free spectrum: a falling continuum and Gaussian lines.
Histogram spectrumWith(const std::vector<Line>& lines, int size = 2048, double continuum = 2000) {
    Histogram h;
    h.channels.resize(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        double value = continuum * std::exp(-i / 600.0);
        for (const Line& line : lines) {
            value += test::gauss(i, line.area, line.centre, line.sigma);
        }
        h.channels[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(value);
    }
    h.exposure = 100;
    h.total = sumChannels(h, 0, size - 1);
    return h;
}

AppConfig linearCalibration() {
    AppConfig config;
    config.energyCalibration.channelScale = 2048;
    config.energyCalibration.termCount = 2;
    config.energyCalibration.coefficients = {10.0, 0.5, 0, 0, 0}; // keV = 10 + 0.5 channel
    return config;
}

TEST(ContinuumRemoval, FlatSpectrumLeavesZerosAndPeaksStandOut) {
    ChannelFilter filter;
    std::vector<std::int32_t> flat(300, 40);
    subtractContinuum(flat, 15, 4, filter);
    EXPECT_EQ(flat, std::vector<std::int32_t>(300, 0));

    Histogram h = spectrumWith({{5000, 150, 2}}, 300, 0);
    subtractContinuum(h.channels, 15, 4, filter);
    EXPECT_GT(h.channels[150], 900);
    EXPECT_EQ(h.channels[20], 0);

    std::vector<std::int32_t> untouched = {5, -3, 8};
    subtractContinuum(untouched, 0, 0, filter);
    EXPECT_EQ(untouched, (std::vector<std::int32_t>{0, 0, 0}))
        << "no filter: all of it is continuum";
}

LineSearchResult search(const Histogram& h, const AppConfig& config = linearCalibration()) {
    return searchLines(h, config.lineSearch, config.energyCalibration);
}

TEST(LineSearch, FindsEachLineWithItsEnergyAndRateAndNothingOnAFlatSpectrum) {
    const std::vector<Line> truth = {{20000, 300.3, 2.5}, {8000, 700.6, 3.0}, {15000, 1200.2, 3.5}};
    const auto result = search(spectrumWith(truth));
    ASSERT_EQ(result.lines.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        const FoundLine& found = result.lines.lines()[k];
        EXPECT_NEAR(found.position, truth[k].centre, 0.1) << k;
        EXPECT_NEAR(found.energy, 10 + 0.5 * found.position, 1e-9) << k;
        // The median passes leave part of a wide peak in the continuum: areas come out low,
        // the more so the wider the peak against the rejection radius.
        EXPECT_LT(found.rate, truth[k].area / 100) << k;
        EXPECT_GT(found.rate, 0.8 * truth[k].area / 100) << k;
    }
    EXPECT_TRUE(result.foundAny);
    EXPECT_EQ(result.lastPeak.centre, result.lines.lines().back().position);

    Histogram flat;
    flat.channels.assign(2048, 500);
    const auto none = search(flat, AppConfig{});
    EXPECT_TRUE(none.lines.size() == 0 && !none.foundAny);
}

TEST(LineSearch, ResultHoldsTheFittedPeaksOnlyAndTheRawSpectrumWhenContinuumIsKept) {
    AppConfig config = linearCalibration();
    const Histogram h = spectrumWith({{20000, 300.3, 2.5}});
    const auto removed = search(h, config);
    ASSERT_EQ(removed.lines.size(), 1u);
    EXPECT_EQ(removed.peaks[280], 0) << "beyond 4 sigma of the peak";
    EXPECT_EQ(removed.peaks[320], 0);
    EXPECT_GT(removed.peaks[300], 2500);
    EXPECT_EQ(removed.level.size() + removed.fitted.size(), 2u * 2048);
    config.lineSearch.removeContinuum = 0;
    const auto kept = search(h, config);
    ASSERT_EQ(kept.lines.size(), 1u) << "still found on the continuum-free probe";
    EXPECT_GT(kept.fitted[1000], 0) << "the raw continuum is in what was fitted";
}

TEST(LineSearch, PeakAsWideAsTheLimitIsRejectedAndAHundredLinesEndTheSearch) {
    AppConfig config = linearCalibration();
    const Histogram h = spectrumWith({{20000, 500.4, 3.0}});
    config.lineSearch.maxPeakWidth = 2.36 * search(h, config).lastPeak.sigma;
    EXPECT_EQ(search(h, config).lines.size(), 0u);
    config.lineSearch.maxPeakWidth = std::nextafter(config.lineSearch.maxPeakWidth, 100.0);
    EXPECT_EQ(search(h, config).lines.size(), 1u);

    std::vector<Line> many;
    for (int k = 0; k < 150; ++k) {
        many.push_back({3000, 20.0 + 13.5 * k, 1.5});
    }
    const auto result = search(spectrumWith(many));
    EXPECT_TRUE(result.tooManyPeaks);
    EXPECT_EQ(result.lines.size(), 100u);
}

TEST(LineSearchCommand, AddsTheDiagnosticHistogramsAfterTheSearchedOne) {
    DocumentState state;
    HistogramList list(state);
    auto h = std::make_unique<Histogram>(spectrumWith({{20000, 300.3, 2.5}}));
    h->name.assign("Cs");
    list.addHistogram(std::move(h));
    list.addHistogram(std::make_unique<Histogram>(spectrumWith({})));
    const Histogram& searched = *list.histogramAt(0);
    const AppConfig config = linearCalibration();
    LineSearchResult result = searchLines(searched, config.lineSearch, config.energyCalibration);
    const LineSearchResult expected = result;
    addDiagnosticHistograms(list, searched, config.lineSearch, result);
    ASSERT_EQ(list.histogramCount(), 5);
    EXPECT_EQ(list.currentIndex(), 4);
    EXPECT_EQ(utf8FromCp1251(list.histogramAt(2)->comment.view()), "Оригинал");
    EXPECT_EQ(utf8FromCp1251(list.histogramAt(3)->comment.view()), "Уровень");
    EXPECT_EQ(utf8FromCp1251(list.histogramAt(4)->comment.view()), "Результат");
    EXPECT_EQ(list.histogramAt(2)->channels, expected.fitted);
    EXPECT_EQ(list.histogramAt(3)->channels, expected.level);
    EXPECT_EQ(list.histogramAt(4)->channels, expected.peaks);
    for (int k = 2; k <= 4; ++k) {
        const Histogram& added = *list.histogramAt(k);
        EXPECT_EQ(added.total, sumChannels(added, 0, 2047)) << k << ": its own integral";
    }
    EXPECT_NE(list.histogramAt(4)->total, searched.total);
    EXPECT_EQ(list.histogramAt(4)->name.str(), " 5. Cs") << "a copy of the searched one";

    AppConfig none = config;
    none.lineSearch.showOriginal = none.lineSearch.showLevel = none.lineSearch.showResult = 0;
    addDiagnosticHistograms(list, searched, none.lineSearch, result);
    EXPECT_EQ(list.histogramCount(), 5);
}

TEST(LineSearch, StopsWhenAskedAndSaysSo) {
    const Histogram h = spectrumWith({{20000, 300.3, 2.5}, {20000, 900.7, 2.5}});
    const AppConfig config = linearCalibration();
    const std::atomic<bool> stop{true};
    const LineSearchResult stopped =
        searchLines(h, config.lineSearch, config.energyCalibration, stop);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.lines.size(), 0u);

    const std::atomic<bool> go{false};
    const LineSearchResult whole = searchLines(h, config.lineSearch, config.energyCalibration, go);
    EXPECT_FALSE(whole.stopped);
    EXPECT_EQ(whole.lines.size(), 2u);
}

TEST(PeakExtraction, AddsTheContinuumFreeCopy) {
    DocumentState state;
    HistogramList list(state);
    list.addHistogram(std::make_unique<Histogram>(spectrumWith({{20000, 300.3, 2.5}})));
    Histogram* copy = extractPeaks(list, LineSearchSettings{});
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(list.currentHistogram(), copy);
    EXPECT_EQ(utf8FromCp1251(copy->comment.view()), "Континуум удален");
    EXPECT_EQ(copy->total, sumChannels(*copy, 0, 2047));
    EXPECT_LT(std::abs(copy->channels[1500]), 3);
}

} // namespace
} // namespace kv
