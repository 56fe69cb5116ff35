#include "acquisition/measurement.h"

#include "acquisition/report_log.h"
#include "acquisition/run_fakes.h"
#include "acquisition/simulated_analyser.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <system_error>

namespace kv {
namespace {

using test::FakeAnalyser;
using test::FakeHost;
using test::finishRun;
using test::SteadyClock;

double secondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

MeasurementJob timedJob(AppConfig& config, double exposureSeconds) {
    return prepareMeasurement(config, Histogram{}, "Co-60", "shelf 2", exposureSeconds, 300, true);
}

void start(RunController& controller, FakeAnalyser& io, FakeHost& host, MeasurementJob job) {
    ASSERT_TRUE(controller
                    .start([&io, &host, job = std::move(job)](RunFlags& flags) mutable {
                        runMeasurement(io, host, flags, std::move(job));
                    })
                    .started());
}

TEST(Measurement, InterimReadOutListsOnceAndIsNotCountedAsExposure) {
    FakeAnalyser io;
    io.growth = 1; // the resume after the read-out counts 2 per channel
    FakeHost host;
    host.addDelay = std::chrono::milliseconds(300);
    AppConfig config;
    RunController controller;
    const auto begun = SteadyClock::now();
    start(controller, io, host, timedJob(config, 2.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    controller.requestReadOut();
    finishRun(controller);

    EXPECT_NEAR(secondsSince(begun), 2.3, 0.25); // the read-out's 0.3 s came on top
    ASSERT_EQ(host.list.histogramCount(), 1);
    const Histogram& listed = *host.list.histogramAt(0);
    EXPECT_EQ(listed.kind, kKindMeasured);
    EXPECT_EQ(listed.name.view(), " 1. Co-60");
    EXPECT_NEAR(listed.exposure, 2.0, 0.05);
    EXPECT_EQ(host.listedTotals, std::vector<std::uint32_t>{2048});
    EXPECT_EQ(listed.total, 2u * 2048);
    EXPECT_EQ(host.requests(), (std::vector<std::string>{"add", "repaint", "update", "redraw",
                                                         "close", "repaint", "save"}));
    EXPECT_GT(host.countOf("progress"), 20);
    EXPECT_FALSE(host.state.documentSaved);
    // Stop, start; then stop twice per read-out, with the command again to resume.
    EXPECT_EQ(io.controlWrites, (std::vector<std::uint8_t>{0, 0x2B, 0, 0, 0x2B, 0, 0}));
    EXPECT_EQ(config.lastName, "Co-60");
    EXPECT_EQ(config.threshold, 300);
}

TEST(Measurement, AbortKeepsTheElapsedSpectrumAndStillSaves) {
    FakeAnalyser io;
    FakeHost host;
    AppConfig config;
    RunController controller;
    const auto begun = SteadyClock::now();
    start(controller, io, host, timedJob(config, 10.0));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    controller.abort();
    finishRun(controller);

    EXPECT_NEAR(secondsSince(begun), 1.0, 0.2);
    ASSERT_EQ(host.list.histogramCount(), 1);
    EXPECT_EQ(host.list.histogramAt(0)->kind, kKindMeasured | kMarkedBit);
    EXPECT_NEAR(host.list.histogramAt(0)->exposure, 1.0, 0.1);
    EXPECT_EQ(host.list.histogramAt(0)->total, 2048u);
    EXPECT_EQ(host.requests(), (std::vector<std::string>{"add", "close", "repaint", "save"}));
    EXPECT_TRUE(host.lines.empty());
}

TEST(Measurement, XrayRunReportsItsCountWindowsInMagenta) {
    struct Case {
        std::int32_t count;
        std::uint8_t expanded;
        std::string line;
    };
    const Case cases[] = {
        {100, 0, "               1.000               1.000"},
        {0, 1, "                   0            0            0 Не определено"},
    };
    for (const Case& c : cases) {
        FakeAnalyser io;
        io.count = c.count;
        FakeHost host;
        AppConfig config;
        config.xrayExposure = 0.05;
        config.autoSave = 0;
        config.expandedResult = c.expanded;
        RunController controller;
        start(controller, io, host, prepareXrayMeasurement(config, Histogram{}, "X", ""));
        finishRun(controller);

        ASSERT_EQ(host.list.histogramCount(), 1);
        EXPECT_EQ(host.list.histogramAt(0)->kind, kKindXray);
        EXPECT_EQ(config.lastExposure, 0.05);
        ASSERT_EQ(host.lines.size(), 1u);
        EXPECT_EQ(host.lines[0].text, c.line);
        EXPECT_EQ(host.lines[0].colour, kReportMagenta);
        EXPECT_EQ(host.countOf("save"), 0);
    }
}

TEST(Measurement, SoftwareGatingPulsesBetweenStartAndStopOnly) {
    FakeAnalyser io;
    FakeHost host;
    AppConfig config;
    config.gatingMode = 2;
    config.coincidenceMode = 0;
    config.autoSave = 0;
    RunController controller;
    start(controller, io, host, timedJob(config, 0.02));
    finishRun(controller);

    ASSERT_GT(io.controlWrites.size(), 10u);
    EXPECT_EQ(io.controlWrites[1], 0x15);
    const std::vector<std::uint8_t> pulses(io.controlWrites.begin() + 2,
                                           io.controlWrites.end() - 2);
    EXPECT_TRUE(std::all_of(pulses.begin(), pulses.end(),
                            [](std::uint8_t v) { return v == kSoftwareGateByte; }));
    EXPECT_EQ(config.internalGating, 0);
}

TEST(Measurement, SimulatedAnalyserCountsAtItsRateForTheExposure) {
    SimulatedAnalyser io(SimulationOptions{{Source::Cs137}, Detector::NaI, 20000.0});
    FakeHost host;
    AppConfig config;
    RunController controller;
    ASSERT_TRUE(controller
                    .start([&](RunFlags& flags) {
                        runMeasurement(
                            io, host, flags,
                            prepareMeasurement(config, Histogram{}, "Cs", "", 0.25, 0, false));
                    })
                    .started());
    finishRun(controller);

    ASSERT_EQ(host.list.histogramCount(), 1);
    EXPECT_NEAR(host.list.histogramAt(0)->total, 5000.0, 1000.0);
}

TEST(Measurement, ExposureMillisecondsAreTruncatedAndBounded) {
    EXPECT_EQ(exposureMilliseconds(2.5), 2500u);
    EXPECT_EQ(exposureMilliseconds(0.0019), 1u);
    EXPECT_EQ(exposureMilliseconds(-3.0), 0u);
    EXPECT_EQ(exposureMilliseconds(std::nan("")), 0u);
    EXPECT_EQ(exposureMilliseconds(1e12), UINT32_MAX);
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
    ASSERT_TRUE(controller.start(work).started());
    EXPECT_EQ(controller.start(work).status, StartStatus::Busy);
    release = true;
    finishRun(controller);
    release = false;
    ASSERT_TRUE(controller.start(work).started());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(controller.running()); // the abort finishRun gave the first run was cleared
    release = true;
    finishRun(controller);
    EXPECT_EQ(runs.load(), 2);

    RunController failing([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    const StartOutcome outcome = failing.start(work);
    EXPECT_EQ(outcome.status, StartStatus::ThreadFailed);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_FALSE(failing.running());
    EXPECT_EQ(runs.load(), 2);
}

} // namespace
} // namespace kv
