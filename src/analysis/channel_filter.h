#pragma once

// The channel filters shared by smoothing, continuum removal and the line search: a running
// mean, a Gaussian-weighted mean and three rank filters. Each output channel is computed from
// the unfiltered input; integer results are truncated toward zero. Radii and sigma are in
// channels.

#include "model/settings.h"
#include "model/histogram.h"
#include "model/histogram_list.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kv {

// The numbers are those the settings (AppConfig::smoothKind) and callers use.
enum class FilterKind : std::int32_t {
    Mean = 0,    // parameter: radius r; edges are means of the first or last k + 1 channels
    Gauss = 1,   // parameter: sigma; window of ceil(3 sigma) (at least 1) each side, clipped
    Median = 2,  // parameter: radius r; the first and last r channels stay as they are
    Maximum = 3, // as Median
    Minimum = 4, // as Median
};

// Filters channels in place, keeping its work space between calls so that a caller filtering
// whole spectra again and again (the line search) allocates only on the first call or when
// the spectrum grows.
//
// The parameter is a radius for every kind but Gauss, truncated toward zero; a radius below 1
// (or not a number) leaves the channels as they are, and one beyond the spectrum acts as a
// radius of the channel count: the mean's edge passes then cover the whole spectrum, and a
// rank filter whose window (2r + 1) is wider than the spectrum copies every channel. For Gauss
// a sigma that is not positive (or not a number) leaves the channels as they are, the limit of
// an ever narrower Gaussian; an infinite sigma gives equal weights.
class ChannelFilter {
public:
    void apply(std::span<std::int32_t> channels, FilterKind kind, double parameter);

private:
    void mean(std::span<std::int32_t> out, std::size_t radius) const;
    void gauss(std::span<std::int32_t> out, double sigma);
    void rank(std::span<std::int32_t> out, FilterKind kind, std::size_t radius);

    std::vector<std::int32_t> m_input;  // the unfiltered channels
    std::vector<std::int32_t> m_window; // a rank filter's window, ascending
    std::vector<double> m_weights;      // Gaussian weights by distance from the centre
};

// One filtering with a work space of its own, for callers that filter once.
void filterChannels(std::span<std::int32_t> channels, FilterKind kind, double parameter);

// The smoothing dialog's computation after it has stored its settings: adds a copy of the
// current histogram (duplicateCurrent) with comment "Результат фильтрации", its channels
// filtered by the Gaussian mean with smoothSigma when smoothKind is 1 and by the running mean
// with smoothRadius otherwise, and its total recounted. Returns the copy, now current, or
// nothing when the list is empty.
Histogram* smoothCurrentHistogram(HistogramList& list, const FilterSettings& settings);

} // namespace kv
