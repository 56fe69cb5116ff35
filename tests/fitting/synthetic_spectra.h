#pragma once

// Spectra with known peaks for the fitting tests: exact Gaussians and reproducible Poisson noise.

#include "model/histogram.h"

#include <array>
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
        // e^-mean underflows beyond some 740, and the product with it: a larger mean is drawn
        // as a sum of Poisson counts of means up to 700, which is Poisson of their sum.
        std::int32_t k = 0;
        for (; mean > kLargestDirectMean; mean -= kLargestDirectMean) {
            k += next(kLargestDirectMean);
        }
        for (double product = uniform(); product > std::exp(-mean); ++k) {
            product *= uniform();
        }
        return k;
    }
    static constexpr double kLargestDirectMean = 700.0;
};

// Two overlapping peaks of a common width on a sloping line, Poisson counts over channels
// 0..511, drawn from one seeded stream: 7 to 14 channels apart, sigma 3 to 5, the smaller area
// 0.25 to 1 times the larger (10000 to 40000, either peak the larger), the line at 20 to 200
// counts. The region reaches 4 sigma beyond both centres; each half holds one peak.
struct Doublet {
    std::array<double, 2> areas{};
    std::array<double, 2> centres{};
    double sigma = 0.0;
    int firstChannel = 0; // the region, both ends included, 0-based
    int lastChannel = 0;
    int middle() const { return (firstChannel + lastChannel) / 2; } // the first half's end
    Histogram h;
};

inline Doublet drawDoublet(PoissonSource& source) {
    Doublet d;
    const double separation = 7 + 7 * source.uniform();
    d.sigma = 3 + 2 * source.uniform();
    const double larger = 10000 + 30000 * source.uniform();
    const double smaller = larger * (0.25 + 0.75 * source.uniform());
    d.areas = source.uniform() < 0.5 ? std::array{larger, smaller} : std::array{smaller, larger};
    d.centres[0] = 250 + 10 * source.uniform();
    d.centres[1] = d.centres[0] + separation;
    const double level = 20 + 180 * source.uniform();
    const double slope = 0.4 * source.uniform() - 0.2;
    for (int i = 0; i < 512; ++i) {
        d.h.channels.push_back(source.next(gauss(i, d.areas[0], d.centres[0], d.sigma) +
                                           gauss(i, d.areas[1], d.centres[1], d.sigma) + level +
                                           slope * (i - d.centres[0])));
    }
    d.firstChannel = static_cast<int>(std::floor(d.centres[0] - 4 * d.sigma));
    d.lastChannel = static_cast<int>(std::ceil(d.centres[1] + 4 * d.sigma));
    return d;
}

} // namespace kv::test
