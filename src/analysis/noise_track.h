#pragma once

// The noise track: over the visible channels of the current histogram, the mean count per
// channel, the spread of the counts and the spread counting statistics alone would give, so
// a flat region that fluctuates more than Poisson statistics allow stands out.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kv {

struct NoiseTrack {
    double mean = 0.0;  // counts per channel
    double sigma = 0.0; // population standard deviation of the counts (divided by m, not m - 1)
    // sqrt(mean); nothing for a negative mean (after continuum removal or subtraction), which
    // has no Poisson spread.
    std::optional<double> poissonSigma = 0.0;
};

// The statistics of channels firstChannel to lastChannel inclusive (0-based). Limits beyond
// the spectrum are taken as its ends; a range without channels gives all zeros.
NoiseTrack noiseTrack(std::span<const std::int32_t> channels, std::int32_t firstChannel,
                      std::int32_t lastChannel);

// The window's fields "Среднее:", "Сигма:" and "Сигма Пуассон:", each "%0.2f"; the last is
// empty when there is no Poisson sigma. Formatted under the C numeric locale the program runs
// in.
struct NoiseTrackTexts {
    std::string mean;
    std::string sigma;
    std::string poissonSigma;
};
NoiseTrackTexts noiseTrackTexts(const NoiseTrack& track);

} // namespace kv
