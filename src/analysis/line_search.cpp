#include "analysis/line_search.h"

#include "model/cp1251.h"
#include "model/strings.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace kv {

namespace {

constexpr int kContinuumMedianPasses = 5;
constexpr double kFwhmPerSigma = 2.36;
constexpr double kDrawnSigmas = 4.0;

// A count from a double, truncated toward zero and held to the int32 range (NaN gives 0), as
// values written into channels are.
std::int32_t truncatedCount(double value) {
    if (!(value == value)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

// The level below which a rise of the probe is taken for noise: the square root of the
// continuum (at least 1), smoothed by a median, a mean and a maximum filter, times the factor.
void noiseLevel(std::span<std::int32_t> level, std::span<const std::int32_t> spectrum,
                std::span<const std::int32_t> continuumFree, const LineSearchSettings& settings,
                ChannelFilter& filter) {
    for (std::size_t i = 0; i < level.size(); ++i) {
        const double continuum = std::max<double>(
            static_cast<double>(spectrum[i]) - static_cast<double>(continuumFree[i]), 1.0);
        level[i] = static_cast<std::int32_t>(std::sqrt(continuum));
    }
    filter.apply(level, FilterKind::Median, settings.searchRadii[0]);
    filter.apply(level, FilterKind::Mean, settings.searchRadii[1]);
    filter.apply(level, FilterKind::Maximum, settings.searchRadii[2]);
    for (std::int32_t& value : level) {
        value = truncatedCount(value * settings.levelFactor);
    }
}

void setComment(Histogram& h, StringId id) {
    h.comment.assign(cp1251FromUtf8(text(id)));
}

} // namespace

void subtractContinuum(std::span<std::int32_t> channels, std::int32_t rejectRadius,
                       std::int32_t smoothRadius, ChannelFilter& filter) {
    std::vector<std::int32_t> continuum(channels.begin(), channels.end());
    if (rejectRadius > 0) {
        for (int pass = 0; pass < kContinuumMedianPasses; ++pass) {
            filter.apply(continuum, FilterKind::Median, rejectRadius);
        }
    }
    if (smoothRadius > 0) {
        filter.apply(continuum, FilterKind::Mean, smoothRadius);
    }
    for (std::size_t i = 0; i < channels.size(); ++i) {
        channels[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(channels[i]) -
                                                static_cast<std::uint32_t>(continuum[i]));
    }
}

LineSearchResult searchLines(const Histogram& spectrum, const LineSearchSettings& settings,
                             const EnergyCalibration& calibration) {
    const std::atomic<bool> never{false};
    return searchLines(spectrum, settings, calibration, never);
}

LineSearchResult searchLines(const Histogram& spectrum, const LineSearchSettings& settings,
                             const EnergyCalibration& calibration, const std::atomic<bool>& stop) {
    const std::span<const std::int32_t> s = spectrum.channels;
    const auto n = static_cast<std::int32_t>(s.size());
    ChannelFilter filter;
    LineSearchResult result;
    const auto stopped = [&stop, &result] {
        result.stopped = stop.load(std::memory_order_relaxed);
        return result.stopped;
    };
    std::vector<std::int32_t>& fitted = result.fitted;
    std::vector<std::int32_t>& level = result.level;
    std::vector<std::int32_t>& peaks = result.peaks;
    fitted.assign(s.begin(), s.end());
    subtractContinuum(fitted, settings.rejectRadius, settings.continuumSmoothRadius, filter);
    if (stopped()) {
        return result;
    }
    std::vector<std::int32_t> probe = fitted;
    level.resize(s.size());
    noiseLevel(level, s, fitted, settings, filter);
    if (!settings.removeContinuum) {
        fitted.assign(s.begin(), s.end());
    }
    filter.apply(probe, FilterKind::Mean, settings.searchRadii[3]);
    filter.apply(fitted, FilterKind::Mean, settings.searchRadii[4]);
    peaks.assign(s.size(), 0);
    if (stopped()) {
        return result;
    }

    const auto p = [&probe](std::int32_t i) { return probe[static_cast<std::size_t>(i)]; };
    const double exposure = spectrum.rateExposure();
    for (std::int32_t g = 1; g < n - 1;) {
        if (level[static_cast<std::size_t>(g)] >= p(g)) {
            ++g;
            continue;
        }
        if (stopped()) {
            break;
        }
        std::int32_t apex = g;
        while (apex < n - 1 && p(apex) < p(apex + 1)) {
            ++apex;
        }
        std::int32_t left = apex;
        while (left > 0 && p(left - 1) >= 0 && p(left - 1) <= p(left)) {
            --left;
        }
        std::int32_t right = apex;
        while (right < n - 1 && p(right + 1) >= 0 && p(right + 1) <= p(right)) {
            ++right;
        }
        const std::int32_t halfWidth = std::min(apex - left, right - apex);
        const std::int32_t start = apex - halfWidth;
        g = apex + halfWidth + 2;

        PeakFit fit;
        const auto window = std::span<const std::int32_t>(fitted).subspan(
            static_cast<std::size_t>(start), 2 * static_cast<std::size_t>(halfWidth) + 1);
        if (!fitPeakWindow(fit, window, 3).converged() ||
            kFwhmPerSigma * fit.sigma >= settings.maxPeakWidth) {
            continue;
        }
        const auto first = static_cast<std::int64_t>(
            std::max(0.0, roundHalfDown(start + fit.centre - kDrawnSigmas * fit.sigma)));
        const auto last = static_cast<std::int64_t>(
            std::min(double(n - 1), roundHalfDown(start + fit.centre + kDrawnSigmas * fit.sigma)));
        for (std::int64_t k = first; k <= last; ++k) {
            auto& sum = peaks[static_cast<std::size_t>(k)];
            sum = truncatedCount(peakModelValue(fit, static_cast<int>(k - start)) + sum);
        }
        const double position = start + fit.centre;
        result.lastPeak = fit;
        result.lastPeak.centre = position;
        result.foundAny = true;
        result.lines.append(
            {calibration.channelToEnergy(position, n), fit.area / exposure, position});
        result.sigmas.push_back(fit.sigma);
        if (result.lines.full()) {
            result.tooManyPeaks = true;
            break;
        }
    }
    return result;
}

void addDiagnosticHistograms(HistogramList& list, const Histogram& spectrum,
                             const LineSearchSettings& settings, LineSearchResult& result) {
    const auto addCopy = [&list, &spectrum](StringId comment,
                                            const std::vector<std::int32_t>& channels) {
        auto copy = std::make_unique<Histogram>(spectrum);
        copy->kind = kKindDuplicate;
        setComment(*copy, comment);
        copy->channels.assign(channels.begin(), channels.end());
        // The list's integral of a copy is its own counts', not the searched spectrum's.
        copy->total = sumAllChannels(*copy);
        list.addHistogram(std::move(copy));
    };
    if (settings.showOriginal) {
        addCopy(StringId::Original, result.fitted);
    }
    if (settings.showLevel) {
        addCopy(StringId::Level, result.level);
    }
    if (settings.showResult) {
        addCopy(StringId::Result, result.peaks);
    }
}

Histogram* extractPeaks(HistogramList& list, const LineSearchSettings& settings) {
    Histogram* copy = list.duplicateCurrent();
    if (!copy) {
        return nullptr;
    }
    setComment(*copy, StringId::ContinuumRemoved);
    ChannelFilter filter;
    subtractContinuum(copy->channels, settings.rejectRadius, settings.continuumSmoothRadius,
                      filter);
    copy->total = sumAllChannels(*copy);
    return copy;
}

} // namespace kv
