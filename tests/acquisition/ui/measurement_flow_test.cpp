// "Старт" from the main window on the simulated analyser: the start dialog, the progress window
// with its read-outs and its stop, closing the program during a run, and what the user-interface
// thread does meanwhile.

#include "acquisition/ui/measurement_fixture.h"

#include "app/list_pane.h"
#include "model/histogram_file.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

namespace kv {
namespace {

using namespace std::chrono_literals;
using test::MeasurementFixture;
using P = ProgressWindow::Control;

TEST_F(MeasurementFixture, ReadOutsListTheRunOnceAndTheEndUpdatesAndSavesIt) {
    window->show();
    ui.saveAnswers = {home.path("run.hst")};
    ASSERT_TRUE(start({.exposure = "2"}));
    ASSERT_NE(progressWindow(), nullptr);

    // Two read-outs during the exposure: the first lists the spectrum counted so far, the
    // second updates the same entry.
    std::vector<std::uint32_t> totals;
    for (const std::uint32_t at : {600u, 1200u}) {
        ASSERT_TRUE(waitFor([&] { return elapsedMs() >= at; }));
        const std::uint32_t before = state.list.empty() ? 0 : state.list.histogramAt(0)->total;
        press(P::ReadOut);
        ASSERT_TRUE(waitFor(
            [&] { return !state.list.empty() && state.list.histogramAt(0)->total != before; }));
        ASSERT_EQ(state.list.histogramCount(), 1);
        EXPECT_EQ(window->listPane().topLevelItemCount(), 1);
        totals.push_back(state.list.histogramAt(0)->total);
        // Listed at once, unmarked, not yet saved.
        EXPECT_EQ(state.list.histogramAt(0)->kind, kKindMeasured);
        EXPECT_TRUE(ui.saveDialogs.empty());
    }
    ASSERT_TRUE(waitForRunEnd());

    ASSERT_EQ(state.list.histogramCount(), 1);
    const Histogram& measured = *state.list.histogramAt(0);
    EXPECT_EQ(measured.name.view(), " 1. Cs-137");
    // The read-outs' own time is neither exposure nor remaining time.
    EXPECT_NEAR(measured.exposure, 2.0, 0.05);
    EXPECT_LT(totals[0], totals[1]);
    EXPECT_LT(totals[1], measured.total);
    // 50 000 counts a second over 2 s, less what the threshold and the spectrum's edges drop.
    EXPECT_GT(measured.total, 50'000u);
    EXPECT_EQ(window->listPane().topLevelItemCount(), 1);
    EXPECT_FALSE(state.windows.isOpen(WindowKind::RunProgress));

    // Saved automatically, into the file the Save-as dialog chose for the untitled list.
    ASSERT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_TRUE(state.document.documentSaved);
    const ParsedHistogramFile file = parseHistogramFile(test::readBytes(home.path("run.hst")));
    ASSERT_EQ(file.histograms.size(), 1u);
    EXPECT_EQ(file.histograms[0]->total, measured.total);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MeasurementFixture, ExposureThatIsNoNumberReadsOutAtOnceAndClosesTheProgressWindow) {
    ASSERT_TRUE(start({.exposure = "none", .autoSave = false}));
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_FALSE(state.windows.isOpen(WindowKind::RunProgress));
    ASSERT_EQ(state.list.histogramCount(), 1);
    EXPECT_LT(state.list.histogramAt(0)->exposure, 0.1);
    EXPECT_EQ(state.config.analyser.lastExposure, 0.0);
}

TEST_F(MeasurementFixture, AbortKeepsTheSpectrumWithItsElapsedExposureAndSavesIt) {
    ui.saveAnswers = {home.path("aborted.hst")};
    ASSERT_TRUE(start({.exposure = "600"}));
    ASSERT_TRUE(waitFor([&] { return elapsedMs() >= 300; }));
    press(P::Abort);
    // The window goes at once; the worker still reads out and lists.
    EXPECT_FALSE(state.windows.isOpen(WindowKind::RunProgress));
    ASSERT_TRUE(waitForRunEnd());

    ASSERT_EQ(state.list.histogramCount(), 1);
    const Histogram& kept = *state.list.histogramAt(0);
    EXPECT_EQ(kept.kind, kKindMeasured | kMarkedBit);
    EXPECT_GE(kept.exposure, 0.3);
    EXPECT_LT(kept.exposure, 30.0);
    EXPECT_GT(kept.total, 0u);
    const ParsedHistogramFile file = parseHistogramFile(test::readBytes(home.path("aborted.hst")));
    ASSERT_EQ(file.histograms.size(), 1u);
    EXPECT_EQ(file.histograms[0]->exposure, kept.exposure);
}

TEST_F(MeasurementFixture, DeletingOrReplacingTheListDuringARunLosesNothing) {
    ASSERT_TRUE(start({.exposure = "600", .autoSave = false}));
    ASSERT_TRUE(waitFor([&] { return elapsedMs() >= 100; }));
    press(P::ReadOut);
    ASSERT_TRUE(waitFor([&] { return state.list.histogramCount() == 1; }));
    window->dispatch(Command::Delete);
    ASSERT_TRUE(state.list.empty());
    // New asks whether to save the change (No) and starts an empty untitled list.
    ui.answers = {Answer::No};
    window->dispatch(Command::New);

    // The next read-out lists the spectrum again, in the new document.
    press(P::ReadOut);
    ASSERT_TRUE(waitFor([&] { return state.list.histogramCount() == 1; }));
    press(P::Abort);
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(state.list.histogramCount(), 1);
    EXPECT_EQ(window->listPane().topLevelItemCount(), 1);
    EXPECT_GT(state.list.histogramAt(0)->exposure, 0.1);
}

TEST_F(MeasurementFixture, ASpectrumTheListCannotTakeIsSavedToAFileOfItsOwn) {
    ASSERT_TRUE(start({.exposure = "600", .autoSave = false}));
    ASSERT_TRUE(waitFor([&] { return elapsedMs() >= 50; }));
    // Another analyser's spectra of 1024 channels replace the list during the run.
    auto other = std::make_unique<Histogram>();
    other->channels.assign(1024, 1);
    state.list.clearList();
    state.list.setChannelCount(1024);
    state.list.addHistogram(std::move(other));
    ui.saveAnswers = {home.path("alone.hst")};
    press(P::Abort);
    ASSERT_TRUE(waitForRunEnd());
    QApplication::processEvents();

    EXPECT_EQ(state.list.histogramCount(), 1);
    EXPECT_EQ(state.list.channelCount(), 1024);
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::MeasurementNotListed});
    const ParsedHistogramFile file = parseHistogramFile(test::readBytes(home.path("alone.hst")));
    ASSERT_EQ(file.histograms.size(), 1u);
    EXPECT_EQ(file.histograms[0]->channels.size(), 2048u);
    EXPECT_GT(file.histograms[0]->exposure, 0.0);
    // The program's own document keeps its name.
    EXPECT_TRUE(state.document.documentUntitled);
}

TEST_F(MeasurementFixture, ClosingDuringARunAsksThenListsWhatWasCountedAndEndsTheWorker) {
    window->show();
    ASSERT_TRUE(start({.exposure = "600", .autoSave = false}));
    ASSERT_TRUE(waitFor([&] { return elapsedMs() >= 100; }));

    ui.answers = {Answer::No};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->runs().active());
    EXPECT_EQ(ui.questions, std::vector{StringId::StopRunToClose});

    // Stopped, the spectrum is listed; the question about unsaved histograms then covers it.
    ui.answers = {Answer::Yes, Answer::No};
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->runs().active());
    EXPECT_EQ(ui.questions, (std::vector{StringId::StopRunToClose, StringId::StopRunToClose,
                                         StringId::SaveFileQuestion}));
    ASSERT_EQ(state.list.histogramCount(), 1);
    EXPECT_LT(state.list.histogramAt(0)->exposure, 60.0);
    window.reset();
}

TEST_F(MeasurementFixture, DestroyingTheWindowDuringARunStopsAndJoinsTheWorker) {
    ASSERT_TRUE(start({.exposure = "600", .autoSave = false}));
    ASSERT_TRUE(waitFor([&] { return elapsedMs() >= 20; }));
    window.reset();
    ASSERT_EQ(state.list.histogramCount(), 1);
}

TEST_F(MeasurementFixture, StartIsRefusedOrLeftAloneWhereItCannotRun) {
    // A list of spectra of another channel count: message 2094, no dialog.
    auto other = std::make_unique<Histogram>();
    other->channels.assign(4096, 1);
    state.list.setChannelCount(4096);
    state.list.addHistogram(std::move(other));
    expectNoDialog([&] { window->dispatch(Command::Start); });
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::MeasureNeeds2048Channels});
    EXPECT_EQ(ui.messages[0].caption, StringId::BadNews);

    // Closed, the list takes the analyser's channel count and whole range again.
    state.list.clearList();
    state.config.plot.firstChannel = 1000;
    state.config.plot.lastChannel = 4095;
    test::answerNext<QDialog>([](QDialog& dialog) { dialog.reject(); });
    window->dispatch(Command::Start);
    EXPECT_EQ(state.list.channelCount(), 2048);
    EXPECT_EQ(state.config.plot.firstChannel, 0);
    EXPECT_EQ(state.config.plot.lastChannel, 2047);

    // Stack memory: message 2092 under 2093 and the dialog stays open.
    ui.messages.clear();
    state.config.analyser.memoryMode = 1;
    EXPECT_FALSE(start({}));
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::StackMemoryElsewhere});
    EXPECT_EQ(ui.messages[0].caption, StringId::News);
    EXPECT_FALSE(window->runs().active());
    state.config.analyser.memoryMode = 0;

    // A run already active: nothing opens.
    ASSERT_TRUE(start({.exposure = "600", .autoSave = false}));
    expectNoDialog([&] {
        window->dispatch(Command::Start);
        window->dispatch(Command::ModeSelection);
    });
    window->runs().stopAndWait();

    // Without an analyser (the real ports refused at start-up) a run cannot start.
    ui.messages.clear();
    state.analyser = {};
    window->dispatch(Command::Start);
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::AnalyserUnavailable});
}

TEST_F(MeasurementFixture, StartDialogShowsAndStoresTheRunSettings) {
    AnalyserSettings& settings = state.config.analyser;
    settings.lastName = "Am-241";
    settings.lastExposure = 12.7;
    settings.threshold = 300;
    settings.autoSave = 0;
    settings.gatingMode = 1;
    settings.internalGating = 0;
    std::vector<MeasurementStart> launched;
    StartDialog dialog(settings, ui, [&](const MeasurementStart& values) {
        launched.push_back(values);
        return StartOutcome{StartStatus::ThreadFailed, "Resource temporarily unavailable"};
    });
    using C = StartDialog::Control;
    const auto field = [&](C id) { return static_cast<QLineEdit*>(dialog.control(id)); };
    EXPECT_EQ(field(C::Name)->text(), "Am-241");
    EXPECT_EQ(field(C::Comment)->text(), "");
    EXPECT_EQ(field(C::Exposure)->text(), "13");
    EXPECT_EQ(field(C::Threshold)->text(), "300");
    EXPECT_FALSE(static_cast<QAbstractButton*>(dialog.control(C::AutoSave))->isChecked());

    field(C::Name)->setText(QString::fromUtf8("Фон"));
    field(C::Comment)->setText("shelf 2");
    field(C::Exposure)->setText("2.5e1s");
    field(C::Threshold)->setText("x7");
    dialog.command(C::Start);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].name, "\xD4\xEE\xED"); // Windows-1251
    EXPECT_EQ(launched[0].comment, "shelf 2");
    EXPECT_EQ(launched[0].exposureSeconds, 25.0);
    EXPECT_EQ(launched[0].threshold, 0);
    // A thread the system would not give is reported, and the dialog stays.
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::RunNotStarted});
    EXPECT_EQ(ui.messages[0].detail, "Resource temporarily unavailable");
    EXPECT_EQ(dialog.result(), 0);

    field(C::Exposure)->setText("not a number");
    field(C::Threshold)->setText(" 4294967295 ");
    dialog.command(C::Start);
    EXPECT_EQ(launched[1].exposureSeconds, 0.0);
    EXPECT_EQ(static_cast<std::uint32_t>(launched[1].threshold), 4294967295u);

    dialog.command(C::Help);
    EXPECT_EQ(ui.helpContexts, std::vector{20});
}

TEST_F(MeasurementFixture, ThreadThatCannotStartLeavesNoRun) {
    AcquisitionRuns failing(*window, [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    const StartOutcome outcome = failing.start([](RunHost&, RunFlags&) {});
    EXPECT_EQ(outcome.status, StartStatus::ThreadFailed);
    EXPECT_FALSE(failing.active());
    failing.stopAndWait(); // returns at once
}

// A worker that reports the progress it is given and then waits to be let go.
TEST_F(MeasurementFixture, ProgressWindowShowsRemainingSecondsAndABarThatDoesNotWrap) {
    struct Step {
        RunProgress progress;
        int bar;
        const char* remaining;
    };
    // 700 s: beyond the 16-bit range of hundredths (655.35 s).
    const Step steps[] = {{{660'000, 700'000}, 66'000, "40"},
                          {{697'500, 700'000}, 69'750, "2"},  // 2.5 s left: halves go down
                          {{698'750, 700'000}, 69'875, "1"}}; // 1.25 s
    ProgressWindow* progress = nullptr;
    for (const Step& step : steps) {
        std::atomic<bool> release{false};
        std::atomic<bool> reported{false};
        ASSERT_TRUE(window->runs()
                        .start([&](RunHost& host, RunFlags&) {
                            host.progress(step.progress);
                            reported = true;
                            while (!release) {
                                std::this_thread::yield();
                            }
                        })
                        .started());
        if (progress == nullptr) {
            progress =
                dynamic_cast<ProgressWindow*>(state.windows.open(WindowKind::RunProgress, [&] {
                    return std::make_unique<ProgressWindow>(window->runs(), 700.0, window.get());
                }));
            auto* remaining = static_cast<QLineEdit*>(progress->control(P::Remaining));
            EXPECT_EQ(remaining->text(), "700");
            EXPECT_EQ(static_cast<QProgressBar*>(progress->control(P::Bar))->maximum(), 70'000);
        }
        ASSERT_TRUE(waitFor([&] { return reported.load(); }));
        auto* bar = static_cast<QProgressBar*>(progress->control(P::Bar));
        ASSERT_TRUE(waitFor([&] { return bar->value() == step.bar; }));
        EXPECT_EQ(static_cast<QLineEdit*>(progress->control(P::Remaining))->text(), step.remaining);
        release = true;
        ASSERT_TRUE(waitForRunEnd());
    }
}

// How long the user-interface thread is held up at a time while a run is read out every 100 ms:
// the gaps between the ticks of a 5 ms timer, less the time the thread stood ready but the
// system ran something else (/proc/thread-self/schedstat), so a loaded machine does not count.
TEST_F(MeasurementFixture, UserInterfaceNeverStallsDuringFrequentReadOuts) {
    window->show();
    const auto waitingToRun = [] {
        std::ifstream schedstat("/proc/thread-self/schedstat");
        long long running = 0;
        long long waiting = -1;
        schedstat >> running >> waiting;
        return std::chrono::nanoseconds(waiting);
    };
    ASSERT_GE(waitingToRun().count(), 0) << "the system does not say how long threads wait";

    std::vector<std::chrono::nanoseconds> stalls;
    std::vector<std::chrono::nanoseconds> gaps;
    auto lastTick = realClock().now();
    auto lastWaiting = waitingToRun();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = realClock().now();
        const auto waiting = waitingToRun();
        gaps.push_back(now - lastTick);
        stalls.push_back(now - lastTick - (waiting - lastWaiting));
        lastTick = now;
        lastWaiting = waiting;
    });
    QTimer readOuts;
    QObject::connect(&readOuts, &QTimer::timeout, [&] {
        if (progressWindow() != nullptr) {
            press(P::ReadOut);
        }
    });
    ASSERT_TRUE(start({.exposure = "2", .autoSave = false}));
    lastTick = realClock().now();
    lastWaiting = waitingToRun();
    ticker.start(5);
    readOuts.start(100);
    ASSERT_TRUE(waitForRunEnd());
    ticker.stop();
    readOuts.stop();

    ASSERT_GT(stalls.size(), 100u);
    std::sort(stalls.begin(), stalls.end());
    std::sort(gaps.begin(), gaps.end());
    const auto ms = [](std::chrono::nanoseconds t) { return t.count() / 1e6; };
    std::printf("%zu ticks of 5 ms; held up at most %.1f ms (99%%: %.1f ms); gaps at most %.1f "
                "ms (99%%: %.1f ms)\n",
                stalls.size(), ms(stalls.back()), ms(stalls[stalls.size() * 99 / 100]),
                ms(gaps.back()), ms(gaps[gaps.size() * 99 / 100]));
    EXPECT_LT(stalls.back(), 50ms);
    EXPECT_GT(state.list.histogramAt(0)->total, 0u);
}

} // namespace
} // namespace kv

// The acquisition windows' tests run offscreen, with the program's settings kept apart.
int main(int argc, char** argv) {
    return kv::test::runMainWindowTests(argc, argv);
}
