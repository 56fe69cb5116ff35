// One interim read-out ("Контроль") as the desktop program makes it, beside a bare read-out of
// the same memory. Bare: the analyser stopped, its 8192 memory bytes (2048 channels) read
// through the simulated analyser, the total summed, counting resumed. Shown: the same on a
// worker thread, then the entry updated, the list pane rebuilt and the plot pane repainted on
// the user-interface thread while the worker waits, in the main window offscreen at 1280 x 800.
// The ratio of the two is the cost of showing a read-out in units of taking it. The 1 ms settle
// of the stop is left out of both: it would swamp what is measured.

#include "acquisition/analyser_port.h"
#include "acquisition/simulated_analyser.h"
#include "acquisition/ui/acquisition_runs.h"
#include "app/main_window.h"
#include "gui/app_state.h"
#include "silent_ui.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace kv {

namespace {

constexpr std::uint16_t kBase = 0x300;
constexpr std::uint8_t kCommand = 0x2B;

// The real clock whose waits return at once.
class NoWaitClock final : public Clock {
public:
    std::chrono::nanoseconds now() const override { return realClock().now(); }
    void waitUntil(std::chrono::nanoseconds) override {}
};

void readOut(PortIo& io, Histogram& record) {
    NoWaitClock noWait;
    freezeCounting(io, noWait, kBase);
    readSpectrum(io, kBase, record.channels);
    record.total = sumChannels(record, 0, kAnalyserChannels - 1);
    resumeCounting(io, kBase, kCommand);
}

struct Analyser {
    SimulatedAnalyser io{realClock(), SimulationOptions{{Source::Cs137}, Detector::NaI, 50'000.0}};
    Histogram record;

    Analyser() {
        record.channels.resize(kAnalyserChannels);
        startCounting(io, kBase, 0, kCommand);
    }
};

void BM_BareReadOut(benchmark::State& state) {
    Analyser analyser;
    for (auto _ : state) {
        readOut(analyser.io, analyser.record);
        benchmark::DoNotOptimize(analyser.record.total);
    }
}
BENCHMARK(BM_BareReadOut)->Unit(benchmark::kMicrosecond);

void BM_ReadOutListedAndRepainted(benchmark::State& state) {
    const QTemporaryDir home;
    AppState appState(home.path().toStdString() + "/");
    SilentUi ui;
    MainWindow window(appState, ui);
    window.resize(1280, 800);
    window.show();
    Analyser analyser;

    // A worker that makes one read-out each time it is told to, as the measurement worker does.
    std::mutex mutex;
    std::condition_variable go;
    bool wanted = false;
    bool stop = false;
    std::atomic<bool> done{false};
    window.runs().start([&](RunHost& host, RunFlags&) {
        readOut(analyser.io, analyser.record);
        const HistogramHandle listed =
            host.addHistogram(std::make_unique<Histogram>(analyser.record));
        done = true;
        for (;;) {
            {
                std::unique_lock lock(mutex);
                go.wait(lock, [&] { return wanted || stop; });
                if (stop) {
                    return;
                }
                wanted = false;
            }
            readOut(analyser.io, analyser.record);
            host.updateHistogram(listed, analyser.record);
            host.redrawList();
            host.repaintPlot();
            done = true;
        }
    });
    const auto awaitReadOut = [&] {
        while (!done) {
            QApplication::processEvents();
        }
        done = false;
        // The repaint the read-out asked for.
        QApplication::processEvents();
    };
    awaitReadOut();
    for (auto _ : state) {
        {
            const std::lock_guard lock(mutex);
            wanted = true;
        }
        go.notify_one();
        awaitReadOut();
    }
    {
        const std::lock_guard lock(mutex);
        stop = true;
    }
    go.notify_one();
    window.runs().stopAndWait();
}
BENCHMARK(BM_ReadOutListedAndRepainted)->Unit(benchmark::kMicrosecond);

} // namespace

} // namespace kv

// Widgets need a QApplication; without a display the offscreen platform stands in.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
