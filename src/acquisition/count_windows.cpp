#include "acquisition/count_windows.h"

#include "fitting/least_squares.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace kv {

namespace {

std::int64_t channelCountOf(const Histogram& h) {
    return static_cast<std::int64_t>(h.channels.size());
}

// Counts of the window's channels inside the spectrum. sumChannels alone would take a window
// lying wholly beyond the spectrum as its last channel.
std::uint32_t windowCounts(const Histogram& h, std::int32_t lower, std::int32_t upper) {
    if (lower >= channelCountOf(h) || upper < 0) {
        return 0;
    }
    return sumChannels(h, lower, upper);
}

// Sized for any value: odd coefficients can make C1 and C2 hundreds of digits long.
template <typename... Args> std::string format(const char* pattern, Args... args) {
    std::string text(static_cast<std::size_t>(std::snprintf(nullptr, 0, pattern, args...)), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, args...);
    return text;
}

std::string failedLine(std::string line) {
    line += ' ';
    line += kUndefinedResult;
    return line;
}

} // namespace

CountWindowLimits storedLimits(const CountWindowSettings& settings) {
    return {settings.windowLower, settings.windowUpper};
}

std::optional<double> fitReferencePeak(const Histogram& h, std::int32_t referenceChannel,
                                       std::int32_t referenceWidth) {
    // 64-bit so that any stored C and W describe a region without overflow.
    const std::int64_t half = referenceWidth / 2;
    const std::int64_t lo = std::max<std::int64_t>(0, std::int64_t{referenceChannel} - half);
    const std::int64_t hi = std::min(channelCountOf(h) - 1, std::int64_t{referenceChannel} + half);
    if (hi - lo < 2) {
        return std::nullopt;
    }
    // Channels are counted from the region's start: the same parabola, but a normal matrix
    // that stays well conditioned far from channel 0.
    std::vector<double> x;
    std::vector<double> y;
    x.reserve(static_cast<std::size_t>(hi - lo + 1));
    y.reserve(static_cast<std::size_t>(hi - lo + 1));
    for (std::int64_t c = lo; c <= hi; ++c) {
        x.push_back(static_cast<double>(c - lo));
        y.push_back(std::log(std::max(h.channels[static_cast<std::size_t>(c)], 1)));
    }
    std::array<double, 3> a{};
    if (!fitPolynomial(x, y, a) || a[2] == 0.0) {
        return std::nullopt;
    }
    const double peak = static_cast<double>(lo) - a[1] / a[2] * 0.5;
    if (!std::isfinite(peak)) {
        return std::nullopt;
    }
    return peak;
}

WindowShift shiftWindowsToPeak(const Histogram& h, const CountWindowSettings& settings) {
    WindowShift shift;
    shift.limits = storedLimits(settings);
    const auto peak = fitReferencePeak(h, settings.referenceChannel, settings.referenceWidth);
    if (!peak) {
        return shift;
    }
    const double d = *peak - settings.referenceChannel;
    const auto n = static_cast<double>(channelCountOf(h));
    const auto inside = [&](std::int32_t limit) { return limit + d >= 0.0 && limit + d < n; };
    if (!std::all_of(shift.limits.lower.begin(), shift.limits.lower.end(), inside) ||
        !std::all_of(shift.limits.upper.begin(), shift.limits.upper.end(), inside)) {
        shift.status = WindowShiftStatus::OutsideSpectrum;
        return shift;
    }
    // Every moved limit is in [0, n), so truncation keeps it on a channel of the spectrum.
    for (std::size_t k = 0; k < 3; ++k) {
        shift.limits.lower[k] = static_cast<std::int32_t>(shift.limits.lower[k] + d);
        shift.limits.upper[k] = static_cast<std::int32_t>(shift.limits.upper[k] + d);
    }
    shift.status = WindowShiftStatus::Shifted;
    shift.offset = d;
    return shift;
}

bool findReferencePeak(const Histogram& h, CountWindowSettings& settings) {
    const auto peak = fitReferencePeak(h, settings.referenceChannel, settings.referenceWidth);
    if (!peak || !(std::trunc(*peak) >= std::numeric_limits<std::int32_t>::min() &&
                   std::trunc(*peak) <= std::numeric_limits<std::int32_t>::max())) {
        return false;
    }
    settings.referenceChannel = static_cast<std::int32_t>(*peak);
    return true;
}

CountWindowResult evaluateCountWindows(const Histogram& h, const CountWindowSettings& settings) {
    CountWindowResult result;
    // The shifted limits are a copy: the stored ones, which a paint may be drawing, never move.
    if (settings.autoShiftWindows != 0) {
        result.shift = shiftWindowsToPeak(h, settings);
    } else {
        result.shift.limits = storedLimits(settings);
    }
    const double exposure = h.rateExposure();
    for (std::size_t k = 0; k < 3; ++k) {
        const auto& limits = result.shift.limits;
        result.rates[k] = windowCounts(h, limits.lower[k], limits.upper[k]) / exposure;
    }
    const auto [n1, n2, n3] = result.rates;
    if (!(n3 >= 2.0)) {
        result.status = CountWindowStatus::LowRate;
        return result;
    }
    const auto& p = settings.countCoefficients;
    const auto& k = settings.calibrationCoefficients;
    const double x = (n1 + p[0] + n2 * p[1] + (n3 + p[3]) * p[2]) / (n3 + p[4]);
    const double c1 = (k[0] * x + k[2]) / (k[0] * k[1] * x + 1.0);
    const double y = (n2 + p[5] + (n3 + p[6]) * p[7]) / (n3 * p[8]);
    const double c2 = (k[3] * y + k[5]) / (k[3] * k[4] * y + 1.0);
    if (!std::isfinite(c1) || !std::isfinite(c2)) {
        result.status = CountWindowStatus::NotFinite;
        return result;
    }
    result.c1 = c1;
    result.c2 = c2;
    return result;
}

std::string measurementReportLine(const CountWindowResult& result, bool expanded) {
    const auto [n1, n2, n3] = result.rates;
    if (!result.evaluated()) {
        return failedLine(format("%20.0f%13.0f%13.0f", n1, n2, n3));
    }
    return expanded ? format("%20.0f%13.0f%13.0f%13.3f%13.3f", n1, n2, n3, result.c1, result.c2)
                    : format("%20.3f%20.3f", result.c1, result.c2);
}

std::string seriesReportLine(double elapsedSeconds, const CountWindowResult& result,
                             bool expanded) {
    const auto [n1, n2, n3] = result.rates;
    if (!result.evaluated()) {
        return failedLine(format("%7.3f%13.0f%13.0f%13.0f", elapsedSeconds, n1, n2, n3));
    }
    return expanded ? format("%7.3f%13.0f%13.0f%13.0f%13.3f%13.3f", elapsedSeconds, n1, n2, n3,
                             result.c1, result.c2)
                    : format("%7.3f%13.3f%13.3f", elapsedSeconds, result.c1, result.c2);
}

} // namespace kv
