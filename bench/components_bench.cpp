// The multi-component fit at its usual largest: five Gaussians on a straight line over a whole
// 2048-channel spectrum (17 parameters), started a little off the truth as a user sets them.

#include "fitting/component_fit.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

namespace kv {
namespace {

constexpr std::array<double, 5> kCentres = {210.4, 640.2, 1020.7, 1390.1, 1800.6};

void BM_FitComponents(benchmark::State& state) {
    Histogram h;
    for (int i = 0; i < 2048; ++i) {
        double value = 400.0 - 0.15 * i;
        for (const double centre : kCentres) {
            const double t = (i - centre) / 6.0;
            value += 30000.0 / (std::sqrt(2 * M_PI) * 6.0) * std::exp(-t * t / 2);
        }
        h.channels.push_back(static_cast<std::int32_t>(std::lround(value)));
    }
    const FitRegion region{0, 2047};
    ComponentTable start;
    for (int k = 0; k < 5; ++k) {
        start.addComponent(ComponentKind::Gaussian, &h, region);
        const auto p = start.parameters(k);
        p[0] = 27000.0, p[1] = kCentres[static_cast<std::size_t>(k)] + 1.0, p[2] = 6.5;
    }
    start.addComponent(ComponentKind::Linear, &h, region);
    int iterations = 0;
    for (auto _ : state) {
        ComponentTable table = start;
        const ComponentFitOutcome outcome = fitComponents(table, &h, region);
        if (!outcome.converged()) {
            state.SkipWithError("the component fit failed");
            break;
        }
        iterations = outcome.iterations;
        benchmark::DoNotOptimize(table.component(0).parameters.data());
    }
    state.counters["iterations"] = iterations;
}
BENCHMARK(BM_FitComponents)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kv
