#include "analysis/noise_track.h"

#include "model/append_format.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

std::string fixed2(double value) {
    return formatText("%0.2f", value);
}

} // namespace

NoiseTrack noiseTrack(std::span<const std::int32_t> channels, std::int32_t firstChannel,
                      std::int32_t lastChannel) {
    const auto count = static_cast<std::int64_t>(channels.size());
    const std::int64_t a = std::max<std::int64_t>(firstChannel, 0);
    const std::int64_t b = std::min<std::int64_t>(lastChannel, count - 1);
    if (a > b) {
        return {};
    }
    const auto range =
        channels.subspan(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a + 1));
    const auto m = static_cast<double>(range.size());

    // Exact in 64 bits: at most 2^20 channels of at most 2^31 each.
    std::int64_t sum = 0;
    for (const std::int32_t c : range) {
        sum += c;
    }
    NoiseTrack track;
    track.mean = static_cast<double>(sum) / m;
    double squares = 0.0;
    for (const std::int32_t c : range) {
        const double deviation = c - track.mean;
        squares += deviation * deviation;
    }
    track.sigma = std::sqrt(squares / m);
    track.poissonSigma =
        track.mean >= 0.0 ? std::optional<double>(std::sqrt(track.mean)) : std::nullopt;
    return track;
}

NoiseTrackTexts noiseTrackTexts(const NoiseTrack& track) {
    return {fixed2(track.mean), fixed2(track.sigma),
            track.poissonSigma ? fixed2(*track.poissonSigma) : std::string()};
}

} // namespace kv
