#pragma once

// Continuum removal and the line search. The continuum is what is left of a spectrum after
// its peaks are cut out by repeated median filtering and the rest is smoothed; the search fits
// a Gaussian wherever the continuum-free spectrum rises above a noise level derived from the
// continuum, and keeps the peaks narrow enough to be lines.

#include "analysis/channel_filter.h"
#include "analysis/found_lines.h"
#include "fitting/peak_fit.h"
#include "model/settings.h"
#include "model/energy_calibration.h"
#include "model/histogram_list.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace kv {

// Replaces channels by channels minus their continuum: five median passes of rejectRadius
// (none when it is below 1), then a running mean of smoothRadius (none below 1). Results may
// be negative. The filter's work space is reused.
void subtractContinuum(std::span<std::int32_t> channels, std::int32_t rejectRadius,
                       std::int32_t smoothRadius, ChannelFilter& filter);

struct LineSearchResult {
    FoundLines lines;          // in ascending channel order
    bool tooManyPeaks = false; // the search stopped at the table's capacity
    bool stopped = false;      // stopped on request before it ended; the rest is incomplete
    PeakFit lastPeak;          // the last accepted fit, centre as a channel of the spectrum
    bool foundAny = false;     // whether lastPeak holds a fit
    // Each line's fitted width (sigma) in channels, in the order of lines.
    std::vector<double> sigmas;
    // The diagnostic spectra: what was fitted, the noise level, and the sum of fitted peaks
    // (zero outside +-4 sigma of every accepted peak).
    std::vector<std::int32_t> fitted;
    std::vector<std::int32_t> level;
    std::vector<std::int32_t> peaks;
};

// The line search over one spectrum (rejectRadius, continuumSmoothRadius, removeContinuum,
// searchRadii, levelFactor, maxPeakWidth of settings). Rates are area / exposure (see
// Histogram::rateExposure), energies from calibration at the spectrum's channel count.
LineSearchResult searchLines(const Histogram& spectrum, const LineSearchSettings& settings,
                             const EnergyCalibration& calibration);

// The same, on any thread, stopping soon after stop becomes true (between filter passes and
// between candidate peaks) with result.stopped set.
LineSearchResult searchLines(const Histogram& spectrum, const LineSearchSettings& settings,
                             const EnergyCalibration& calibration, const std::atomic<bool>& stop);

// The line search command's diagnostic histograms for the search of spectrum, as the settings
// ask for them: copies of spectrum with the comments "Оригинал" (the fitted spectrum), "Уровень"
// (the noise level) and "Результат" (the sum of fitted peaks), in this order after the list's
// last entry, the last one current. Their totals stay those of spectrum. The result's spectra
// are moved into them.
void addDiagnosticHistograms(HistogramList& list, const Histogram& spectrum,
                             const LineSearchSettings& settings, LineSearchResult& result);

// "Выделение пиков": adds a copy of the current histogram with the continuum subtracted
// (comment "Континуум удален") and its total recounted; returns it, or nothing with an empty
// list.
Histogram* extractPeaks(HistogramList& list, const LineSearchSettings& settings);

} // namespace kv
