#include "analysis/spectrum_arithmetic.h"

#include "model/cp1251.h"
#include "model/strings.h"

#include <cmath>
#include <limits>

namespace kv {

namespace {

std::int32_t channelOf(const Histogram& h, std::size_t i) {
    return i < h.channels.size() ? h.channels[i] : 0;
}

std::int32_t composeChannel(std::int32_t a, std::int32_t b, const ArithmeticSettings& settings) {
    using Limits = std::numeric_limits<std::int32_t>;
    const double second = b * settings.secondFactor;
    const double value = a * settings.firstFactor + (settings.subtractMode ? -second : second);
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(Limits::max())) {
        return Limits::max();
    }
    if (value <= static_cast<double>(Limits::min())) {
        return Limits::min();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

std::unique_ptr<Histogram> composeHistograms(const HistogramList& list, const Histogram& first,
                                             const Histogram& second,
                                             const ArithmeticSettings& settings) {
    auto h = list.newHistogram();
    h->kind = kKindArithmetic;
    for (std::size_t i = 0; i < h->channels.size(); ++i) {
        h->channels[i] = composeChannel(channelOf(first, i), channelOf(second, i), settings);
    }
    h->exposure = settings.firstFactor * first.exposure;
    if (!settings.subtractMode) {
        h->exposure += settings.secondFactor * second.exposure;
    }
    h->total = sumAllChannels(*h);
    h->name = first.name;
    h->comment.assign(cp1251FromUtf8(text(StringId::Composition)));
    return h;
}

} // namespace kv
