#include "analysis/identification.h"

#include "analysis/efficiency.h"
#include "model/append_format.h"
#include "model/cp1251.h"
#include "model/strings.h"

#include <cmath>

namespace kv {

namespace {

// "%*.2f" of a value, or "?" in the same width when there is none.
std::string fixed2(std::optional<double> value, int width) {
    return value ? formatText("%*.2f", width, *value) : formatText("%*s", width, "?");
}

// What the texts show for one found line.
struct LineReport {
    double efficiency = 1.0;
    std::optional<double> correctedRate;
    std::optional<LineMatch> match;
    std::optional<double> activity;      // only for a match
    std::string name;                    // UTF-8, only for a match
    double lineEnergy = 0.0;             // the database line's, only for a match
    std::optional<double> relativeError; // of the rate, and so of every value derived from it

    // The standard error of a value derived from the rate.
    std::optional<double> errorOf(std::optional<double> value) const {
        if (!value || !relativeError) {
            return std::nullopt;
        }
        return std::fabs(*value * *relativeError);
    }
};

LineReport reportOf(const LineIdentifier& identifier, const FoundLine& line,
                    std::optional<double> rateError = std::nullopt) {
    LineReport report;
    report.efficiency = efficiencyAt(identifier.efficiency(), line.energy);
    report.correctedRate = efficiencyCorrected(line.rate, report.efficiency);
    report.match = identifier.identifyLine(line.energy, identifier.settings().lineTolerance);
    if (rateError && line.rate != 0.0 && std::isfinite(*rateError / line.rate)) {
        report.relativeError = *rateError / line.rate;
    }
    if (report.match) {
        const IsotopeRecord& isotope = identifier.database()[report.match->isotope];
        const IsotopeLine& matched = isotope.lines[report.match->line];
        report.activity = lineActivity(line.rate, report.efficiency, matched.intensity);
        report.name = utf8FromCp1251(isotope.name);
        report.lineEnergy = matched.energy;
    }
    return report;
}

} // namespace

LineIdentifier::LineIdentifier(const IsotopeDatabase& database, const FoundLines& foundLines,
                               const IdentificationSettings& settings,
                               const EfficiencyCalibration& efficiency,
                               const EnergyCalibration& calibration, std::int32_t channelCount)
    : m_database(database), m_foundLines(foundLines), m_settings(settings),
      m_efficiency(efficiency), m_spanLow(calibration.channelToEnergy(0.0, channelCount)),
      m_spanHigh(
          calibration.channelToEnergy(static_cast<double>(channelCount) - 1.0, channelCount)) {}

bool LineIdentifier::isotopeConfirmed(std::size_t isotope, double threshold,
                                      double tolerance) const {
    if (isotope >= m_database.size() || !m_database[isotope].isEnabled()) {
        return false;
    }
    std::int64_t matched = 0;
    std::int64_t eligible = 0;
    for (const IsotopeLine& line : m_database[isotope].lines) {
        if (!lineEligible(line, threshold)) {
            continue;
        }
        const double e = line.energy;
        ++eligible;
        for (const FoundLine& found : m_foundLines.lines()) {
            if (std::fabs(found.energy - e) < tolerance) {
                ++matched;
                if (matched >= m_settings.linesNeeded) {
                    return true;
                }
                break;
            }
        }
        if (matched != eligible) {
            return false;
        }
    }
    return matched == eligible;
}

bool LineIdentifier::lineEligible(const IsotopeLine& line, double threshold) const {
    const double e = line.energy;
    return !(line.intensity < threshold) && m_spanLow < e && e < m_spanHigh &&
           m_settings.energyFrom < e && e < m_settings.energyTo;
}

std::optional<LineMatch> LineIdentifier::identifyLine(double energyKeV, double toleranceKeV) const {
    double best = 2.0 * toleranceKeV;
    std::optional<LineMatch> result;
    for (std::size_t i = 0; i < m_database.size(); ++i) {
        const auto& lines = m_database[i].lines;
        for (std::size_t j = 0; j < lines.size(); ++j) {
            const double d = std::fabs(lines[j].energy - energyKeV);
            if (!(d < toleranceKeV) || !(d < best)) {
                continue;
            }
            if (m_settings.checkLines != 0 &&
                !isotopeConfirmed(i, m_settings.lineThreshold, toleranceKeV)) {
                continue;
            }
            best = d;
            result = LineMatch{.isotope = i, .line = j};
        }
    }
    return result;
}

std::optional<double> lineActivity(double rate, double efficiency, double intensity) {
    if (!(intensity > 0.0)) {
        return std::nullopt;
    }
    const std::optional<double> emitted = efficiencyCorrected(rate, efficiency);
    if (!emitted) {
        return std::nullopt;
    }
    const double activity = *emitted / intensity;
    return std::isfinite(activity) ? std::optional(activity) : std::nullopt;
}

std::string_view foundLinesListHeader(bool efficiencyCorrection, bool withErrors) {
    if (withErrors) {
        return efficiencyCorrection ? "  E(кэВ)    I(ч/с)         ±    A(р/с)         ± Изотоп"
                                    : "  E(кэВ)  C(имп/с)         ± Изотоп";
    }
    return text(efficiencyCorrection ? StringId::FoundLinesListHeaderCorrected
                                     : StringId::FoundLinesListHeader);
}

std::string foundLineListRow(const LineIdentifier& identifier, const FoundLine& line,
                             std::optional<RateError> errors) {
    const bool corrected = identifier.settings().efficiencyCorrection != 0;
    const bool withErrors = errors.has_value();
    const LineReport report = reportOf(identifier, line, errors ? errors->value : std::nullopt);
    // A value and, with the errors, its error, each "%9.2f" after a space.
    const auto column = [&report, withErrors](std::optional<double> value) {
        std::string text = " " + fixed2(value, 9);
        return withErrors ? text + " " + fixed2(report.errorOf(value), 9) : text;
    };
    std::string row = fixed2(line.energy, 8) + column(corrected ? report.correctedRate : line.rate);
    if (report.match) {
        if (corrected) {
            row += column(report.activity);
        }
        row += " " + report.name;
    }
    return row;
}

std::string foundLinesCopyText(const LineIdentifier& identifier, bool withErrors) {
    const bool corrected = identifier.settings().efficiencyCorrection != 0;
    std::string copy;
    if (withErrors) {
        copy = corrected ? "Энергия,кэВ\tСчет, ч/сек\t±\tИнтеграл,ч/сек\t±\tАктивность,Бк\t±\t"
                           "Линия,кэВ\tИзотоп\r\n"
                         : "Эн.(кэВ)\tСчет(ч/с)\t±\tЛиния(кэВ)\tИзотоп\r\n";
    } else {
        copy = text(corrected ? StringId::FoundLinesTableHeader : StringId::FoundLinesShortHeader);
    }
    const FoundLines& found = identifier.foundLines();
    for (std::size_t i = 0; i < found.size(); ++i) {
        const FoundLine& line = found.lines()[i];
        const LineReport report = reportOf(identifier, line, found.rateError(i));
        const auto cell = [&report, withErrors](std::optional<double> value) {
            std::string text = fixed2(value, 0) + "\t";
            return withErrors ? text + fixed2(report.errorOf(value), 0) + "\t" : text;
        };
        copy += fixed2(line.energy, 0) + "\t" + cell(line.rate);
        if (corrected) {
            copy += cell(report.correctedRate);
        }
        if (report.match) {
            if (corrected) {
                copy += cell(report.activity);
            }
            copy += fixed2(report.lineEnergy, 0) + "\t" + report.name;
        }
        copy += "\r\n";
    }
    return copy;
}

std::string foundLinePrintRow(const LineIdentifier& identifier, const FoundLine& line,
                              std::optional<RateError> errors) {
    const bool corrected = identifier.settings().efficiencyCorrection != 0;
    const LineReport report = reportOf(identifier, line, errors ? errors->value : std::nullopt);
    const std::optional<double> rate = corrected ? report.correctedRate : line.rate;
    std::string row = fixed2(line.energy, 8) + " | " + fixed2(rate, 9);
    if (errors) {
        row += " ±" + fixed2(report.errorOf(rate), 8);
    }
    if (report.match) {
        row += " (" + report.name + ")";
    }
    return row;
}

} // namespace kv
