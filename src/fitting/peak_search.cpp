#include "fitting/peak_search.h"

#include "fitting/component_model.h"
#include "fitting/least_squares.h"
#include "model/energy_calibration.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace kv {

namespace {

const double kSqrtTwoPi = std::sqrt(6.283185307179586);
constexpr int kMaxLocalFits = 20;
constexpr double kSameCentre = 2.0; // channels; a centre nearer an accepted one is not new
constexpr double kDrawnSigmas = 3.0;
constexpr double kLargestCount = std::numeric_limits<std::int32_t>::max();
constexpr double kSmallestCount = std::numeric_limits<std::int32_t>::min();

// The work arrays of the local fits, grown once per search instead of once per start.
struct LocalFitWork {
    std::vector<double> x;
    std::vector<double> y;
};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) {
    return -floorDiv(-a, b);
}

LocalPeakOutcome fitLocal(std::span<const std::int32_t> counts, std::int32_t start,
                          std::int32_t range, double sigmaMax, LocalFitWork& work) {
    LocalPeakOutcome outcome;
    const auto fail = [&outcome](LocalPeakStatus status) {
        outcome.status = status;
        return outcome;
    };
    const double channelCount = static_cast<double>(counts.size());
    std::array<double, 3> a{};
    double c = start;
    std::size_t lo = 0;
    std::size_t hi = 0;
    for (;;) {
        // Clipped in floating point first, so that no range or start can overflow an index.
        const double low = std::max(roundHalfDown(c - range), 0.0);
        const double high = std::min(roundHalfDown(c + range), channelCount - 1.0);
        if (high - low + 1.0 <= 3.0) {
            return fail(LocalPeakStatus::WindowTooNarrow);
        }
        lo = static_cast<std::size_t>(low);
        hi = static_cast<std::size_t>(high);
        work.x.resize(hi - lo + 1);
        work.y.resize(hi - lo + 1);
        // The parabola is fitted in channels from the window's start: the same parabola as in
        // absolute channels, but its normal matrix stays well conditioned far from channel 0,
        // where absolute channels make narrow windows look singular.
        for (std::size_t j = lo; j <= hi; ++j) {
            work.x[j - lo] = static_cast<double>(j - lo);
            work.y[j - lo] = counts[j] < 2 ? 0.0 : std::log(static_cast<double>(counts[j]));
        }
        if (!fitPolynomial(work.x, work.y, a)) {
            return fail(LocalPeakStatus::Singular);
        }
        ++outcome.iterations;
        // Negated comparisons, so that a fit gone to not-a-number fails here too.
        if (!(a[2] < 0.0)) {
            return fail(LocalPeakStatus::NoMaximum);
        }
        const double vertex = static_cast<double>(lo) - a[1] / (2.0 * a[2]);
        if (!(vertex >= 0.0 && vertex < channelCount)) {
            return fail(LocalPeakStatus::CentreOutside);
        }
        const double moved = std::abs(vertex - c);
        c = vertex;
        if (outcome.iterations == kMaxLocalFits) {
            return fail(LocalPeakStatus::TooManyIterations);
        }
        if (moved < 1.0) {
            break;
        }
    }

    // The fitted Gaussian must account for the counts of its window within 10 standard
    // deviations of their Poisson sum.
    double modelSum = 0.0;
    double difference = 0.0;
    for (std::size_t j = lo; j <= hi; ++j) {
        const double m = std::exp(evaluatePolynomial(static_cast<double>(j - lo), a));
        modelSum += std::abs(m);
        difference += m - counts[j];
    }
    if (10.0 * std::sqrt(modelSum) < std::abs(difference)) {
        return fail(LocalPeakStatus::Inconsistent);
    }
    const double variance = -1.0 / (2.0 * a[2]);
    const double fromStart = c - static_cast<double>(lo);
    const double height = std::exp(a[0] + fromStart * fromStart / (2.0 * variance));
    const double sigma = std::sqrt(variance);
    if (sigma > sigmaMax) {
        return fail(LocalPeakStatus::TooWide);
    }
    outcome.peak = {kSqrtTwoPi * sigma * height, c, sigma};
    return outcome;
}

} // namespace

double evaluatePolynomial(double x, std::span<const double> coefficients) {
    double sum = 0.0;
    double power = 1.0;
    for (const double coefficient : coefficients) {
        sum += coefficient * power;
        power *= x;
    }
    return sum;
}

std::int32_t peakSearchStep(std::int32_t range) {
    return range / 2 >= 2 ? range / 2 : 1;
}

LocalPeakOutcome fitLocalPeak(std::span<const std::int32_t> counts, std::int32_t start,
                              std::int32_t range, double sigmaMax) {
    LocalFitWork work;
    return fitLocal(counts, start, range, sigmaMax, work);
}

void drawLocalPeak(std::span<std::int32_t> channels, const LocalPeak& peak) {
    if (channels.empty() || !(peak.sigma > 0.0) || !std::isfinite(peak.area)) {
        return;
    }
    const double from = std::trunc(std::max(peak.centre - kDrawnSigmas * peak.sigma, 0.0));
    const double to = std::min(peak.centre + kDrawnSigmas * peak.sigma,
                               static_cast<double>(channels.size()) - 1.0);
    if (!(from <= to)) {
        return;
    }
    const FitComponent gaussian{ComponentKind::Gaussian, {peak.area, peak.centre, peak.sigma}};
    for (auto k = static_cast<std::size_t>(from); static_cast<double>(k) <= to; ++k) {
        // Saturating: peaks that overlap add up, and a sum beyond the int32 range has no
        // truncated value.
        const double sum = channels[k] + componentFunction(gaussian, static_cast<int>(k));
        channels[k] = static_cast<std::int32_t>(std::clamp(sum, kSmallestCount, kLargestCount));
    }
}

PeakSearchResult findPeaks(const Histogram& source, std::int32_t firstChannel,
                           std::int32_t lastChannel, const PeakSearchSettings& settings) {
    PeakSearchResult result;
    result.histogram = source;
    std::fill(result.histogram.channels.begin(), result.histogram.channels.end(), 0);

    const std::span<const std::int32_t> counts = source.channels;
    const auto channelCount = static_cast<std::int64_t>(counts.size());
    const std::int64_t range = settings.searchRange;
    const std::int64_t step = peakSearchStep(settings.searchRange);
    const std::int64_t first = firstChannel;
    const std::int64_t starts = (std::int64_t{lastChannel} - first) / step;
    // A start below 3 - R or above the last channel - 3 + R leaves at most 3 channels in its
    // first window and fails at once: skipping those keeps the results and bounds the loop.
    const std::int64_t iFrom = std::max<std::int64_t>(1, ceilDiv(3 - range - first, step));
    const std::int64_t iTo = std::min(starts, floorDiv(channelCount - 4 + range - first, step));

    LocalFitWork work;
    const std::int64_t widest = std::clamp<std::int64_t>(2 * range + 1, 0, channelCount);
    work.x.reserve(static_cast<std::size_t>(widest));
    work.y.reserve(static_cast<std::size_t>(widest));
    result.peaks.reserve(kMaxAcceptedPeaks);
    for (std::int64_t i = iFrom; i <= iTo; ++i) {
        const auto start = static_cast<std::int32_t>(first + i * step);
        const LocalPeakOutcome outcome =
            fitLocal(counts, start, settings.searchRange, settings.searchSigmaMax, work);
        if (!outcome.found()) {
            continue;
        }
        const double centre = outcome.peak.centre;
        if (std::any_of(result.peaks.begin(), result.peaks.end(), [centre](const LocalPeak& p) {
                return std::abs(centre - p.centre) < kSameCentre;
            })) {
            continue;
        }
        if (result.peaks.size() == kMaxAcceptedPeaks) {
            result.stoppedAtCapacity = true;
            break;
        }
        result.peaks.push_back(outcome.peak);
        drawLocalPeak(result.histogram.channels, outcome.peak);
    }
    return result;
}

std::optional<PeakSearchResult> runPeakSearch(HistogramList& list, const PlotSettings& plot,
                                              const PeakSearchSettings& settings) {
    const Histogram* source = list.currentHistogram();
    if (!source) {
        return std::nullopt;
    }
    PeakSearchResult result = findPeaks(*source, plot.firstChannel, plot.lastChannel, settings);
    list.addHistogram(std::make_unique<Histogram>(std::move(result.histogram)));
    result.histogram = Histogram{};
    return result;
}

} // namespace kv
