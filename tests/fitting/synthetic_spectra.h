#pragma once

// Spectra with known peaks for the fitting tests: exact Gaussians and reproducible Poisson noise.

#include "model/histogram.h"

#include <cmath>
#include <cstdint>
#include <functional>

namespace kv::test {

// A Gaussian of the given area at x.
inline double gauss(double x, double area, double centre, double sigma) {
    const double t = (x - centre) / sigma;
    return area / (std::sqrt(2 * M_PI) * sigma) * std::exp(-t * t / 2);
}

// Channels 0..size-1 holding counts(i), rounded.
inline Histogram spectrum(int size, const std::function<double(int)>& counts) {
    Histogram h;
    for (int i = 0; i < size; ++i) {
        h.channels.push_back(static_cast<std::int32_t>(std::lround(counts(i))));
    }
    return h;
}

// Deterministic Poisson counts (Knuth's product method on a SplitMix64 stream), the same on
// every machine and library.
struct PoissonSource {
    std::uint64_t state;
    double uniform() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return (static_cast<double>((z ^ (z >> 31)) >> 11) + 0.5) * 0x1.0p-53;
    }
    std::int32_t next(double mean) {
        std::int32_t k = 0;
        for (double product = uniform(); product > std::exp(-mean); ++k) {
            product *= uniform();
        }
        return k;
    }
};

} // namespace kv::test
