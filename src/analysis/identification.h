#pragma once

// Identification of found lines against the isotope database, the activities derived from it,
// and the found-lines window's texts. Energies in keV, rates in counts per second, intensities
// in emissions per decay, activities in becquerel.
//
// The database is whatever the caller holds: the database window's table (unsaved edits
// included) while it is open, otherwise one load of the file for the whole table or printout.

#include "analysis/found_lines.h"
#include "analysis/isotope_database.h"
#include "model/settings.h"
#include "model/energy_calibration.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

struct LineMatch {
    std::size_t isotope = 0; // index in the database
    std::size_t line = 0;    // index in that record's lines

    friend bool operator==(const LineMatch&, const LineMatch&) = default;
};

// Looks found lines up in a database. Holds references only: build one per use.
class LineIdentifier {
public:
    // lineThreshold, checkLines, linesNeeded, energyFrom and energyTo of settings make the line
    // check; lineTolerance, efficiencyCorrection and the efficiency table the texts. The
    // calibrated span is the energies of the first and the last of channelCount channels.
    LineIdentifier(const IsotopeDatabase& database, const FoundLines& foundLines,
                   const IdentificationSettings& settings, const EfficiencyCalibration& efficiency,
                   const EnergyCalibration& calibration, std::int32_t channelCount);

    const IsotopeDatabase& database() const { return m_database; }
    const FoundLines& foundLines() const { return m_foundLines; }
    const IdentificationSettings& settings() const { return m_settings; }
    const EfficiencyCalibration& efficiency() const { return m_efficiency; }

    // The line check. False for a disabled isotope (or an index outside the database).
    // Otherwise the isotope's lines are taken in record order (strongest first), counting only
    // lines of at least threshold intensity that lie strictly inside both the calibrated span
    // and energyFrom..energyTo. Each must have a found line closer than tolerance; the first one
    // missing rejects the isotope, and once linesNeeded have been found it is confirmed. An
    // isotope with no line to count passes.
    bool isotopeConfirmed(std::size_t isotope, double threshold, double tolerance) const;

    // Whether a database line counts in the line check: of at least threshold intensity and
    // strictly inside both the calibrated span and energyFrom..energyTo.
    bool lineEligible(const IsotopeLine& line, double threshold) const;

    // The database line nearest to energyKeV, closer than toleranceKeV, of an isotope that
    // passes the line check (when checkLines is on; with it off the enabled marks play no
    // part). On equal distances the first in database order wins.
    std::optional<LineMatch> identifyLine(double energyKeV, double toleranceKeV) const;

private:
    const IsotopeDatabase& m_database;
    const FoundLines& m_foundLines;
    const IdentificationSettings& m_settings;
    const EfficiencyCalibration& m_efficiency;
    double m_spanLow = 0.0;  // keV at channel 0
    double m_spanHigh = 0.0; // keV at the last channel
};

// The activity behind a line: rate / efficiency / intensity. Nothing when the efficiency or
// the line's intensity is not positive, or the result is not finite.
std::optional<double> lineActivity(double rate, double efficiency, double intensity);

// Asks the found-lines texts for the error columns of the refitted areas: the standard error
// of the line's rate, nothing where the refit did not hold (shown as "?").
struct RateError {
    std::optional<double> value;
};

// The column header above the found-lines list: FoundLinesListHeaderCorrected (2054) with the
// efficiency correction on, FoundLinesListHeader (2055) with it off. withErrors: the same with
// a "±" column after the rate and after the activity.
std::string_view foundLinesListHeader(bool efficiencyCorrection, bool withErrors = false);

// One row of the found-lines list, UTF-8. Correction on: "%8.2f %9.2f" of energy and
// rate / efficiency, then for an identified line " %9.2f %s" of activity and isotope name.
// Off: "%8.2f %9.2f" of energy and rate, then " %s" with the name. A value that cannot be
// computed (no positive efficiency or intensity) shows as "?" in its column.
//
// With errors: " %9.2f" of the standard error after the rate and after the activity.
std::string foundLineListRow(const LineIdentifier& identifier, const FoundLine& line,
                             std::optional<RateError> errors = std::nullopt);

// The found lines as copied to the clipboard, UTF-8 with "\r\n" after every row: header 2052
// (correction on) or 2053, then per line "%0.2f\t%0.2f\t%0.2f\t" of energy, rate and
// rate / efficiency (on) or "%0.2f\t%0.2f\t" of energy and rate (off); for an identified line
// "%0.2f\t%0.2f\t%s" of activity, the database line's energy and the name (on) or "%0.2f\t%s"
// of line energy and name (off). Values that cannot be computed are "?".
// withErrors: a "±" column after each of rate, rate / efficiency and activity, headed "±",
// from the table's rate errors.
std::string foundLinesCopyText(const LineIdentifier& identifier, bool withErrors = false);

// One row of the found-lines table printed beside the plot, UTF-8: "%8.2f | %9.2f" of energy
// and rate, the rate divided by the efficiency while the correction is on (as the list shows
// it), then " (" name ")" for an identified line. A rate that cannot be corrected is "?".
// With errors: " ±%8.2f" of the rate's error after the rate.
std::string foundLinePrintRow(const LineIdentifier& identifier, const FoundLine& line,
                              std::optional<RateError> errors = std::nullopt);

} // namespace kv
