#include "acquisition/series.h"

#include "acquisition/report_log.h"
#include "acquisition/run_fakes.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <numeric>
#include <string>

namespace kv {
namespace {

using namespace std::chrono_literals;

// A cyclic series of three cycles on LPT3, started while the line is high-level (bit 7 falls)
// and its exposure timed on the test's clock; the trigger line changes when the test says.
struct CyclicFixture : ::testing::Test {
    test::TempDir dir;
    test::ManualClock clock;
    test::FakeAnalyser io;
    test::FakeHost host{clock};
    AppConfig config;
    RunFlags flags;

    // Bit 7 of the status port goes to level at the given time on the clock.
    void triggerAt(std::chrono::milliseconds at, bool level) {
        clock.after(at, [this, level] { io.trigger = level; });
    }
    void runSeries(std::uint8_t oneFile, std::int32_t cycles = 3) {
        config.textExport.exportOneFile = oneFile;
        config.series.cycleCount = cycles;
        config.series.triggerPort = 2;
        config.series.startOnHighLevel = 1;
        config.textExport.textAutoSave = 1;
        config.textExport.exportPath = dir.path("run.txt");
        host.config = config;
        CyclicJob job = prepareCyclicSeries(
            config.analyser, config.series,
            {config.textExport, config.plot, config.energyCalibration}, host.list, "Co", "first");
        runCyclicSeries(io, clock, host, flags, std::move(job));
    }
};

TEST_F(CyclicFixture, TriggeredCyclesAreListedWithTheirExposuresAndWrittenToNumberedFiles) {
    // Each cycle counts while bit 7 is 0: 500, 250 and 100 ms.
    for (const auto& [from, to] : {std::pair{100ms, 600ms}, {1000ms, 1250ms}, {2000ms, 2100ms}}) {
        triggerAt(from, false);
        triggerAt(to, true);
    }
    runSeries(0);

    ASSERT_EQ(host.list.histogramCount(), 3);
    const double exposures[] = {0.5, 0.25, 0.1};
    for (int i = 0; i < 3; ++i) {
        const Histogram& cycle = *host.list.histogramAt(i);
        const std::string n = std::to_string(i + 1), name = "Co000" + n;
        EXPECT_EQ(cycle.name.view(), " " + n + ". " + name);
        EXPECT_EQ(cycle.kind, kKindMeasured);
        EXPECT_EQ(cycle.exposure, exposures[i]) << n;
        const std::string head =
            name + "\r\n" + (i == 0 ? "first" : "") + "\r\n       1\t1.0000E+00";
        EXPECT_TRUE(test::readText(dir.path("run000" + n + ".txt")).starts_with(head)) << n;
    }
    EXPECT_EQ(host.counts, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(host.countOf("save"), 1);
    EXPECT_EQ(host.countOf("export"), 0);
    EXPECT_EQ(host.closedAt, 2101ms); // the last end edge and the read-out's settle
    EXPECT_EQ(io.statusPortsRead, std::vector<std::uint16_t>{0x279});
}

TEST_F(CyclicFixture, AbortKeepsTheCompletedCyclesAndExportsThemAsOneFile) {
    config.textExport.exportNames = 0;
    triggerAt(100ms, false);
    triggerAt(600ms, true);
    triggerAt(1000ms, false); // the second cycle is counting
    clock.after(1200ms, [this] { flags.abort = 1; });
    // Far more cycles than memory could hold: records are made as the cycles come.
    runSeries(1, std::numeric_limits<std::int32_t>::max());

    ASSERT_EQ(host.list.histogramCount(), 1);
    EXPECT_EQ(host.list.histogramAt(0)->name.view(), " 1. Co0001");
    EXPECT_EQ(host.events.back(), "export");
    EXPECT_EQ(host.countOf("save"), 1);
    EXPECT_EQ(host.closedAt, 1200ms);
    EXPECT_TRUE(test::readText(dir.path("run.txt"))
                    .starts_with("   Канал\t         1\r\n       1\t1.0000E+00"));
    // Aborted while waiting for the end edge: the analyser is left counting.
    EXPECT_NE(io.controlWrites.back(), 0);
}

TEST(CycleTextFile, NumberedPathsSplitAtTheLastDotAfterEverySeparator) {
    EXPECT_EQ(numberedExportPath("spectrum.dat", 2), "spectrum0002.dat");
    EXPECT_EQ(numberedExportPath("/data/run.txt", 1), "/data/run0001.txt");
    EXPECT_EQ(numberedExportPath("/old.data/run", 1), "/old.data/run0001");
    EXPECT_EQ(numberedExportPath("C:\\old.data\\run", 12), "C:\\old.data\\run0012");
}

// Runs an X-ray series of exposures interval seconds apart on the clock; with abortAt, aborts it
// then.
void runXray(test::ManualClock& clock, test::FakeHost& host, std::int32_t count, double exposure,
             int cycles, bool expanded, std::chrono::milliseconds abortAt = 0ms,
             double interval = 0.05) {
    test::FakeAnalyser io;
    io.count = count;
    XraySeriesJob job;
    job.series.xrayExposure = exposure;
    job.series.seriesInterval = interval;
    job.series.seriesMaxCount = cycles;
    job.countWindows.expandedResult = expanded ? 1 : 0;
    RunFlags flags;
    if (abortAt > 0ms) {
        clock.after(abortAt, [&flags] { flags.abort = 1; });
    }
    runXraySeries(io, clock, host, flags, job);
}

std::string elapsedColumn(double seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%7.3f", seconds);
    return text;
}

TEST(XraySeries, StartsEveryPeriodFromTheFirstAndColoursEveryTenthLine) {
    const struct {
        const char* what;
        std::chrono::nanoseconds start;
        std::chrono::milliseconds reportTakes;
        int cycles;
        double interval;
        std::chrono::milliseconds period; // from one start to the next
    } cases[] = {
        {"on time", 0ns, 0ms, 10, 0.05, 250ms},
        {"across the tick counter's wrap", test::beforeTickWrap(300ms), 0ms, 3, 0.05, 250ms},
        // Exposure, settle and report take 601 ms: each next one starts at once.
        {"overrun", 0ns, 400ms, 3, 0.05, 601ms},
        // 3 x (0.2 + 0.5) s falls a little under 2.1 s in binary: the fourth start is at 2100 ms.
        {"a period binary cannot hold", 0ns, 0ms, 4, 0.5, 700ms},
    };
    for (const auto& c : cases) {
        test::ManualClock clock(c.start);
        test::FakeHost host(clock);
        host.reportTakes = c.reportTakes;
        runXray(clock, host, 100, 0.2, c.cycles, false, 0ms, c.interval);

        ASSERT_EQ(host.lines.size(), static_cast<std::size_t>(c.cycles)) << c.what;
        for (int k = 0; k < c.cycles; ++k) {
            const test::FakeHost::Line& line = host.lines[static_cast<std::size_t>(k)];
            const std::chrono::nanoseconds started = k * c.period;
            EXPECT_EQ(line.text, elapsedColumn(std::chrono::duration<double>(started).count()) +
                                     "        1.000        1.000")
                << c.what;
            // Reported after the 200 ms exposure and the read-out's 1 ms settle.
            EXPECT_EQ(line.at - c.start, started + 201ms) << c.what << " " << k;
            EXPECT_EQ(line.colour, k == 0 ? kReportRed : k == 9 ? kReportBlue : kReportBlack);
        }
        std::vector<int> counts(static_cast<std::size_t>(c.cycles));
        std::iota(counts.begin(), counts.end(), 1);
        EXPECT_EQ(host.counts, counts) << c.what;
        EXPECT_EQ(host.events, std::vector<std::string>{"close"}); // nothing listed or saved
    }
}

// The series the command-line tool runs unattended: one exposure started late (its predecessor's
// report held up) does not move the starts after it, and N exposures at period P end at N x P.
TEST(XraySeries, ALateExposureLeavesTheLaterStartsAndTheEndOnThePeriod) {
    test::ManualClock clock;
    test::FakeHost host(clock);
    // The first report takes 700 ms: the second exposure, due at 500 ms, starts at 801 ms.
    clock.after(50ms, [&host] { host.reportTakes = 700ms; });
    clock.after(850ms, [&host] { host.reportTakes = 0ms; });
    runXray(clock, host, 100, 0.1, 4, false, 0ms, 0.4); // period 0.1 + 0.4 s

    ASSERT_EQ(host.lines.size(), 4u);
    const std::chrono::milliseconds reported[] = {101ms, 902ms, 1101ms, 1601ms};
    const char* elapsed[] = {"  0.000", "  0.801", "  1.000", "  1.500"};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(host.lines[k].at, reported[k]) << k;
        EXPECT_EQ(host.lines[k].text.substr(0, 7), elapsed[k]) << k;
    }
    EXPECT_EQ(host.closedAt, 4 * 500ms);
}

TEST(XraySeries, FailedEvaluationIsRedAndAnAbortStillReportsTheMeasurement) {
    test::ManualClock clock;
    test::FakeHost host(clock);
    runXray(clock, host, 0, 5.0, 3, true, 100ms);

    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0].text, "  0.000            0            0            0 Не определено");
    EXPECT_EQ(host.lines[0].colour, kReportRed);
    EXPECT_EQ(host.lines[0].at, 101ms); // read out at the abort
    EXPECT_TRUE(host.counts.empty());
    EXPECT_EQ(host.events, std::vector<std::string>{"close"});
}

} // namespace
} // namespace kv
