// The peak search through its settings dialog.

#include "analysis_ui_fixture.h"
#include "fitting/ui/peak_search_dialog.h"

#include <cmath>
#include <vector>

namespace kv {
namespace {

using C = PeakSearchDialog::Control;

class PeakSearch : public test::AnalysisWindows {
protected:
    // Runs "Поиск пиков" with the fields typed, closing its dialog with button.
    bool search(const char* range, const char* sigmaMax, C button) {
        return withDialog<PeakSearchDialog>(Command::PeakSearch, [&](PeakSearchDialog& d) {
            type(d.control(C::Range), range);
            type(d.control(C::SigmaMax), sigmaMax);
            click(d.control(button));
        });
    }
};

TEST_F(PeakSearch, AddsTheGaussiansOfThePeaksFoundBetweenTheBoundaries) {
    // Two peaks on a level of 20: sigma 3 at channel 150, sigma 8 at channel 300.
    std::vector<std::int32_t> counts(512);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double x = static_cast<double>(i);
        counts[i] =
            static_cast<std::int32_t>(20.0 + 2000.0 * std::exp(-0.5 * std::pow((x - 150) / 3, 2)) +
                                      900.0 * std::exp(-0.5 * std::pow((x - 300) / 8, 2)));
    }
    add(counts);
    state.config.plot.firstChannel = 100;
    state.config.plot.lastChannel = 400;

    ASSERT_TRUE(search("10", "5", C::Cancel));
    EXPECT_EQ(state.list.histogramCount(), 1);
    EXPECT_EQ(state.peakSearch.searchRange, 40) << "Cancel keeps the settings";

    // The wider peak exceeds "Sigma Max" and is left out.
    ASSERT_TRUE(search("10", "5", C::Ok));
    ASSERT_EQ(state.list.histogramCount(), 2);
    const Histogram& found = *state.list.currentHistogram();
    const PeakSearchResult expected = findPeaks(*state.list.histogramAt(0), 100, 400, {10, 5.0});
    ASSERT_EQ(expected.peaks.size(), 1u);
    EXPECT_NEAR(expected.peaks[0].centre, 150.0, 0.1);
    EXPECT_EQ(found.channels, expected.histogram.channels);
    EXPECT_EQ(found.exposure, state.list.histogramAt(0)->exposure);

    // Opened again, the dialog shows what was set.
    ASSERT_TRUE(withDialog<PeakSearchDialog>(Command::PeakSearch, [](PeakSearchDialog& d) {
        EXPECT_EQ(textOf(d.control(C::Range)), "10");
        EXPECT_EQ(textOf(d.control(C::SigmaMax)), "5");
        click(d.control(C::Cancel));
    }));
}

} // namespace
} // namespace kv
