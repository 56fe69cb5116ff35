#include "acquisition/measurement.h"

#include "acquisition/report_log.h"
#include "acquisition/run_fakes.h"
#include "acquisition/simulated_analyser.h"

#include <gtest/gtest.h>

#include <system_error>

namespace kv {
namespace {

using test::finishRun;
using test::SteadyClock;

double secondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// An analyser, a host and a controller for one run.
struct Bench {
    test::FakeAnalyser io;
    test::FakeHost host;
    AppConfig config;
    RunController controller;

    MeasurementJob timed(double seconds) {
        return prepareMeasurement(config, Histogram{}, "Co-60", "shelf 2", seconds, 300, true);
    }
    void start(MeasurementJob job, PortIo* other = nullptr) {
        PortIo& port = other != nullptr ? *other : io;
        ASSERT_TRUE(controller
                        .start([&port, this, job = std::move(job)](RunFlags& flags) mutable {
                            runMeasurement(port, host, flags, std::move(job));
                        })
                        .started());
    }
};

TEST(Measurement, InterimReadOutListsOnceAndIsNotCountedAsExposure) {
    Bench b;
    b.io.growth = 1; // the resume after the read-out counts 2 per channel
    b.host.addDelay = std::chrono::milliseconds(300);
    const auto begun = SteadyClock::now();
    b.start(b.timed(2.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    b.controller.requestReadOut();
    finishRun(b.controller);

    EXPECT_NEAR(secondsSince(begun), 2.3, 0.25); // the read-out's 0.3 s came on top
    ASSERT_EQ(b.host.list.histogramCount(), 1);
    const Histogram& listed = *b.host.list.histogramAt(0);
    EXPECT_EQ(listed.kind, kKindMeasured);
    EXPECT_EQ(listed.name.view(), " 1. Co-60");
    EXPECT_NEAR(listed.exposure, 2.0, 0.05);
    EXPECT_EQ(b.host.listedTotals, std::vector<std::uint32_t>{2048});
    EXPECT_EQ(listed.total, 2u * 2048);
    EXPECT_EQ(b.host.events, (std::vector<std::string>{"add", "repaint", "update", "redraw",
                                                       "close", "repaint", "save"}));
    EXPECT_FALSE(b.host.state.documentSaved);
    // Stop, start; then stop twice per read-out, with the command again to resume.
    EXPECT_EQ(b.io.controlWrites, (std::vector<std::uint8_t>{0, 0x2B, 0, 0, 0x2B, 0, 0}));
    EXPECT_EQ(b.config.analyser.lastName, "Co-60");
}

TEST(Measurement, AbortKeepsTheElapsedSpectrumAndStillSaves) {
    Bench b;
    const auto begun = SteadyClock::now();
    b.start(b.timed(10.0));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    b.controller.abort();
    finishRun(b.controller);

    EXPECT_NEAR(secondsSince(begun), 1.0, 0.2);
    ASSERT_EQ(b.host.list.histogramCount(), 1);
    EXPECT_EQ(b.host.list.histogramAt(0)->kind, kKindMeasured | kMarkedBit);
    EXPECT_NEAR(b.host.list.histogramAt(0)->exposure, 1.0, 0.1);
    EXPECT_EQ(b.host.events, (std::vector<std::string>{"add", "close", "repaint", "save"}));
}

TEST(Measurement, XrayRunReportsItsCountWindowsInMagenta) {
    const struct {
        std::int32_t count;
        std::uint8_t expanded;
        std::string line;
    } cases[] = {{100, 0, "               1.000               1.000"},
                 {0, 1, "                   0            0            0 Не определено"}};
    for (const auto& c : cases) {
        Bench b;
        b.io.count = c.count;
        b.config.series.xrayExposure = 0.05;
        b.config.analyser.autoSave = 0;
        b.config.countWindows.expandedResult = c.expanded;
        b.start(prepareXrayMeasurement(b.config, Histogram{}, "X", ""));
        finishRun(b.controller);

        EXPECT_EQ(b.host.list.histogramAt(0)->kind, kKindXray);
        ASSERT_EQ(b.host.lines.size(), 1u);
        EXPECT_EQ(b.host.lines[0].text, c.line);
        EXPECT_EQ(b.host.lines[0].colour, kReportMagenta);
        EXPECT_EQ(b.host.countOf("save"), 0);
    }
}

TEST(Measurement, SoftwareGatingPulsesBetweenStartAndStopOnly) {
    Bench b;
    b.config.analyser.gatingMode = 2;
    b.config.analyser.coincidenceMode = 0;
    b.config.analyser.autoSave = 0;
    b.start(b.timed(0.02));
    finishRun(b.controller);

    const std::vector<std::uint8_t>& writes = b.io.controlWrites;
    ASSERT_GT(writes.size(), 10u);
    EXPECT_EQ(writes[1], 0x15);
    EXPECT_TRUE(std::all_of(writes.begin() + 2, writes.end() - 2,
                            [](std::uint8_t v) { return v == kSoftwareGateByte; }));
    EXPECT_EQ(b.config.analyser.internalGating, 0);
}

TEST(Measurement, SimulatedAnalyserCountsAtItsRateForTheExposure) {
    SimulatedAnalyser io(SimulationOptions{{Source::Cs137}, Detector::NaI, 20000.0});
    Bench b;
    b.start(prepareMeasurement(b.config, Histogram{}, "Cs", "", 0.25, 0, false), &io);
    finishRun(b.controller);
    EXPECT_NEAR(b.host.list.histogramAt(0)->total, 5000.0, 1000.0);
}

TEST(Measurement, ExposureMillisecondsAreTruncatedAndBounded) {
    const std::pair<double, std::uint32_t> cases[] = {
        {2.5, 2500u}, {0.0019, 1u}, {-3.0, 0u}, {std::nan(""), 0u}, {1e12, UINT32_MAX}};
    for (const auto& [seconds, ms] : cases) {
        EXPECT_EQ(exposureMilliseconds(seconds), ms) << seconds;
    }
}

TEST(RunController, RefusesASecondRunAndReportsAThreadThatCouldNotStart) {
    RunController controller;
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};
    const auto work = [&](RunFlags& flags) {
        while (!release.load() && flags.abort.load() == 0) {
            std::this_thread::yield();
        }
        ++runs;
    };
    for (int round = 0; round < 2; ++round) {
        release = false;
        ASSERT_TRUE(controller.start(work).started());
        EXPECT_EQ(controller.start(work).status, StartStatus::Busy);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // In the second round: the abort finishRun gave the first run was cleared.
        EXPECT_TRUE(controller.running());
        release = true;
        finishRun(controller);
    }
    EXPECT_EQ(runs.load(), 2);

    RunController failing([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    const StartOutcome outcome = failing.start(work);
    EXPECT_EQ(outcome.status, StartStatus::ThreadFailed);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_FALSE(failing.running());
}

} // namespace
} // namespace kv
