#pragma once

// The count windows of X-ray measurements: the count rates N1..N3 in three channel windows,
// combined with the coefficients P0..P8 and K0..K5 into the two results C1 and C2. Before an
// evaluation the windows can follow the spectrum: a parabola fitted to the logarithm of the
// counts around the reference channel locates the reference peak (the vertex of ln of a
// Gaussian is its centre), and the windows move by the peak's offset for that evaluation only.
//
// Channels are 0-based; rates are counts per second. Everything here only reads the settings,
// so a worker thread evaluates with its own copy while the user-interface thread paints and
// edits the stored one.

#include "model/histogram.h"
#include "model/settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// What reports show for C1 and C2 when the evaluation fails.
inline constexpr std::string_view kUndefinedResult = "Не определено";

// Inclusive limits of windows 1-3, as stored in windowLower and windowUpper.
struct CountWindowLimits {
    std::array<std::int32_t, 3> lower{};
    std::array<std::int32_t, 3> upper{};

    bool operator==(const CountWindowLimits&) const = default;
};

CountWindowLimits storedLimits(const CountWindowSettings& settings);

// Vertex of the parabola a0 + a1 x + a2 x^2 fitted by unweighted least squares to
// ln(max(count, 1)) over channels referenceChannel -/+ referenceWidth / 2 (cut to the spectrum;
// the region is not otherwise limited, wide spectra included). Nothing when the region has
// fewer than three channels, the fit is singular, a2 is exactly 0 or the vertex is not finite.
std::optional<double> fitReferencePeak(const Histogram& h, std::int32_t referenceChannel,
                                       std::int32_t referenceWidth);

enum class WindowShiftStatus {
    Shifted,
    NoPeak,          // the reference fit found no vertex
    OutsideSpectrum, // some limit would leave the spectrum, so no window moves
};

struct WindowShift {
    WindowShiftStatus status = WindowShiftStatus::NoPeak;
    double offset = 0.0;      // channels from referenceChannel to the peak; 0 without a peak
    CountWindowLimits limits; // shifted and truncated toward zero, or the stored ones
};

// The stored limits moved by the reference peak's offset. The shift is all or nothing: made
// only when every moved limit lies in [0, channel count).
WindowShift shiftWindowsToPeak(const Histogram& h, const CountWindowSettings& settings);

// Sets referenceChannel to the reference peak's vertex truncated toward zero (it may then lie
// outside the spectrum; the next fit cuts its region to the spectrum). False, with the setting
// unchanged, when there is no vertex or it does not fit in an int32.
bool findReferencePeak(const Histogram& h, CountWindowSettings& settings);

enum class CountWindowStatus {
    Evaluated,
    LowRate,   // N3 below 2 counts per second
    NotFinite, // a denominator of the formulas is 0 for these coefficients (C1 or C2 not finite)
};

struct CountWindowResult {
    CountWindowStatus status = CountWindowStatus::Evaluated;
    std::array<double, 3> rates{}; // N1..N3, always delivered
    double c1 = 0.0;               // C1 and C2 only when evaluated
    double c2 = 0.0;
    WindowShift shift; // the windows summed are shift.limits

    bool evaluated() const { return status == CountWindowStatus::Evaluated; }
};

// Evaluates h in the count windows, shifted to the reference peak first when autoShiftWindows
// is set. A window's counts are those of its channels inside the spectrum (a limit beyond the
// spectrum is taken as its end; a window wholly outside counts 0). Rates divide by the
// exposure, a record without a usable one counting as 1 s.
CountWindowResult evaluateCountWindows(const Histogram& h, const CountWindowSettings& settings);

// The report log line of an X-ray measurement: "%20.0f%13.0f%13.0f%13.3f%13.3f" with N1..N3,
// C1, C2 when expanded, else "%20.3f%20.3f" with C1, C2; a failed evaluation gives
// "%20.0f%13.0f%13.0f Не определено" with N1..N3 either way.
std::string measurementReportLine(const CountWindowResult& result, bool expanded);

// The report log line of one measurement of an X-ray series, elapsedSeconds from the first:
// "%7.3f%13.0f%13.0f%13.0f%13.3f%13.3f" with N1..N3, C1, C2 when expanded, else
// "%7.3f%13.3f%13.3f"; a failed evaluation gives "%7.3f%13.0f%13.0f%13.0f Не определено".
std::string seriesReportLine(double elapsedSeconds, const CountWindowResult& result, bool expanded);

} // namespace kv
