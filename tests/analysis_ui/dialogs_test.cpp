// The smoothing, peak extraction and search settings dialogs, opened by their commands and
// driven through their controls.

#include "analysis/channel_filter.h"
#include "analysis/line_search.h"
#include "analysis/ui/peak_extraction_dialog.h"
#include "analysis/ui/search_settings_dialog.h"
#include "analysis/ui/smoothing_dialog.h"
#include "analysis_ui_fixture.h"
#include "app/list_pane.h"
#include "model/cp1251.h"

#include <QSpinBox>
#include <QTabWidget>

#include <cstdint>
#include <vector>

namespace kv {
namespace {

using test::AnalysisWindows;

void setNumber(QWidget* upDown, int value) {
    static_cast<QSpinBox*>(upDown)->setValue(value);
}

// Counts with every channel different: a sloping background, two peaks and a ragged noise.
std::vector<std::int32_t> raggedSpectrum() {
    std::vector<std::int32_t> counts(600);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        const double x = static_cast<double>(i);
        counts[i] = static_cast<std::int32_t>(
            900 - x + 4000 * std::exp(-(x - 200) * (x - 200) / 18) +
            1500 * std::exp(-(x - 420) * (x - 420) / 50) + (noise >> 16) % 97);
    }
    return counts;
}

TEST_F(AnalysisWindows, SmoothingWithEachKindGivesTheFiltersChannels) {
    add(raggedSpectrum());
    const ChannelCounts source = state.list.currentHistogram()->channels;
    using C = SmoothingDialog::Control;
    struct Case {
        C kind;
        const char* sigma;
        int radius;
        FilterKind filter;
        double parameter;
    };
    for (const Case& c : {Case{C::Mean, "", 4, FilterKind::Mean, 4},
                          Case{C::Gauss, "2.5", 0, FilterKind::Gauss, 2.5},
                          Case{C::Mean, "", 0, FilterKind::Mean, 0}}) {
        state.list.setCurrentIndex(0);
        const int count = state.list.histogramCount();
        ASSERT_TRUE(withDialog<SmoothingDialog>(Command::Smoothing, [&](SmoothingDialog& dialog) {
            click(dialog.control(c.kind));
            // Only the kind's own parameter can be edited.
            EXPECT_EQ(dialog.control(C::Radius)->isEnabled(), c.kind == C::Mean);
            EXPECT_EQ(dialog.control(C::Sigma)->isEnabled(), c.kind == C::Gauss);
            if (c.kind == C::Mean) {
                setNumber(dialog.control(C::RadiusUpDown), c.radius);
            } else {
                type(dialog.control(C::Sigma), c.sigma);
            }
            click(dialog.control(C::Ok));
        }));
        ASSERT_EQ(state.list.histogramCount(), count + 1);
        ChannelCounts expected = source;
        filterChannels(expected, c.filter, c.parameter);
        const Histogram& smoothed = *state.list.currentHistogram();
        EXPECT_EQ(smoothed.channels, expected) << static_cast<int>(c.filter) << " " << c.parameter;
        EXPECT_EQ(utf8FromCp1251(smoothed.comment.view()), "Результат фильтрации");
        EXPECT_EQ(smoothed.total, sumChannels(smoothed, 0, 599));
        EXPECT_EQ(state.config.filters.smoothKind, static_cast<std::int32_t>(c.filter));
    }
    EXPECT_EQ(state.config.filters.smoothSigma, 2.5);
    EXPECT_EQ(state.config.filters.smoothRadius, 0);
    EXPECT_EQ(window.listPane().topLevelItemCount(), 4) << "the list pane shows the copies";

    // Cancel adds nothing and keeps the settings; help opens its topic.
    const FilterSettings before = state.config.filters;
    ASSERT_TRUE(withDialog<SmoothingDialog>(Command::Smoothing, [](SmoothingDialog& dialog) {
        EXPECT_EQ(static_cast<QSpinBox*>(dialog.control(C::Radius))->value(), 0);
        EXPECT_EQ(dialog.control(C::Heading)->property("text").toString(),
                  "Тип фильтра    Параметр фильтра");
        click(dialog.control(C::Gauss));
        setNumber(dialog.control(C::Radius), 9);
        click(dialog.control(C::Help));
        click(dialog.control(C::Cancel));
    }));
    EXPECT_EQ(state.list.histogramCount(), 4);
    EXPECT_EQ(state.config.filters, before);
    EXPECT_EQ(ui.helpContexts, std::vector{13});
}

TEST_F(AnalysisWindows, PeakExtractionTakesItsTwoRadiiAndSubtractsTheContinuum) {
    add(raggedSpectrum());
    using C = PeakExtractionDialog::Control;
    ASSERT_TRUE(
        withDialog<PeakExtractionDialog>(Command::ExtractPeaks, [](PeakExtractionDialog& dialog) {
            EXPECT_EQ(static_cast<QSpinBox*>(dialog.control(C::RejectRadius))->value(), 15);
            EXPECT_EQ(static_cast<QSpinBox*>(dialog.control(C::SmoothRadius))->value(), 4);
            setNumber(dialog.control(C::RejectRadiusUpDown), 9);
            setNumber(dialog.control(C::SmoothRadiusUpDown), 2);
            click(dialog.control(C::Ok));
        }));
    EXPECT_EQ(state.config.lineSearch.rejectRadius, 9);
    EXPECT_EQ(state.config.lineSearch.continuumSmoothRadius, 2);
    ASSERT_EQ(state.list.histogramCount(), 2);
    ChannelCounts expected = state.list.histogramAt(0)->channels;
    ChannelFilter filter;
    subtractContinuum(expected, 9, 2, filter);
    EXPECT_EQ(state.list.currentHistogram()->channels, expected);
    EXPECT_EQ(utf8FromCp1251(state.list.currentHistogram()->comment.view()), "Континуум удален");

    ASSERT_TRUE(
        withDialog<PeakExtractionDialog>(Command::ExtractPeaks, [](PeakExtractionDialog& dialog) {
            setNumber(dialog.control(C::RejectRadius), 1);
            click(dialog.control(C::Cancel));
        }));
    EXPECT_EQ(state.list.histogramCount(), 2);
    EXPECT_EQ(state.config.lineSearch.rejectRadius, 9);
}

TEST_F(AnalysisWindows, SearchSettingsWriteEveryFieldTheyShowAndKeepTheOthers) {
    add(raggedSpectrum());
    state.config.documentPath = "/somewhere/spectra.hst";
    state.config.identification.efficiencyCorrection = 1;
    state.config.filters.smoothRadius = 7;
    AppConfig expected = state.config;
    LineSearchSettings& s = expected.lineSearch;
    s.rejectRadius = 21, s.continuumSmoothRadius = 6, s.searchRadii = {11, 12, 13, 14, 15};
    s.levelFactor = 2.5, s.maxPeakWidth = 7.25, s.showOriginal = 0, s.showLevel = 0;
    s.searchTab = 3;
    IdentificationSettings& id = expected.identification;
    id.lineTolerance = 0.75, id.lineThreshold = 0.025, id.checkLines = 1, id.linesNeeded = 2;
    id.energyFrom = 40, id.energyTo = 1500;
    expected.restoreFromDataFile = 0;

    using S = SearchSettingsDialog;
    using P = S::PeaksControl;
    using I = S::IsotopesControl;
    ASSERT_TRUE(withDialog<S>(Command::SearchSettings, [](S& dialog) {
        auto* tabs = static_cast<QTabWidget*>(dialog.control(S::Control::Tabs));
        ASSERT_EQ(tabs->count(), 4);
        EXPECT_EQ(tabs->tabText(2), "Изотопы");
        EXPECT_EQ(tabs->currentIndex(), 0);
        EXPECT_TRUE(dialog.page(S::Page::Peaks)->isVisibleTo(&dialog));
        EXPECT_FALSE(dialog.page(S::Page::Calibrations)->isVisibleTo(&dialog));
        setNumber(dialog.control(P::RejectRadiusUpDown), 21);
        setNumber(dialog.control(P::ContinuumSmoothRadius), 6);
        for (int k = 0; k < 5; ++k) {
            setNumber(dialog.control(static_cast<P>(static_cast<int>(P::Radius1UpDown) + 2 * k)),
                      11 + k);
        }
        type(dialog.control(P::LevelFactor), "2.5");
        type(dialog.control(P::MaxPeakWidth), "7.25");
        click(dialog.control(S::PlotsControl::Original));
        click(dialog.control(S::PlotsControl::Level));
        tabs->setCurrentIndex(2);
        type(dialog.control(I::LineTolerance), "0.75");
        type(dialog.control(I::LineThreshold), "0.025");
        type(dialog.control(I::EnergyFrom), "40");
        type(dialog.control(I::EnergyTo), "1500.00");
        setNumber(dialog.control(I::LinesNeededUpDown), 2);
        tabs->setCurrentIndex(3);
        EXPECT_TRUE(dialog.page(S::Page::Calibrations)->isVisibleTo(&dialog));
        click(dialog.control(S::CalibrationsControl::FromConfiguration));
        click(dialog.control(S::Control::Ok));
    }));
    EXPECT_EQ(state.config, expected);
}

TEST_F(AnalysisWindows, SearchSettingsEnableRulesAndTheTabRememberedOnCancel) {
    add(raggedSpectrum());
    const AppConfig before = state.config;
    using S = SearchSettingsDialog;
    using P = S::PeaksControl;
    using I = S::IsotopesControl;
    ASSERT_TRUE(withDialog<S>(Command::SearchSettings, [](S& dialog) {
        // The continuum's radii follow "Удалять континуум", the check's fields "Проверка".
        EXPECT_TRUE(dialog.control(P::RejectRadius)->isEnabled());
        click(dialog.control(P::RemoveContinuum));
        EXPECT_FALSE(dialog.control(P::RejectRadius)->isEnabled());
        EXPECT_FALSE(dialog.control(P::ContinuumSmoothRadius)->isEnabled());
        EXPECT_TRUE(dialog.control(P::Radius1)->isEnabled());
        for (const I field : {I::EnergyFrom, I::EnergyTo, I::LinesNeeded}) {
            EXPECT_TRUE(dialog.control(field)->isEnabled());
        }
        click(dialog.control(I::CheckLines));
        for (const I field : {I::EnergyFrom, I::EnergyTo, I::LinesNeeded}) {
            EXPECT_FALSE(dialog.control(field)->isEnabled());
        }
        EXPECT_TRUE(dialog.control(I::LineTolerance)->isEnabled());
        static_cast<QTabWidget*>(dialog.control(S::Control::Tabs))->setCurrentIndex(1);
        click(dialog.control(S::Control::Help));
        click(dialog.control(S::Control::Cancel));
    }));
    AppConfig expected = before;
    expected.lineSearch.searchTab = 1;
    EXPECT_EQ(state.config, expected) << "cancelled: only the tab is remembered";
    EXPECT_EQ(ui.helpContexts, std::vector{15});

    // Without continuum removal OK leaves the continuum's radii as they were.
    ASSERT_TRUE(withDialog<S>(Command::SearchSettings, [](S& dialog) {
        EXPECT_EQ(static_cast<QTabWidget*>(dialog.control(S::Control::Tabs))->currentIndex(), 1);
        click(dialog.control(P::RemoveContinuum));
        setNumber(dialog.control(P::RejectRadius), 3);
        click(dialog.control(S::Control::Ok));
    }));
    EXPECT_EQ(state.config.lineSearch.removeContinuum, 0);
    EXPECT_EQ(state.config.lineSearch.rejectRadius, before.lineSearch.rejectRadius);
}

} // namespace
} // namespace kv
