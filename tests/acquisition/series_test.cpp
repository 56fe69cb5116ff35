#include "acquisition/series.h"

#include "acquisition/report_log.h"
#include "acquisition/run_fakes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kv {
namespace {

using test::FakeAnalyser;
using test::FakeHost;
using test::finishRun;

std::string fileText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::readBytes(path);
    return {bytes.begin(), bytes.end()};
}

// Runs an X-ray series of `cycles` exposures 0.05 s apart to its end or, given a time, aborts it
// then.
void runXray(FakeHost& host, std::int32_t count, double exposure, int cycles, bool expanded,
             int abortAfterMs = 0) {
    FakeAnalyser io;
    io.count = count;
    AppConfig config;
    config.series.xrayExposure = exposure;
    config.series.seriesInterval = 0.05;
    config.series.seriesMaxCount = cycles;
    config.countWindows.expandedResult = expanded ? 1 : 0;
    RunController controller;
    ASSERT_TRUE(controller.start([&](RunFlags& flags) { runXraySeries(io, host, flags, config); })
                    .started());
    if (abortAfterMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(abortAfterMs));
        controller.abort();
    }
    finishRun(controller, abortAfterMs > 0 ? 2.0 : 15.0);
}

struct CyclicFixture : ::testing::Test {
    test::TempDir dir;
    FakeAnalyser io;
    FakeHost host;
    AppConfig config;
    RunController controller;

    void startSeries(std::uint8_t oneFile) {
        config.textExport.exportOneFile = oneFile;
        config.series.cycleCount = 3;
        config.series.triggerPort = 2;
        config.series.startOnHighLevel = 1;
        config.textExport.textAutoSave = 1;
        config.textExport.exportPath = dir.path("run.txt");
        host.config = config;
        ASSERT_TRUE(controller
                        .start([this, job = prepareCyclicSeries(config, host.list, "Co", "first")](
                                   RunFlags& flags) mutable {
                            runCyclicSeries(io, host, flags, std::move(job));
                        })
                        .started());
        io.setTrigger(true); // idle until the worker waits for its first edge
    }
};

TEST_F(CyclicFixture, TriggeredCyclesAreListedAndWrittenToNumberedFiles) {
    startSeries(0);
    for (int i = 0; i < 3; ++i) { // each cycle: the line goes high-level (bit 7 falls), then back
        io.setTrigger(false);
        io.setTrigger(true, i < 2);
    }
    finishRun(controller);

    ASSERT_EQ(host.list.histogramCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i + 1), name = "Co000" + n;
        EXPECT_EQ(host.list.histogramAt(i)->name.view(), " " + n + ". " + name);
        EXPECT_EQ(host.list.histogramAt(i)->kind, kKindMeasured);
        const std::string head =
            name + "\r\n" + (i == 0 ? "first" : "") + "\r\n       1\t1.0000E+00";
        EXPECT_TRUE(fileText(dir.path("run000" + n + ".txt")).starts_with(head)) << n;
    }
    EXPECT_EQ(host.counts, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(host.countOf("save"), 1);
    EXPECT_EQ(host.countOf("export"), 0);
    EXPECT_EQ(io.statusPortsRead, std::vector<std::uint16_t>{0x279});
}

TEST_F(CyclicFixture, AbortKeepsTheCompletedCyclesAndExportsThemAsOneFile) {
    config.textExport.exportNames = 0;
    startSeries(1);
    io.setTrigger(false);
    io.setTrigger(true);
    io.setTrigger(false); // the second cycle is counting
    controller.abort();
    finishRun(controller);

    ASSERT_EQ(host.list.histogramCount(), 1);
    EXPECT_EQ(host.list.histogramAt(0)->name.view(), " 1. Co0001");
    EXPECT_EQ(host.events.back(), "export");
    EXPECT_EQ(host.countOf("save"), 1);
    EXPECT_TRUE(
        fileText(dir.path("run.txt")).starts_with("   Канал\t         1\r\n       1\t1.0000E+00"));
    // Aborted while waiting for the end edge: the analyser is left counting.
    EXPECT_NE(io.controlWrites.back(), 0);
}

TEST(CycleTextFile, NumberedPathsSplitAtTheLastDotAfterEverySeparator) {
    EXPECT_EQ(numberedExportPath("spectrum.dat", 2), "spectrum0002.dat");
    EXPECT_EQ(numberedExportPath("/data/run.txt", 1), "/data/run0001.txt");
    EXPECT_EQ(numberedExportPath("/old.data/run", 1), "/old.data/run0001");
    EXPECT_EQ(numberedExportPath("C:\\old.data\\run", 12), "C:\\old.data\\run0012");
}

TEST(XraySeries, KeepsItsPeriodAndColoursEveryTenthLine) {
    FakeHost host;
    runXray(host, 100, 0.2, 10, false);

    ASSERT_EQ(host.lines.size(), 10u);
    for (std::size_t k = 0; k < host.lines.size(); ++k) {
        const std::string& text = host.lines[k].text;
        EXPECT_NEAR(std::atof(text.substr(0, 7).c_str()), 0.25 * k, 0.02) << text;
        EXPECT_EQ(text.substr(7), "        1.000        1.000");
        EXPECT_EQ(host.lines[k].colour, k == 0 ? kReportRed : k == 9 ? kReportBlue : kReportBlack);
        if (k > 0) {
            const double apart =
                std::chrono::duration<double>(host.lines[k].at - host.lines[k - 1].at).count();
            EXPECT_NEAR(apart, 0.25, 0.05);
        }
    }
    EXPECT_EQ(host.counts, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(host.events, std::vector<std::string>{"close"}); // nothing listed or saved
}

TEST(XraySeries, FailedEvaluationIsRedAndAnAbortStillReportsTheMeasurement) {
    FakeHost host;
    runXray(host, 0, 5.0, 3, true, 100);

    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0].text, "  0.000            0            0            0 Не определено");
    EXPECT_EQ(host.lines[0].colour, kReportRed);
    EXPECT_TRUE(host.counts.empty());
    EXPECT_EQ(host.events, std::vector<std::string>{"close"});
}

} // namespace
} // namespace kv
