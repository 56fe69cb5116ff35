// The peak search by local fits over a whole 2048-channel spectrum with the default window
// reach of 40 channels (starts 20 channels apart, up to 19 parabola fits of 81 points each).

#include "fitting/peak_search.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

namespace kv {
namespace {

// A falling continuum with eight lines of 20 channels sigma, so that a window reaching 40
// channels spans +-2 sigma of a line.
Histogram demoSpectrum() {
    Histogram h;
    h.channels.resize(2048);
    for (int i = 0; i < 2048; ++i) {
        double value = 3000.0 * std::exp(-i / 700.0);
        for (int line = 1; line <= 8; ++line) {
            const double t = (i - 240.3 * line) / 20.0;
            value += 20000.0 * std::exp(-t * t / 2);
        }
        h.channels[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(std::lround(value));
    }
    return h;
}

void BM_FindPeaks(benchmark::State& state) {
    const Histogram h = demoSpectrum();
    const PeakSearchSettings settings{static_cast<std::int32_t>(state.range(0)), 40.0};
    std::size_t found = 0;
    for (auto _ : state) {
        const PeakSearchResult result = findPeaks(h, 0, 2047, settings);
        found = result.peaks.size();
        benchmark::DoNotOptimize(result.histogram.channels.data());
    }
    state.counters["peaks"] = static_cast<double>(found);
}
BENCHMARK(BM_FindPeaks)->Arg(40)->Arg(4);

} // namespace
} // namespace kv
