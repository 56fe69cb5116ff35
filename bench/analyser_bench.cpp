// A clear (S1) plus a full read-out (S2, S3) through the simulated analyser — 16385 writes and
// 8192 reads — beside the same number of virtual port calls on a PortIo that does nothing, so
// the simulator's own cost per call can be read off on any machine.

#include "acquisition/analyser_port.h"
#include "acquisition/simulated_analyser.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace kv {
namespace {

constexpr std::uint16_t kBase = 0x300;

class NullPorts final : public PortIo {
public:
    void writePort(std::uint16_t port, std::uint8_t value) override { m_sink += port ^ value; }
    std::uint8_t readPort(std::uint16_t port) override {
        return static_cast<std::uint8_t>(m_sink += port);
    }

private:
    unsigned m_sink = 0;
};

// S2's 1 ms pause is left out: it would swamp the port calls being measured.
void clearAndReadOut(PortIo& io, std::vector<std::int32_t>& counts) {
    startCounting(io, kBase, 0, 0x01);
    io.writePort(kBase + kControlOffset, 0);
    readSpectrum(io, kBase, counts);
    benchmark::DoNotOptimize(counts.data());
}

void BM_SimulatedClearAndReadOut(benchmark::State& state) {
    SimulatedAnalyser analyser(realClock());
    std::vector<std::int32_t> counts(kAnalyserChannels);
    for (auto _ : state) {
        clearAndReadOut(analyser, counts);
    }
}
BENCHMARK(BM_SimulatedClearAndReadOut)->Unit(benchmark::kMicrosecond);

void BM_BarePortCalls(benchmark::State& state) {
    NullPorts ports;
    PortIo& io = ports;
    std::vector<std::int32_t> counts(kAnalyserChannels);
    for (auto _ : state) {
        clearAndReadOut(io, counts);
    }
}
BENCHMARK(BM_BarePortCalls)->Unit(benchmark::kMicrosecond);

// The stop after 10 ms of counting, which draws the events of those 10 ms: at 10^5 counts per
// second one by one (1000 events), at 10^7 as one Poisson count per channel (10^5 events).
void BM_SimulatedStopAfterCounting(benchmark::State& state) {
    SimulationOptions options;
    options.countsPerSecond = static_cast<double>(state.range(0));
    SimulatedAnalyser analyser(realClock(), options);
    for (auto _ : state) {
        state.PauseTiming();
        startCounting(analyser, kBase, 0, 0x01);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
        while (std::chrono::steady_clock::now() < until) {
        }
        state.ResumeTiming();
        analyser.writePort(kBase + kControlOffset, 0);
    }
}
// A fixed number of iterations: each waits out its 10 ms outside the timing.
BENCHMARK(BM_SimulatedStopAfterCounting)
    ->Arg(100'000)
    ->Arg(10'000'000)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kv
