#pragma once

// The peak search by local fits ("Поиск пиков"): a start channel steps across the region
// between the boundaries; from each start a parabola is fitted to the logarithm of the counts
// in a window around a moving centre until the centre settles (a Gaussian is a parabola in
// log space). New peaks narrow enough are kept and drawn as their Gaussians into a result
// histogram that holds nothing else.
//
// Channels are 0-based; centres and widths are in channels, areas in counts.

#include "model/settings.h"
#include "model/histogram.h"
#include "model/histogram_list.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kv {

// Accepted peaks one search keeps; the search ends when one more would not fit.
inline constexpr std::size_t kMaxAcceptedPeaks = 1024;

// The settings dialog's values, kept only while the program runs.
struct PeakSearchSettings {
    std::int32_t searchRange = 40; // R: the fit window reaches R channels each side
    double searchSigmaMax = 40.0;  // channels; wider peaks are not kept
};

struct LocalPeak {
    double area = 0.0;   // counts
    double centre = 0.0; // channel, fractional
    double sigma = 0.0;  // channels
};

enum class LocalPeakStatus {
    Found,
    WindowTooNarrow,   // 3 channels or fewer in the window
    Singular,          // the parabola fit failed
    NoMaximum,         // the parabola does not open downward
    CentreOutside,     // the vertex lies outside the spectrum
    TooManyIterations, // the centre did not settle within 19 fits
    Inconsistent,      // the Gaussian's sum misses the counts' by more than 10 sqrt(sum)
    TooWide,           // sigma above the limit
};

struct LocalPeakOutcome {
    LocalPeakStatus status = LocalPeakStatus::Found;
    int iterations = 0; // parabola fits made
    LocalPeak peak;     // only when found

    bool found() const { return status == LocalPeakStatus::Found; }
};

// Sum of coefficients[k] x^k, the powers formed by repeated multiplication from 1; 0 for no
// coefficients.
double evaluatePolynomial(double x, std::span<const double> coefficients);

// Channels between start channels for the window reach range: range / 2, at least 1.
std::int32_t peakSearchStep(std::int32_t range);

// One local fit from channel start: ln(count) (counts below 2 read as 1) is fitted by a
// parabola over the channels within range of the centre (clipped to the spectrum), the centre
// moves to the vertex, and the fit is repeated until it moves by less than one channel. Any
// start and range are safe; a start outside the spectrum simply finds nothing or a peak its
// window reaches.
LocalPeakOutcome fitLocalPeak(std::span<const std::int32_t> counts, std::int32_t start,
                              std::int32_t range, double sigmaMax);

// Adds the peak's Gaussian to channels from trunc(max(centre - 3 sigma, 0)) while the channel
// is at most min(centre + 3 sigma, last channel), each sum truncated toward zero; sums beyond
// the largest count saturate there.
void drawLocalPeak(std::span<std::int32_t> channels, const LocalPeak& peak);

struct PeakSearchResult {
    // The source's header (kind, name, comment, created, total, exposure) with zero channels
    // but the accepted peaks.
    Histogram histogram;
    std::vector<LocalPeak> peaks;   // accepted, in the order found
    bool stoppedAtCapacity = false; // a new peak found after kMaxAcceptedPeaks; search ended
};

// Searches source between firstChannel and lastChannel (the left boundary is never a start).
// Boundaries may lie anywhere, also beyond the spectrum or reversed (no starts then); only
// starts whose window can hold a fit are tried, so extreme boundaries cost no time.
PeakSearchResult findPeaks(const Histogram& source, std::int32_t firstChannel,
                           std::int32_t lastChannel, const PeakSearchSettings& settings);

// Command 309 after its dialog: searches the current histogram between the plot's boundaries
// and adds the result histogram to the list as is (kind, comment and total of the source; the
// name renumbered), also when nothing was found; it becomes current. The returned value holds
// the peaks, its histogram left empty. Nothing without a current histogram.
std::optional<PeakSearchResult> runPeakSearch(HistogramList& list, const PlotSettings& plot,
                                              const PeakSearchSettings& settings);

} // namespace kv
