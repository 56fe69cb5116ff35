#include "acquisition/series.h"

#include "acquisition/report_log.h"
#include "acquisition/run_fakes.h"
#include "model/text_export.h"
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

struct CyclicFixture : ::testing::Test {
    test::TempDir dir;
    FakeAnalyser io;
    FakeHost host;
    AppConfig config;
    RunController controller;

    void startSeries(int cycles) {
        config.cycleCount = cycles;
        config.triggerPort = 2;
        config.startOnHighLevel = 1;
        config.textAutoSave = 1;
        config.exportPath = dir.path("run.txt");
        host.config = config;
        CyclicJob job = prepareCyclicSeries(config, host.list, "Co", "first");
        ASSERT_TRUE(controller
                        .start([this, job = std::move(job)](RunFlags& flags) mutable {
                            runCyclicSeries(io, host, flags, std::move(job));
                        })
                        .started());
        io.setTrigger(true); // idle until the worker waits for its first edge
    }

    // One cycle: the line goes high-level (bit 7 falls to 0), then back.
    void pulse(bool last = false) {
        io.setTrigger(false);
        io.setTrigger(true, !last);
    }
};

TEST_F(CyclicFixture, TriggeredCyclesAreListedAndWrittenToNumberedFiles) {
    config.exportOneFile = 0;
    startSeries(3);
    for (int i = 0; i < 3; ++i) {
        pulse(i == 2);
    }
    finishRun(controller);

    ASSERT_EQ(host.list.histogramCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const std::string name = "Co000" + std::to_string(i + 1);
        EXPECT_EQ(host.list.histogramAt(i)->name.view(), " " + std::to_string(i + 1) + ". " + name);
        EXPECT_EQ(host.list.histogramAt(i)->kind, kKindMeasured);
        const std::string text = fileText(dir.path("run000" + std::to_string(i + 1) + ".txt"));
        const std::string head =
            name + "\r\n" + (i == 0 ? "first" : "") + "\r\n       1\t1.0000E+00\r\n";
        EXPECT_EQ(text.substr(0, head.size()), head);
    }
    EXPECT_EQ(host.list.histogramAt(1)->comment.view(), "");
    EXPECT_EQ(host.counts, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(host.countOf("save"), 1);
    EXPECT_EQ(host.countOf("close"), 1);
    EXPECT_EQ(host.countOf("export"), 0);
    EXPECT_EQ(io.statusPortsRead, std::vector<std::uint16_t>{0x279});
    EXPECT_EQ(config.lastName, "Co");
}

TEST_F(CyclicFixture, AbortKeepsTheCompletedCyclesAndExportsThemAsOneFile) {
    config.exportOneFile = 1;
    config.exportNames = 0;
    startSeries(3);
    pulse();
    io.setTrigger(false); // the second cycle is counting
    controller.abort();
    finishRun(controller);

    ASSERT_EQ(host.list.histogramCount(), 1);
    EXPECT_EQ(host.list.histogramAt(0)->name.view(), " 1. Co0001");
    EXPECT_EQ(host.requests().back(), "export");
    EXPECT_EQ(host.countOf("save"), 1);
    const std::string head = "   Канал\t         1\r\n       1\t1.0000E+00\r\n";
    EXPECT_EQ(fileText(dir.path("run.txt")).substr(0, head.size()), head);
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
    FakeAnalyser io;
    io.count = 100;
    FakeHost host;
    AppConfig config;
    config.xrayExposure = 0.2;
    config.seriesInterval = 0.05;
    config.seriesMaxCount = 10;
    config.expandedResult = 0;
    RunController controller;
    ASSERT_TRUE(controller.start([&](RunFlags& flags) { runXraySeries(io, host, flags, config); })
                    .started());
    finishRun(controller);

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
    EXPECT_EQ(host.requests(), std::vector<std::string>{"close"});
    EXPECT_TRUE(host.list.empty());
}

TEST(XraySeries, FailedEvaluationIsRedAndAnAbortStillReportsTheMeasurement) {
    FakeAnalyser io;
    io.count = 0;
    FakeHost host;
    AppConfig config;
    config.xrayExposure = 5.0;
    config.seriesMaxCount = 3;
    RunController controller;
    ASSERT_TRUE(controller.start([&](RunFlags& flags) { runXraySeries(io, host, flags, config); })
                    .started());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    controller.abort();
    finishRun(controller, 2.0);

    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0].text, "  0.000            0            0            0 Не определено");
    EXPECT_EQ(host.lines[0].colour, kReportRed);
    EXPECT_TRUE(host.counts.empty());
    EXPECT_EQ(host.countOf("close"), 1);
}

} // namespace
} // namespace kv
