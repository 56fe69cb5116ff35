#include "acquisition/measurement.h"

#include "acquisition/report_log.h"
#include "acquisition/run_fakes.h"
#include "acquisition/simulated_analyser.h"
#include "support/manual_clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <system_error>
#include <thread>

namespace kv {
namespace {

using namespace std::chrono_literals;

// An analyser, a host and the flags of one run, timed by a clock the test drives: the worker
// runs on the test's thread, and actions scheduled on the clock stand in for the user.
struct Bench {
    test::ManualClock clock;
    test::FakeAnalyser io;
    test::FakeHost host{clock};
    AppConfig config;
    RunFlags flags;

    explicit Bench(std::chrono::nanoseconds start = {}) : clock(start) {}

    MeasurementJob timed(double seconds) {
        return prepareMeasurement(config.analyser, config.countWindows, Histogram{},
                                  {.name = "Co-60",
                                   .comment = "shelf 2",
                                   .exposureSeconds = seconds,
                                   .threshold = 300,
                                   .autoSave = true});
    }
    void run(MeasurementJob job, PortIo* other = nullptr) {
        runMeasurement(other != nullptr ? *other : io, clock, host, flags, std::move(job));
    }
};

TEST(Measurement, InterimReadOutListsOnceAndIsNotCountedAsExposure) {
    Bench b;
    b.io.growth = 1; // the resume after the read-out counts 2 per channel
    b.host.addTakes = 300ms;
    b.clock.after(700ms, [&b] { b.flags.readOutRequest = 1; });
    b.run(b.timed(2.0));

    // 2 s of exposure, the 0.3 s of listing and the 1 ms settle before each read-out.
    EXPECT_EQ(b.host.closedAt, 2302ms);
    ASSERT_EQ(b.host.list.histogramCount(), 1);
    const Histogram& listed = *b.host.list.histogramAt(0);
    EXPECT_EQ(listed.kind, kKindMeasured);
    EXPECT_EQ(listed.name.view(), " 1. Co-60");
    EXPECT_EQ(listed.exposure, 2.0);
    EXPECT_EQ(b.host.listedTotals, std::vector<std::uint32_t>{2048});
    EXPECT_EQ(listed.total, 2u * 2048);
    EXPECT_EQ(b.host.events, (std::vector<std::string>{"add", "repaint", "update", "redraw",
                                                       "close", "repaint", "save"}));
    EXPECT_FALSE(b.host.state.documentSaved);
    // Stop, start; then stop twice per read-out, with the command again to resume.
    EXPECT_EQ(b.io.controlWrites, (std::vector<std::uint8_t>{0, 0x2B, 0, 0, 0x2B, 0, 0}));
    EXPECT_EQ(b.config.analyser.lastName, "Co-60");
    // The remaining time stood still during the read-out: no step of the progress jumps it.
    const std::vector<RunProgress>& shown = b.host.progressShown;
    EXPECT_EQ(std::adjacent_find(shown.begin(), shown.end(),
                                 [](const RunProgress& before, const RunProgress& after) {
                                     return after.elapsedMs - before.elapsedMs > 10;
                                 }),
              shown.end());
    EXPECT_TRUE(std::all_of(shown.begin(), shown.end(),
                            [](const RunProgress& p) { return p.exposureMs == 2000; }));

    // A read-out asked for while the first waits for its entry to be listed follows it.
    Bench again;
    again.host.addTakes = 300ms;
    again.clock.after(700ms, [&again] { again.flags.readOutRequest = 1; });
    again.clock.after(800ms, [&again] { again.flags.readOutRequest = 1; });
    again.run(again.timed(2.0));
    EXPECT_EQ(again.host.events,
              (std::vector<std::string>{"add", "repaint", "update", "redraw", "repaint", "update",
                                        "redraw", "close", "repaint", "save"}));
}

TEST(Measurement, ReadOutsAfterTheUserDeletedTheEntryAreListedAnew) {
    Bench b;
    b.clock.after(500ms, [&b] { b.flags.readOutRequest = 1; });
    b.clock.after(800ms, [&b] { b.host.list.deleteAt(0); });
    b.clock.after(1200ms, [&b] { b.flags.readOutRequest = 1; });
    b.clock.after(1500ms, [&b] { b.host.list.clearList(); });
    b.run(b.timed(2.0));

    // The second read-out finds no entry and lists the spectrum again; so does the final one.
    EXPECT_EQ(b.host.events,
              (std::vector<std::string>{"add", "repaint", "update", "add", "repaint", "update",
                                        "add", "close", "repaint", "save"}));
    ASSERT_EQ(b.host.list.histogramCount(), 1);
    const Histogram& kept = *b.host.list.histogramAt(0);
    EXPECT_EQ(kept.exposure, 2.0);
    EXPECT_EQ(kept.kind, kKindMeasured | kMarkedBit) << "the final read-out's own kind";
    EXPECT_EQ(kept.name.view(), " 3. Co-60");
}

TEST(Measurement, AbortKeepsTheElapsedSpectrumAndStillSaves) {
    Bench b;
    b.clock.after(3s, [&b] { b.flags.abort = 1; });
    b.run(b.timed(10.0));

    EXPECT_EQ(b.host.closedAt, 3001ms);
    ASSERT_EQ(b.host.list.histogramCount(), 1);
    EXPECT_EQ(b.host.list.histogramAt(0)->kind, kKindMeasured | kMarkedBit);
    EXPECT_EQ(b.host.list.histogramAt(0)->exposure, 3.0);
    EXPECT_EQ(b.host.events, (std::vector<std::string>{"add", "close", "repaint", "save"}));
}

TEST(Measurement, ExposureIsTimedRightAcrossTheTickCounterWrap) {
    const auto start = test::beforeTickWrap(500ms);
    Bench b(start);
    b.run(b.timed(1.0));

    EXPECT_EQ(b.host.closedAt - start, 1001ms);
    EXPECT_EQ(b.host.list.histogramAt(0)->exposure, 1.0);
    ASSERT_EQ(b.host.progressShown.size(), 100u); // every 10 ms, none beyond the exposure
    EXPECT_EQ(b.host.progressShown.back().elapsedMs, 1000u);
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
        b.run(prepareXrayMeasurement(b.config.analyser, b.config.series, b.config.countWindows,
                                     Histogram{}, "X", ""));

        EXPECT_EQ(b.host.list.histogramAt(0)->kind, kKindXray);
        EXPECT_EQ(b.host.list.histogramAt(0)->exposure, 0.05);
        ASSERT_EQ(b.host.lines.size(), 1u);
        EXPECT_EQ(b.host.lines[0].text, c.line);
        EXPECT_EQ(b.host.lines[0].colour, kReportMagenta);
        EXPECT_EQ(b.host.countOf("save"), 0);
    }
}

TEST(Measurement, SoftwareGatingPulsesAtEveryPollBetweenStartAndStop) {
    Bench b;
    b.config.analyser.gatingMode = 2;
    b.config.analyser.coincidenceMode = 0;
    b.config.analyser.autoSave = 0;
    b.run(b.timed(0.02));

    // A look at 0, 1, ... 20 ms, each with its pulse; then the two stops of the read-out.
    std::vector<std::uint8_t> expected(2 + 21 + 2, kSoftwareGateByte);
    expected[0] = 0;
    expected[1] = 0x15;
    expected[23] = 0;
    expected[24] = 0;
    EXPECT_EQ(b.io.controlWrites, expected);
    EXPECT_EQ(b.config.analyser.internalGating, 0);
}

TEST(Measurement, SimulatedAnalyserCountsAtItsRateForTheExposure) {
    Bench b;
    SimulatedAnalyser io(b.clock, SimulationOptions{{Source::Cs137}, Detector::NaI, 20000.0});
    b.run(prepareMeasurement(b.config.analyser, b.config.countWindows, Histogram{},
                             {.name = "Cs", .comment = "", .exposureSeconds = 0.25}),
          &io);
    EXPECT_NEAR(b.host.list.histogramAt(0)->total, 5000.0, 400.0); // 5.6 standard deviations
}

// On the real clock the worker waits out the exposure in short sleeps instead of polling the
// clock flat out, so a long run leaves the processor idle, and still stops on the tick the
// exposure ends; an abort given by another thread stops it long before.
TEST(Measurement, OnTheRealClockTheWorkerSleepsAndStopsAtTheEndOrAtAnAbort) {
    for (const double seconds : {1.0, 60.0}) {
        SimulatedAnalyser io(realClock());
        test::FakeHost host(realClock());
        AppConfig config;
        config.analyser.autoSave = 0;
        MeasurementJob job =
            prepareMeasurement(config.analyser, config.countWindows, Histogram{},
                               {.name = "R", .comment = "", .exposureSeconds = seconds});
        RunController controller;
        std::chrono::nanoseconds workerCpu{};
        const auto started = realClock().now();
        ASSERT_TRUE(controller
                        .start([&, job = std::move(job)](RunFlags& flags) mutable {
                            const auto cpuAtStart = test::threadCpuTime();
                            runMeasurement(io, realClock(), host, flags, std::move(job));
                            workerCpu = test::threadCpuTime() - cpuAtStart;
                        })
                        .started());
        if (seconds > 1.0) {
            std::this_thread::sleep_for(20ms); // most likely into the exposure; not needed
            controller.abort();
        }
        controller.join();
        ASSERT_EQ(host.list.histogramCount(), 1);
        EXPECT_EQ(host.countOf("close"), 1);
        const double exposure = host.list.histogramAt(0)->exposure;
        if (seconds > 1.0) {
            EXPECT_LT(exposure, 30.0);
            continue;
        }
        const auto wall = host.closedAt - started;
        std::printf("1 s run: stopped %.1f ms after its end, worker busy %.1f ms\n",
                    (wall - 1000ms).count() / 1e6, workerCpu.count() / 1e6);
        // Polling flat out keeps the worker busy for the whole second, or for most of it on a
        // machine whose processors are shared.
        EXPECT_LT(workerCpu, 250ms);
        EXPECT_GE(wall, 1000ms);
        // The exposure is the ticks between start and the stop's look at the clock: a stop that
        // follows the end by a poll gives 1.000 or 1.001 s; only a machine that holds the worker
        // off for longer gives more.
        EXPECT_GE(exposure, 1.0);
        EXPECT_LT(exposure, 1.25);
    }
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
        // In the second round: the abort left from the first run was cleared.
        EXPECT_TRUE(controller.running());
        release = true;
        controller.join();
        controller.abort(); // left set for the next start, which must clear it
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

// Whoever the end is told to may start the next run at once: by then the controller is idle.
TEST(RunController, TheEndIsToldOnceTheControllerTakesANewRun) {
    RunController controller;
    std::atomic<int> told{0};
    std::atomic<int> refused{0};
    for (int round = 0; round < 50; ++round) {
        ASSERT_TRUE(controller
                        .start([](RunFlags&) {},
                               [&] {
                                   refused += controller.running() ? 1 : 0;
                                   ++told;
                               })
                        .started());
        controller.join();
    }
    EXPECT_EQ(told.load(), 50);
    EXPECT_EQ(refused.load(), 0);
}

} // namespace
} // namespace kv
