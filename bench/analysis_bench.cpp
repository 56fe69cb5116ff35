// The channel filters the line search runs over whole spectra: the median of radius 15 that
// rejects peaks before the continuum is estimated (five passes per search), with the running
// mean and the maximum for comparison, on 2048 and 16384 channels.

#include "analysis/channel_filter.h"
#include "analysis/line_search.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace kv {
namespace {

// A falling continuum with a few peaks and Poisson noise from the given seed.
std::vector<std::int32_t> spectrum(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::int32_t> counts(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(n);
        double expected = 2000.0 * std::exp(-3.0 * x) + 20.0;
        for (const double centre : {0.1, 0.32, 0.33, 0.6}) {
            const double t = (x - centre) * static_cast<double>(n) / 6.0;
            expected += 5000.0 * std::exp(-t * t / 2);
        }
        counts[i] = std::poisson_distribution<std::int32_t>(expected)(rng);
    }
    return counts;
}

// Each pass filters one of several differently seeded spectra, as a real search meets fresh
// noise: filtering the same counts over and over lets the branch predictor learn them, which
// flatters the rank filters on short spectra.
void runFilter(benchmark::State& state, FilterKind kind, double parameter) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::vector<std::int32_t>> sources;
    for (unsigned seed = 1; seed <= 16; ++seed) {
        sources.push_back(spectrum(n, seed));
    }
    std::vector<std::int32_t> counts(n);
    ChannelFilter filter;
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        counts = sources[next];
        next = (next + 1) % sources.size();
        state.ResumeTiming();
        filter.apply(counts, kind, parameter);
        benchmark::DoNotOptimize(counts.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_MedianFilter15(benchmark::State& state) {
    runFilter(state, FilterKind::Median, 15);
}
BENCHMARK(BM_MedianFilter15)->Arg(2048)->Arg(16384);

void BM_MaximumFilter15(benchmark::State& state) {
    runFilter(state, FilterKind::Maximum, 15);
}
BENCHMARK(BM_MaximumFilter15)->Arg(2048)->Arg(16384);

void BM_MeanFilter15(benchmark::State& state) {
    runFilter(state, FilterKind::Mean, 15);
}
BENCHMARK(BM_MeanFilter15)->Arg(2048)->Arg(16384);

void BM_GaussFilter2(benchmark::State& state) {
    runFilter(state, FilterKind::Gauss, 2.0);
}
BENCHMARK(BM_GaussFilter2)->Arg(2048)->Arg(16384);

// The line search with default settings on a spectrum of a falling continuum and a line every
// 100 channels; its cost should grow linearly with the channel count.
void BM_LineSearch(benchmark::State& state) {
    const auto size = static_cast<int>(state.range(0));
    Histogram spectrum;
    spectrum.exposure = 600;
    spectrum.channels.resize(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        const double t = (i % 100 - 50) / 3.0;
        spectrum.channels[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(
            5000.0 * std::exp(-4.0 * i / size) + 2000.0 * std::exp(-t * t / 2));
    }
    const LineSearchSettings settings;
    const EnergyCalibration calibration;
    for (auto _ : state) {
        const LineSearchResult result = searchLines(spectrum, settings, calibration);
        benchmark::DoNotOptimize(result.lines.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LineSearch)->Arg(2048)->Arg(16384)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kv
