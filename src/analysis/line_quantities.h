#pragma once

// Quantitative results of the line search, an option beside the search itself: line areas
// refitted on the raw counts with their counting errors, and Currie's detection limits for the
// library isotopes that were not found.
//
// The search fits peaks on the continuum-free, smoothed spectrum, and the continuum removal takes
// part of every peak with it (weak lines lose most). The refit puts a Gaussian on a local
// straight line over the raw counts instead, by Poisson maximum likelihood: lines closer than
// 3 sigma are fitted together, and lines near the window take part with their centres fixed.
//
// The efficiency table holds no uncertainties, so every error here is counting statistics only.

#include "analysis/identification.h"
#include "analysis/line_search.h"
#include "model/energy_calibration.h"
#include "model/histogram.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace kv {

struct RefinedLine {
    bool refined = false;     // false: the refit failed and the search's values stand
    double area = 0.0;        // counts
    double areaError = 0.0;   // counts; 0 when not refined
    double position = 0.0;    // channel
    double centreError = 0.0; // channels; 0 when not refined
    double sigma = 0.0;       // channels, the refit's or else the search's
};

// Refits every line of result on spectrum's raw counts and, for each refit that holds, replaces
// the line's rate, position and energy in result.lines by the refit's. Returns one entry per
// line in the table's order. A line without its width in result.sigmas is not refitted.
std::vector<RefinedLine> refineLines(const Histogram& spectrum, LineSearchResult& result,
                                     const EnergyCalibration& calibration);

// The standard error of a value proportional to a refined line's area (its rate, efficiency-
// corrected rate or activity). Nothing for a line whose refit failed or a value not finite.
std::optional<double> proportionalError(const RefinedLine& line, double value);

// Currie's quantities (Currie 1968, "Limits for qualitative detection and quantitative
// determination") for a line at a channel: the region is the channels within 1.25 FWHM of it,
// its background the counts of the flanking channels on both sides (together as wide as the
// region) scaled to the region's width. All in counts.
struct CurrieLimits {
    double gross = 0.0;             // counts in the region
    double background = 0.0;        // their estimated background
    double net = 0.0;               // gross - background
    double decisionThreshold = 0.0; // L_C: net counts above it mean a line is there (5 % false)
    double detectionLimit = 0.0;    // L_D as a line's area: detected 95 % of the time
};

// Nothing when the region and its flanks do not fit inside the spectrum or fwhm is not positive.
std::optional<CurrieLimits> currieLimits(std::span<const std::int32_t> spectrum, double centre,
                                         double fwhm);

// The full width at half maximum in channels against energy: FWHM^2 = a + b E fitted to the
// refined lines (a constant for one). Nothing without a refined line.
class WidthCurve {
public:
    static std::optional<WidthCurve> fit(const FoundLines& lines,
                                         std::span<const RefinedLine> refined);
    double fwhmAt(double energyKeV) const;

private:
    double m_offset = 0.0;
    double m_perKeV = 0.0;
    double m_narrowest = 0.0; // the fitted lines' smallest FWHM^2, a floor for extrapolation
};

struct DetectionLimit {
    std::size_t isotope = 0; // index in the database
    std::size_t line = 0;    // its strongest line that counts in the line check
    double limit = 0.0;      // becquerel when inBecquerel, else counts per second in the line
    bool inBecquerel = false;
};

// For every enabled isotope none of whose lines identifies a found line: the detection limit of
// its strongest eligible line (see LineIdentifier::lineEligible with lineThreshold), from
// spectrum at that line's channel. An activity where the efficiency is known (the correction is
// on and the table has points), else the line's count rate. Isotopes whose line lies too near
// the spectrum's ends are left out.
std::vector<DetectionLimit> detectionLimits(const Histogram& spectrum,
                                            const LineIdentifier& identifier,
                                            const WidthCurve& widths,
                                            const EnergyCalibration& calibration);

} // namespace kv
