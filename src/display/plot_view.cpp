#include "display/plot_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kv {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Widens [low, high] by the displayed values of h over the channels first..last that it has;
// false when it has none of them.
bool widenByVisibleValues(const Histogram& h, YAxisMode mode, std::int32_t first, std::int32_t last,
                          double& low, double& high) {
    const std::int64_t from = std::max<std::int64_t>(first, 0);
    const std::int64_t to = std::min<std::int64_t>(last, std::ssize(h.channels) - 1);
    if (from > to) {
        return false;
    }
    // The scale is positive, so the extreme counts give the extreme values: a pass over the
    // counts, which a plot of a million channels makes on every paint.
    const double scale = displayScale(h, mode);
    const auto [fewest, most] = countExtremes(
        std::span(h.channels)
            .subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from + 1)));
    low = std::min(low, fewest * scale);
    high = std::max(high, most * scale);
    return true;
}

// trunc toward zero, as the pixel arithmetic is defined, held to a range any device takes.
int toPixel(double position, int ifNotANumber) {
    if (std::isnan(position)) {
        return ifNotANumber;
    }
    return static_cast<int>(std::clamp(position, -double(kPixelLimit), double(kPixelLimit)));
}

// k steps of unit on the side given by negative; never -0, which would print as "-0".
double signedMultiple(std::int64_t k, double unit, bool negative) {
    if (k == 0) {
        return 0.0;
    }
    return static_cast<double>(k) * unit * (negative ? -1.0 : 1.0);
}

} // namespace

YAxisMode yAxisMode(const PlotSettings& plot) {
    switch (plot.yAxisMode) {
    case 1:
        return YAxisMode::Intensity;
    case 2:
        return YAxisMode::Probability;
    default:
        return YAxisMode::Counts;
    }
}

double displayScale(const Histogram& h, YAxisMode mode) {
    switch (mode) {
    case YAxisMode::Intensity:
        return 1.0 / h.rateExposure();
    case YAxisMode::Probability:
        return 100.0 / (h.total < 2 ? 1.0 : static_cast<double>(h.total));
    case YAxisMode::Counts:
        break;
    }
    return 1.0;
}

bool computeVerticalRange(PlotView& view, const PlotSettings& plot, const HistogramList& list) {
    const YAxisMode mode = yAxisMode(plot);
    double low = kInfinity;
    double high = -kInfinity;
    bool found = false;
    if (plot.showSelectedOnly != 0) {
        const Histogram* selected = list.currentHistogram();
        found = selected != nullptr && widenByVisibleValues(*selected, mode, plot.firstChannel,
                                                            plot.lastChannel, low, high);
    } else {
        for (int i = 0; i < list.histogramCount(); ++i) {
            if (list.isMarked(i) &&
                widenByVisibleValues(*list.histogramAt(i), mode, plot.firstChannel,
                                     plot.lastChannel, low, high)) {
                found = true;
            }
        }
    }
    if (!found) {
        return false;
    }
    view.yMin = low;
    view.yMax = high;
    return true;
}

void roundVerticalRange(PlotView& view) {
    if (!std::isfinite(view.yMin) || !std::isfinite(view.yMax)) {
        return;
    }
    const double magnitude = std::max(std::abs(view.yMin), std::abs(view.yMax));
    if (magnitude == 0.0) {
        view.yMin = 0.0;
        view.yMax = 0.0;
        return;
    }
    const double unit = std::pow(10.0, std::trunc(std::log10(magnitude)) - 1.0);
    if (!(unit > 0.0) || !std::isfinite(magnitude / unit)) {
        return;
    }
    // magnitude / unit lies between 1 and 100, so the counts of units fit any integer.
    const double units = std::ceil(magnitude / unit);
    const std::int64_t step = units <= 10 ? 1 : units <= 30 ? 5 : units <= 60 ? 10 : 20;

    const bool lowNegative = view.yMin < 0.0;
    const double lowUnits = std::abs(view.yMin) / unit;
    std::int64_t k = static_cast<std::int64_t>(lowUnits);
    if (lowNegative && lowUnits != std::trunc(lowUnits)) {
        ++k;
    }
    if (k % step != 0) {
        k = step * (k / step) + (lowNegative ? step : 0);
    }

    const bool highNegative = view.yMax < 0.0;
    const double highUnits = std::abs(view.yMax) / unit;
    std::int64_t t = static_cast<std::int64_t>(highUnits);
    if (!highNegative && highUnits != std::trunc(highUnits)) {
        ++t;
    }
    if (t % step != 0) {
        t = step * (t / step) + (highNegative ? 0 : step);
    }

    view.yMin = signedMultiple(k, unit, lowNegative);
    view.yMax = signedMultiple(t, unit, highNegative);
}

std::pair<std::int32_t, std::int32_t> countExtremes(std::span<const std::int32_t> counts) {
    std::int32_t fewest = counts.front();
    std::int32_t most = counts.front();
    for (const std::int32_t count : counts) {
        fewest = std::min(fewest, count);
        most = std::max(most, count);
    }
    return {fewest, most};
}

int channelToPixelX(const PlotSettings& plot, double channel, const PixelRect& rect) {
    double width = static_cast<double>(plot.lastChannel) - plot.firstChannel;
    if (width == 0.0) {
        width = 1.0;
    }
    const double left = rect.left;
    return toPixel((channel - plot.firstChannel) / width * (rect.right - left) + left, rect.left);
}

PixelPoint mapToPixel(const PlotView& view, const PlotSettings& plot, double channel, double value,
                      double logFloor, const PixelRect& rect) {
    const double bottom = rect.bottom;
    const int x = channelToPixelX(plot, channel, rect);

    const bool fromZero = plot.fromZero != 0;
    double span = fromZero ? view.yMax : view.yMax - view.yMin;
    const double shifted = fromZero ? value : value - view.yMin;
    if (span == 0.0) {
        span = 1.0;
    }
    double f = shifted / span;
    if (plot.logScale != 0) {
        const double floor = (std::isfinite(logFloor) && logFloor > 0.0) ? logFloor : 1.0;
        if (!(shifted > floor && span > floor)) {
            return {x, rect.bottom};
        }
        // A span above the floor by less than the logarithm resolves has no height to scale.
        const double decades = std::log(span) - std::log(floor);
        if (!(decades > 0.0)) {
            return {x, rect.bottom};
        }
        f = (std::log(shifted) - std::log(floor)) / decades;
    }
    return {x, toPixel(bottom - f * (bottom - rect.top), rect.bottom)};
}

} // namespace kv
