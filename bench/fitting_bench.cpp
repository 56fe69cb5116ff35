// The fitting hot paths: the matrix inversion every fit ends in (order 4 for a peak, 20 for the
// largest multi-component fit) and the single-peak fit on a whole 2048-channel spectrum.

#include "fitting/least_squares.h"
#include "fitting/peak_fit.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace kv {
namespace {

// A well-conditioned symmetric matrix like the normal matrices of real fits.
FitMatrix normalMatrix(int n) {
    FitMatrix a;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            a.at(r, c) = 1.0 / (1.0 + std::abs(r - c)) + (r == c ? n : 0.0);
        }
    }
    return a;
}

void BM_InvertMatrix(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const FitMatrix original = normalMatrix(n);
    for (auto _ : state) {
        FitMatrix a = original;
        benchmark::DoNotOptimize(invertMatrix(a, n));
        benchmark::DoNotOptimize(a.elements.data());
    }
}
BENCHMARK(BM_InvertMatrix)->Arg(4)->Arg(20);

// A 2048-channel spectrum with a falling continuum and a peak; the fit starts a few channels
// off the summit, as a user's click does.
void BM_FitPeakAt(benchmark::State& state) {
    std::vector<std::int32_t> counts(2048);
    for (int i = 0; i < 2048; ++i) {
        const double t = (i - 440.6) / 9.0;
        counts[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(
            std::lround(3000.0 * std::exp(-i / 700.0) + 20000.0 * std::exp(-t * t / 2)));
    }
    PeakFit fit;
    const int parameters = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const PeakFitOutcome outcome = fitPeakAt(fit, counts, 436, parameters);
        if (!outcome.converged()) {
            state.SkipWithError("the peak fit failed");
            break;
        }
        benchmark::DoNotOptimize(fit.centre);
    }
}
BENCHMARK(BM_FitPeakAt)->Arg(3)->Arg(4);

} // namespace
} // namespace kv
