#include "display/cursor.h"

#include "model/energy_calibration.h"
#include "model/strings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

namespace kv {

namespace {

constexpr std::int32_t kEnergyAxis = 1;

// The string table's read-out formats as snprintf takes them: their %d becomes %lld, so an
// integral above 2^31 counts is not shown wrapped, and the bare '%' that ends the probability
// format (meant literally) becomes %%.
std::string printfFormat(StringId id) {
    const std::string_view source = text(id);
    std::string format;
    for (std::size_t i = 0; i < source.size(); ++i) {
        format += source[i];
        if (source[i] != '%') {
            continue;
        }
        if (i + 1 == source.size() || source[i + 1] == '%') {
            format += '%';
            ++i;
        } else if (source[i + 1] == 'd') {
            format += "ll";
        }
    }
    return format;
}

template <typename... Args> std::string formatText(StringId id, Args... args) {
    const std::string format = printfFormat(id);
    std::string out(static_cast<std::size_t>(std::snprintf(nullptr, 0, format.c_str(), args...)),
                    '\0');
    std::snprintf(out.data(), out.size() + 1, format.c_str(), args...);
    return out;
}

// A truncated quotient as an integer, held within range so an odd exposure cannot overflow it.
long long truncated(double value) {
    constexpr double kLimit = 9.0e18;
    return static_cast<long long>(std::clamp(value, -kLimit, kLimit));
}

// The header's total as a divisor: below 2 counts as 1, so an empty histogram reads 0.
double totalDivisor(const Histogram& h) {
    return h.total < 2 ? 1.0 : static_cast<double>(h.total);
}

// The channel at a fraction of the visible span, truncated, as boundaries and zoom take it.
std::int32_t channelAt(const PlotSettings& plot, double fraction) {
    const double span = static_cast<double>(plot.lastChannel) - plot.firstChannel;
    return static_cast<std::int32_t>(std::trunc(span * fraction + plot.firstChannel));
}

} // namespace

double cursorPosition(const PlotView& view, const PlotSettings& plot) {
    const double span = static_cast<double>(plot.lastChannel) - plot.firstChannel;
    return plot.firstChannel + span * view.cursorFraction;
}

std::int32_t cursorChannel(const PlotView& view, const PlotSettings& plot) {
    return static_cast<std::int32_t>(roundHalfDown(cursorPosition(view, plot)));
}

int cursorColumn(const PlotView& view) {
    const PixelRect& r = view.plotRect;
    return static_cast<int>(std::trunc(r.left + (r.right - r.left) * view.cursorFraction));
}

bool isOnCursor(const PlotView& view, int x, int y) {
    const int column = cursorColumn(view);
    return y > view.plotRect.top && y < view.plotRect.bottom && x > column - 2 && x < column + 2;
}

void beginCursorDrag(PlotView& view) {
    view.cursorDragging = true;
    view.dragStartFraction = view.cursorFraction;
}

void dragCursorTo(PlotView& view, int x) {
    const PixelRect& r = view.plotRect;
    if (r.right <= r.left) {
        return;
    }
    view.cursorFraction =
        std::clamp(static_cast<double>(x - r.left) / (r.right - r.left), 0.0, 1.0);
}

bool endCursorDrag(PlotView& view, PlotSettings& plot) {
    view.cursorDragging = false;
    const bool zoom = std::exchange(view.zoomArmed, false);
    if (!zoom || view.dragStartFraction == view.cursorFraction) {
        return false;
    }
    const auto [first, last] = std::minmax(
        {channelAt(plot, view.dragStartFraction), channelAt(plot, view.cursorFraction)});
    if (first == last) {
        return false;
    }
    plot.firstChannel = first;
    plot.lastChannel = last;
    return true;
}

void placeCursorAt(PlotView& view, const PlotSettings& plot, double channel) {
    if (std::isnan(channel)) {
        return;
    }
    const double span = static_cast<double>(plot.lastChannel) - plot.firstChannel;
    view.cursorFraction =
        span > 0.0 ? std::clamp((channel - plot.firstChannel) / span, 0.0, 1.0) : 0.0;
}

bool stepCursor(PlotView& view, const PlotSettings& plot, int delta) {
    const long long span = static_cast<long long>(plot.lastChannel) - plot.firstChannel;
    if (span <= 0) {
        return false;
    }
    const long long offset =
        static_cast<long long>(cursorChannel(view, plot)) + delta - plot.firstChannel;
    view.cursorFraction =
        std::clamp(static_cast<double>(offset) / static_cast<double>(span), 0.0, 1.0);
    return true;
}

bool setBoundary(PlotView& view, PlotSettings& plot, std::int32_t channelCount, Boundary which) {
    switch (which) {
    case Boundary::Left: {
        const std::int32_t first = channelAt(plot, view.cursorFraction);
        if (first >= plot.lastChannel) {
            return false;
        }
        plot.firstChannel = first;
        break;
    }
    case Boundary::Right: {
        const std::int32_t last = channelAt(plot, view.cursorFraction);
        if (last <= plot.firstChannel) {
            return false;
        }
        plot.lastChannel = last;
        break;
    }
    case Boundary::None:
        plot.firstChannel = 0;
        plot.lastChannel = std::max(channelCount, 1) - 1;
        break;
    }
    view.cursorFraction = 0.5;
    return true;
}

std::string cursorReadout(const PlotView& view, const PlotSettings& plot,
                          const EnergyCalibration& calibration, const HistogramList& list) {
    const Histogram* h = list.currentHistogram();
    const std::int32_t c = cursorChannel(view, plot);
    if (!h || c < 0 || c >= list.channelCount() ||
        static_cast<std::size_t>(c) >= h->channels.size()) {
        return {};
    }
    std::string readout = plot.xAxisMode == kEnergyAxis
                              ? formatText(StringId::CursorEnergy,
                                           calibration.channelToEnergy(c, list.channelCount()))
                              : formatText(StringId::CursorChannel, static_cast<long long>(c) + 1);
    const double count = h->channels[static_cast<std::size_t>(c)];
    switch (yAxisMode(plot)) {
    case YAxisMode::Counts:
        readout += formatText(StringId::CursorCounts, static_cast<long long>(count));
        break;
    case YAxisMode::Intensity:
        readout += formatText(StringId::CursorIntensity, count / h->rateExposure());
        break;
    case YAxisMode::Probability:
        readout += formatText(StringId::CursorProbability, count * 100.0 / totalDivisor(*h));
        break;
    }
    return readout;
}

std::string rangeStatistics(const PlotSettings& plot, const EnergyCalibration& calibration,
                            const HistogramList& list) {
    const Histogram* h = list.currentHistogram();
    if (!h) {
        return {};
    }
    const RangeMoments m = rangeMoments(*h, plot.firstChannel, plot.lastChannel);
    const double sigma = std::sqrt(std::abs(m.variance));
    long long integral = m.sum;
    switch (yAxisMode(plot)) {
    case YAxisMode::Counts:
        break;
    case YAxisMode::Intensity:
        integral = truncated(m.sum / h->rateExposure());
        break;
    case YAxisMode::Probability:
        integral = truncated(m.sum / totalDivisor(*h));
        break;
    }
    if (plot.xAxisMode != kEnergyAxis) {
        return formatText(StringId::RangeStatisticsChannels, integral, m.mean + 1.0, sigma);
    }
    const std::int32_t channels = list.channelCount();
    const double keVPerChannel = calibration.channelToEnergy(m.mean + 0.5, channels) -
                                 calibration.channelToEnergy(m.mean - 0.5, channels);
    return formatText(StringId::RangeStatisticsEnergy, integral,
                      calibration.channelToEnergy(m.mean, channels), sigma * keVPerChannel);
}

} // namespace kv
