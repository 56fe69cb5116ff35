#include "analysis/channel_filter.h"

#include "model/cp1251.h"
#include "model/strings.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kv {

namespace {

// A radius parameter as a number of channels: truncated toward zero, at most channelCount.
std::size_t radiusOf(double parameter, std::size_t channelCount) {
    if (!(parameter >= 1.0)) {
        return 0;
    }
    return parameter >= static_cast<double>(channelCount) ? channelCount
                                                          : static_cast<std::size_t>(parameter);
}

// Replaces one occurrence of leaving in the ascending window by entering. Only the values
// between the two positions move, so a step costs the binary searches plus the distance the
// value travels, never a sort.
void replaceSorted(std::span<std::int32_t> window, std::int32_t leaving, std::int32_t entering) {
    const auto at = std::lower_bound(window.begin(), window.end(), leaving);
    if (entering > leaving) {
        const auto end = std::lower_bound(at + 1, window.end(), entering);
        std::move(at + 1, end, at);
        *(end - 1) = entering;
    } else {
        const auto begin = std::upper_bound(window.begin(), at, entering);
        std::move_backward(begin, at, at + 1);
        *begin = entering;
    }
}

} // namespace

void ChannelFilter::apply(std::span<std::int32_t> channels, FilterKind kind, double parameter) {
    const std::size_t n = channels.size();
    const std::size_t radius = radiusOf(parameter, n);
    switch (kind) {
    case FilterKind::Mean:
        if (radius > 0) {
            m_input.assign(channels.begin(), channels.end());
            mean(channels, radius);
        }
        return;
    case FilterKind::Gauss:
        if (parameter > 0.0 && n > 0) {
            m_input.assign(channels.begin(), channels.end());
            gauss(channels, parameter);
        }
        return;
    case FilterKind::Median:
    case FilterKind::Maximum:
    case FilterKind::Minimum:
        // A window wider than the spectrum leaves no interior channel: the copied edges
        // cover everything.
        if (radius > 0 && 2 * radius < n) {
            m_input.assign(channels.begin(), channels.end());
            rank(channels, kind, radius);
        }
        return;
    }
}

void ChannelFilter::mean(std::span<std::int32_t> out, std::size_t radius) const {
    const std::span<const std::int32_t> c = m_input;
    const std::size_t n = c.size();
    // Sums are 64-bit: 2r + 1 counts near the int32 limit overflow 32 bits, while the mean
    // itself always fits. Both edges are filled in one pass, the left value first, so where
    // they overlap (r > n / 2) the later write stands.
    std::int64_t left = 0;
    std::int64_t right = 0;
    for (std::size_t k = 0; k < radius; ++k) {
        left += c[k];
        right += c[n - 1 - k];
        const auto count = static_cast<std::int64_t>(k + 1);
        out[k] = static_cast<std::int32_t>(left / count);
        out[n - 1 - k] = static_cast<std::int32_t>(right / count);
    }
    if (2 * radius >= n) {
        return;
    }
    const auto width = static_cast<std::int64_t>(2 * radius + 1);
    std::int64_t sum = std::accumulate(
        c.begin(), c.begin() + static_cast<std::ptrdiff_t>(2 * radius), std::int64_t{0});
    for (std::size_t i = radius; i + radius < n; ++i) {
        sum += c[i + radius];
        out[i] = static_cast<std::int32_t>(sum / width);
        sum -= c[i - radius];
    }
}

void ChannelFilter::gauss(std::span<std::int32_t> out, double sigma) {
    const std::span<const std::int32_t> c = m_input;
    const std::size_t n = c.size();
    // The half-width is kept in floating point until clipped to the spectrum, so that a huge
    // or infinite sigma never reaches the integer conversion; clipping changes nothing, as
    // the window is cut at the ends anyway.
    const double reach = std::max(std::ceil(3.0 * sigma), 1.0);
    const std::size_t a =
        reach >= static_cast<double>(n - 1) ? n - 1 : static_cast<std::size_t>(reach);

    // The normalisation 1 / (sqrt(2 pi) sigma) cancels in the ratio and is left out; it is
    // also what would turn an infinite sigma into 0 / 0.
    m_weights.resize(2 * a + 1);
    for (std::size_t d = 0; d <= a; ++d) {
        const double t = static_cast<double>(d) / sigma;
        m_weights[a + d] = m_weights[a - d] = std::exp(-0.5 * t * t);
    }

    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t first = i >= a ? i - a : 0;
        const std::size_t last = std::min(i + a, n - 1);
        const double* w = m_weights.data() + (a + first - i);
        // The weighted mean is taken as the centre count plus the weighted mean deviation
        // from it: the same value, but a flat or straight stretch comes out in whole counts,
        // whereas sum(w c) / sum(w) lands just below them through rounding and truncation
        // would turn a flat 100 into 99.
        const double centre = c[i];
        double weightSum = 0.0;
        double deviationSum = 0.0;
        for (std::size_t j = first; j <= last; ++j, ++w) {
            weightSum += *w;
            deviationSum += *w * (c[j] - centre);
        }
        out[i] = static_cast<std::int32_t>(centre + deviationSum / weightSum);
    }
}

void ChannelFilter::rank(std::span<std::int32_t> out, FilterKind kind, std::size_t radius) {
    const std::span<const std::int32_t> c = m_input;
    const std::size_t n = c.size();
    const std::size_t width = 2 * radius + 1;
    const auto edge = static_cast<std::ptrdiff_t>(radius);
    std::copy(c.begin(), c.begin() + edge, out.begin());
    std::copy(c.end() - edge, c.end(), out.end() - edge);

    // The window is kept sorted as it slides, one value leaving and one entering per channel;
    // the ranks taken are those of the descending sort: median r, maximum 0, minimum 2r.
    m_window.assign(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(width));
    std::sort(m_window.begin(), m_window.end());
    const std::size_t pick = kind == FilterKind::Median    ? radius
                             : kind == FilterKind::Maximum ? width - 1
                                                           : 0;
    for (std::size_t i = radius;; ++i) {
        out[i] = m_window[pick];
        if (i + radius + 1 == n) {
            break;
        }
        replaceSorted(m_window, c[i - radius], c[i + radius + 1]);
    }
}

void filterChannels(std::span<std::int32_t> channels, FilterKind kind, double parameter) {
    ChannelFilter filter;
    filter.apply(channels, kind, parameter);
}

Histogram* smoothCurrentHistogram(HistogramList& list, const FilterSettings& settings) {
    Histogram* copy = list.duplicateCurrent();
    if (!copy) {
        return nullptr;
    }
    copy->comment.assign(cp1251FromUtf8(text(StringId::FilterResult)));
    if (settings.smoothKind == static_cast<std::int32_t>(FilterKind::Gauss)) {
        filterChannels(copy->channels, FilterKind::Gauss, settings.smoothSigma);
    } else {
        filterChannels(copy->channels, FilterKind::Mean, settings.smoothRadius);
    }
    copy->total = sumAllChannels(*copy);
    return copy;
}

} // namespace kv
