// The cyclic series, the X-ray measurement and the X-ray series from the main window on the
// simulated analyser, each through its own dialogs and progress window.

#include "acquisition/ui/measurement_fixture.h"

#include "acquisition/count_windows.h"
#include "acquisition/ui/autosave_options_dialog.h"
#include "acquisition/ui/cyclic_dialog.h"
#include "acquisition/ui/series_progress_window.h"
#include "acquisition/ui/xray_dialogs.h"
#include "model/histogram_file.h"

#include <QComboBox>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kv {
namespace {

using namespace std::chrono_literals;
using test::answer;
using test::answerNext;
using test::click;
using test::MeasurementFixture;
using test::type;

std::string firstLineOf(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

struct SeriesFlow : MeasurementFixture {
    SeriesFlow() {
        // The third window where the simulated Cs-137 spectrum counts well over 2 a second.
        state.config.countWindows.windowLower[2] = 300;
        state.config.countWindows.windowUpper[2] = 400;
    }
    std::vector<ReportLine> reportLines() const { return state.reportLog.snapshot(); }
    SeriesProgressWindow* seriesProgress() {
        return dynamic_cast<SeriesProgressWindow*>(state.windows.find(WindowKind::RunProgress));
    }
};

TEST_F(SeriesFlow, CyclicSeriesListsAndWritesEachCycleAndAStopKeepsThem) {
    // LPT2's line: each cycle counts during the 300 ms the bit reads 0.
    analyser->setTriggerPattern(1, 100ms, 300ms);
    answer<CyclicDialog>(*window, Command::CyclicMeasurement, [&](CyclicDialog& dialog) {
        using C = CyclicDialog::Control;
        type(dialog, C::Name, "Co");
        type(dialog, C::Comment, "first");
        type(dialog, C::CycleCount, "3");
        static_cast<QComboBox*>(dialog.control(C::Port))->setCurrentIndex(1);
        click(dialog, C::StartOnHigh);
        answerNext<AutoSaveOptionsDialog>([&](AutoSaveOptionsDialog& options) {
            using O = AutoSaveOptionsDialog::Control;
            static_cast<QAbstractButton*>(options.control(O::SaveHistograms))->setChecked(true);
            static_cast<QAbstractButton*>(options.control(O::SaveText))->setChecked(true);
            EXPECT_TRUE(options.control(O::TextPath)->isEnabled());
            type(options, O::HistogramPath, home.path("cycles.hst").c_str());
            type(options, O::TextPath, home.path("cycle.txt").c_str());
            click(options, O::FilePerCycle);
            click(options, O::Ok);
        });
        click(dialog, C::AutoSaveOptions);
        click(dialog, C::Start);
    });
    ASSERT_NE(seriesProgress(), nullptr);
    EXPECT_EQ(state.config.series.cycleCount, 3);
    EXPECT_EQ(state.config.series.triggerPort, 1);
    EXPECT_FALSE(state.document.documentUntitled);

    // Two cycles counted; then the line stays low, so the third never ends, and "Прервать".
    ASSERT_TRUE(waitFor([&] { return state.list.histogramCount() == 2; }));
    analyser->setTriggerBit(1, false);
    auto* count =
        static_cast<QLineEdit*>(seriesProgress()->control(SeriesProgressWindow::Control::Count));
    ASSERT_TRUE(waitFor([&] { return count->text() == "2"; }));
    click(*seriesProgress(), SeriesProgressWindow::Control::Abort);
    EXPECT_EQ(seriesProgress(), nullptr);
    ASSERT_TRUE(waitForRunEnd());

    ASSERT_EQ(state.list.histogramCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const Histogram& cycle = *state.list.histogramAt(i);
        EXPECT_EQ(cycle.name.view(),
                  " " + std::to_string(i + 1) + ". Co000" + std::to_string(i + 1));
        EXPECT_NEAR(cycle.exposure, 0.3, 0.1);
        EXPECT_GT(cycle.total, 0u);
        // Each cycle's own text file, named and numbered, written before the list renumbered it.
        EXPECT_EQ(firstLineOf(home.path("cycle000" + std::to_string(i + 1) + ".txt")),
                  "Co000" + std::to_string(i + 1) + "\r");
    }
    EXPECT_EQ(state.list.histogramAt(0)->comment.view(), "first");
    EXPECT_FALSE(std::filesystem::exists(home.path("cycle0003.txt")));
    // Saved into the file the options named, without a dialog.
    EXPECT_TRUE(ui.saveDialogs.empty());
    const ParsedHistogramFile file = parseHistogramFile(test::readBytes(home.path("cycles.hst")));
    EXPECT_EQ(file.histograms.size(), 2u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SeriesFlow, XrayMeasurementListsAnXraySpectrumAndReportsItsCountWindows) {
    answer<XrayDialog>(*window, Command::XrayMeasurement, [&](XrayDialog& dialog) {
        using C = XrayDialog::Control;
        type(dialog, C::Name, "Xr");
        type(dialog, C::Exposure, "0.5");
        static_cast<QAbstractButton*>(dialog.control(C::AutoSave))->setChecked(false);
        click(dialog, C::Ok);
    });
    EXPECT_TRUE(state.windows.isOpen(WindowKind::ReportLog));
    EXPECT_NE(progressWindow(), nullptr);
    ASSERT_TRUE(waitForRunEnd());

    ASSERT_EQ(state.list.histogramCount(), 1);
    const Histogram& xray = *state.list.histogramAt(0);
    EXPECT_EQ(xray.name.view(), " 1. Xr");
    EXPECT_EQ(xray.kind, kKindXray);
    EXPECT_NEAR(xray.exposure, 0.5, 0.05);
    EXPECT_EQ(state.config.series.xrayExposure, 0.5);

    const CountWindowResult result = evaluateCountWindows(xray, state.config.countWindows);
    ASSERT_TRUE(result.evaluated());
    const std::vector<ReportLine> lines = reportLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, measurementReportLine(result, true));
    EXPECT_EQ(lines[0].text.size(), 20u + 4 * 13);
    EXPECT_EQ(lines[0].colour, reportColour(kReportMagenta));
}

TEST_F(SeriesFlow, XraySeriesReportsEachExposureAtItsPeriodAndStopsOnRequest) {
    state.config.countWindows.autoShiftWindows = 0;
    const auto startSeries = [&](const char* maxCount) {
        answer<XraySeriesDialog>(*window, Command::XraySeries, [&](XraySeriesDialog& dialog) {
            using C = XraySeriesDialog::Control;
            type(dialog, C::Exposure, "0.2");
            type(dialog, C::Interval, "0.1");
            type(dialog, C::MaxCount, maxCount);
            click(dialog, C::Ok);
        });
    };
    startSeries("4");
    EXPECT_TRUE(state.windows.isOpen(WindowKind::ReportLog));
    ASSERT_NE(seriesProgress(), nullptr);
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(seriesProgress(), nullptr);

    std::vector<ReportLine> lines = reportLines();
    ASSERT_EQ(lines.size(), 4u);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        SCOPED_TRACE(lines[k].text);
        EXPECT_EQ(lines[k].text.size(), 7u + 5 * 13);
        // Started on the period from the first start, never earlier.
        EXPECT_GE(std::strtod(lines[k].text.substr(0, 7).c_str(), nullptr), 0.3 * k - 0.0005);
        EXPECT_EQ(lines[k].colour, reportColour(k == 0 ? kReportRed : kReportBlack));
    }
    EXPECT_EQ(lines[0].text.substr(0, 7), "  0.000");
    EXPECT_TRUE(state.list.empty()); // a series keeps no histogram
    EXPECT_EQ(state.config.series.seriesMaxCount, 4);

    // A third window outside the spectrum counts nothing: every line says so, in red, and the
    // count of evaluated measurements stays 0. A stop ends the long series.
    state.config.countWindows.windowLower[2] = 3000;
    state.config.countWindows.windowUpper[2] = 3100;
    startSeries("100000");
    ASSERT_TRUE(waitFor([&] { return reportLines().size() >= 6; }));
    auto* count =
        static_cast<QLineEdit*>(seriesProgress()->control(SeriesProgressWindow::Control::Count));
    EXPECT_EQ(count->text(), "0");
    click(*seriesProgress(), SeriesProgressWindow::Control::Abort);
    ASSERT_TRUE(waitForRunEnd());
    lines = reportLines();
    ASSERT_LT(lines.size(), 100u);
    for (std::size_t k = 4; k < lines.size(); ++k) {
        EXPECT_NE(lines[k].text.find(" Не определено"), std::string::npos) << lines[k].text;
        EXPECT_EQ(lines[k].colour, reportColour(kReportRed));
    }
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace kv
