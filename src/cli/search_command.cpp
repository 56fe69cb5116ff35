#include "analysis/efficiency.h"
#include "analysis/identification.h"
#include "analysis/line_quantities.h"
#include "analysis/line_search.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/append_format.h"
#include "model/cp1251.h"
#include "model/strings.h"
#include "platform/program_directory.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace kv::cli {

namespace {

constexpr std::string_view kSearchHelp =
    "usage: kvantira-cli search FILE.hst [--histogram N] [--efficiency] [--config FILE.cnf]\n"
    "                           [--db SPECTORS.DAT] [--refine] [--json|--csv]\n"
    "\n"
    "Runs the line search on the N-th histogram of the file (1-based list position, default 1)\n"
    "with the search and identification settings of the configuration file (defaults without\n"
    "one) and the file's energy calibration, and prints the found-lines table as the found-lines\n"
    "window shows it: energy (keV), count rate (counts per second; with --efficiency divided by\n"
    "the detector efficiency, and the activity in becquerel) and the isotope identified from the\n"
    "database (default: SPECTORS.DAT in the program directory).\n"
    "--csv prints energy,rate,position,isotope,lineEnergy,activity (position 1-based).\n"
    "--json prints {\"lines\": [{\"energy\", \"rate\", \"position\" (0-based), \"isotope\" (null\n"
    "when none), \"lineEnergy\", \"activity\"}]}.\n"
    "\n"
    "--refine refits every found line on the raw counts (a Gaussian on a local straight line,\n"
    "lines closer than 3 sigma together, by Poisson maximum likelihood): its area, position and\n"
    "rate replace the search's, and each value gets its standard error. A line whose refit\n"
    "fails keeps the search's values (errors \"?\", \"refined\": false). The errors are\n"
    "counting statistics only: the efficiency table holds no uncertainties. For every enabled\n"
    "isotope with no identified line, the Currie detection limit of its strongest line is\n"
    "given, in Bq with --efficiency and an efficiency table, else as the line's count rate in\n"
    "1/s. The table gains \"±\" columns and a list of limits; --csv adds\n"
    "area,areaError,rateError,activityError,refined to each line and, after an empty line,\n"
    "isotope,line,limit,unit; --json adds \"area\", \"areaError\", \"rateError\",\n"
    "\"activityError\" (null when unknown) and \"refined\" to each line and\n"
    "{\"mda\": [{\"isotope\", \"line\" (keV), \"limit\", \"unit\"}]}.\n";

enum class Format { Table, Csv, Json };

struct SearchArguments {
    std::string path;
    int histogram = 1;
    bool efficiency = false;
    bool refine = false;
    std::string configPath;
    std::string databasePath;
    Format format = Format::Table;
};

std::optional<SearchArguments> parseArguments(std::span<const std::string_view> args) {
    SearchArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--histogram" && hasValue) {
            const auto histogram = parseNumber<int>(args[++i]);
            if (!histogram) {
                return std::nullopt;
            }
            parsed.histogram = *histogram;
        } else if (arg == "--config" && hasValue) {
            parsed.configPath = args[++i];
        } else if (arg == "--db" && hasValue) {
            parsed.databasePath = args[++i];
        } else if (arg == "--efficiency") {
            parsed.efficiency = true;
        } else if (arg == "--refine") {
            parsed.refine = true;
        } else if (arg == "--json" || arg == "--csv") {
            parsed.format = arg == "--json" ? Format::Json : Format::Csv;
        } else if (parsed.path.empty() && !arg.starts_with("-")) {
            parsed.path = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty()) {
        return std::nullopt;
    }
    return parsed;
}

struct IdentifiedLine {
    const FoundLine* line = nullptr;
    const IsotopeRecord* isotope = nullptr; // nothing when not identified
    double lineEnergy = 0.0;
    std::optional<double> activity;
    const RefinedLine* refined = nullptr; // only with --refine
};

IdentifiedLine identify(const LineIdentifier& identifier, const FoundLine& line,
                        const RefinedLine* refined) {
    IdentifiedLine result;
    result.line = &line;
    result.refined = refined;
    const auto match = identifier.identifyLine(line.energy, identifier.settings().lineTolerance);
    if (match) {
        const IsotopeRecord& record = identifier.database()[match->isotope];
        const IsotopeLine& databaseLine = record.lines[match->line];
        result.isotope = &record;
        result.lineEnergy = databaseLine.energy;
        result.activity = lineActivity(
            line.rate, efficiencyAt(identifier.efficiency(), line.energy), databaseLine.intensity);
    }
    return result;
}

std::string csvRow(const IdentifiedLine& row) {
    char text[128];
    std::snprintf(text, sizeof text, "%.2f,%.4f,%.2f,", row.line->energy, row.line->rate,
                  row.line->position + 1);
    std::string out = text;
    if (row.isotope) {
        out += utf8FromCp1251(row.isotope->name);
        std::snprintf(text, sizeof text, ",%.2f,", row.lineEnergy);
        out += text;
        if (row.activity) {
            std::snprintf(text, sizeof text, "%.4g", *row.activity);
            out += text;
        }
    } else {
        out += ",,";
    }
    if (row.refined) {
        const auto error = [&row](std::optional<double> value) {
            const auto e = value ? proportionalError(*row.refined, *value) : std::nullopt;
            return e ? formatText("%.4g", *e) : std::string();
        };
        out += formatText(",%.1f,", row.refined->area) + error(row.refined->area) + "," +
               error(row.line->rate) + "," + error(row.activity) +
               (row.refined->refined ? ",yes" : ",no");
    }
    return out;
}

nlohmann::json jsonRow(const IdentifiedLine& row) {
    nlohmann::json line = {{"energy", row.line->energy},     {"rate", row.line->rate},
                           {"position", row.line->position}, {"isotope", nullptr},
                           {"lineEnergy", nullptr},          {"activity", nullptr}};
    if (row.isotope) {
        line["isotope"] = utf8FromCp1251(row.isotope->name);
        line["lineEnergy"] = row.lineEnergy;
        if (row.activity) {
            line["activity"] = *row.activity;
        }
    }
    if (row.refined) {
        const auto error = [&row](std::optional<double> value) -> nlohmann::json {
            const auto e = value ? proportionalError(*row.refined, *value) : std::nullopt;
            return e ? nlohmann::json(*e) : nlohmann::json(nullptr);
        };
        line["area"] = row.refined->area;
        line["areaError"] = error(row.refined->area);
        line["rateError"] = error(row.line->rate);
        line["activityError"] = error(row.activity);
        line["refined"] = row.refined->refined;
    }
    return line;
}

std::string_view limitUnit(const DetectionLimit& limit) {
    return limit.inBecquerel ? "Bq" : "1/s";
}

} // namespace

int runSearch(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kSearchHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    int status = kExitOk;
    const Histogram* spectrum =
        w.openHistogram(parsed->path, parsed->histogram, status, parsed->configPath);
    if (!spectrum) {
        return status;
    }
    if (parsed->efficiency) {
        w.config.identification.efficiencyCorrection = 1;
    }
    // A database named with --db must be there, as a file named with --config must; without
    // the program directory's the lines are found all the same, only not identified.
    const bool named = !parsed->databasePath.empty();
    const std::string databasePath =
        named ? parsed->databasePath : findProgramDirectory() + "SPECTORS.DAT";
    const LoadedDatabase loaded = loadDatabase(databasePath);
    if (loaded.condition == DatabaseCondition::Missing) {
        if (named) {
            std::cerr << "kvantira-cli: cannot read " << databasePath << '\n';
            return kExitUsage;
        }
        std::cerr << "kvantira-cli: no isotope database at " << databasePath
                  << "; lines are not identified\n";
    } else if (loaded.condition != DatabaseCondition::Complete) {
        std::cerr << "kvantira-cli: the isotope database " << databasePath
                  << " is not read whole; the isotopes before the damage are used\n";
        status = kExitFormat;
    }

    const std::int32_t channels = w.list.channelCount();
    const EnergyCalibration& calibration = w.config.energyCalibration;
    LineSearchResult result = searchLines(*spectrum, w.config.lineSearch, calibration);
    if (result.tooManyPeaks) {
        std::cerr << "kvantira-cli: " << text(StringId::TooManyPeaks) << '\n';
    }
    std::vector<RefinedLine> refined;
    if (parsed->refine) {
        refined = refineLines(*spectrum, result, calibration);
    }
    const LineIdentifier identifier(loaded.database, result.lines, w.config.identification,
                                    w.config.efficiency, calibration, channels);
    std::vector<DetectionLimit> limits;
    if (parsed->refine) {
        if (const auto widths = WidthCurve::fit(result.lines, refined)) {
            limits = detectionLimits(*spectrum, identifier, *widths, calibration);
        } else {
            std::cerr << "kvantira-cli: no line was refitted, so no line width is known; "
                         "no detection limits\n";
        }
    }
    const auto& lines = result.lines.lines();
    const auto rowOf = [&](std::size_t i) {
        return identify(identifier, lines[i], parsed->refine ? &refined[i] : nullptr);
    };
    const auto limitOf = [&](const DetectionLimit& limit) {
        const IsotopeRecord& isotope = loaded.database[limit.isotope];
        return std::pair(utf8FromCp1251(isotope.name), isotope.lines[limit.line].energy);
    };
    const bool corrected = w.config.identification.efficiencyCorrection != 0;
    switch (parsed->format) {
    case Format::Table:
        std::cout << foundLinesListHeader(corrected, parsed->refine) << '\n';
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto errors =
                parsed->refine ? std::optional(RateError{result.lines.rateError(i)}) : std::nullopt;
            std::cout << foundLineListRow(identifier, lines[i], errors) << '\n';
        }
        if (!parsed->refine) {
            break;
        }
        std::cout << "± counting statistics only (the efficiency table holds no uncertainties); "
                     "? where the refit failed and the search's values stand\n";
        if (!limits.empty()) {
            std::cout << "\nDetection limits (Currie):\n";
        }
        for (const DetectionLimit& limit : limits) {
            const auto [name, energy] = limitOf(limit);
            std::cout << formatText("%-14s %8.2f keV  < %.3g %s\n", name.c_str(), energy,
                                    limit.limit, std::string(limitUnit(limit)).c_str());
        }
        break;
    case Format::Csv:
        std::cout << "energy,rate,position,isotope,lineEnergy,activity"
                  << (parsed->refine ? ",area,areaError,rateError,activityError,refined\n" : "\n");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::cout << csvRow(rowOf(i)) << '\n';
        }
        if (parsed->refine) {
            std::cout << "\nisotope,line,limit,unit\n";
            for (const DetectionLimit& limit : limits) {
                const auto [name, energy] = limitOf(limit);
                std::cout << name << formatText(",%.2f,%.4g,", energy, limit.limit)
                          << limitUnit(limit) << '\n';
            }
        }
        break;
    case Format::Json: {
        nlohmann::json rows = nlohmann::json::array();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            rows.push_back(jsonRow(rowOf(i)));
        }
        nlohmann::json out{{"lines", rows}};
        if (parsed->refine) {
            nlohmann::json mda = nlohmann::json::array();
            for (const DetectionLimit& limit : limits) {
                const auto [name, energy] = limitOf(limit);
                mda.push_back({{"isotope", name},
                               {"line", energy},
                               {"limit", limit.limit},
                               {"unit", limitUnit(limit)}});
            }
            out["mda"] = mda;
        }
        std::cout << out.dump(1) << '\n';
        break;
    }
    }
    return status;
}

} // namespace kv::cli
