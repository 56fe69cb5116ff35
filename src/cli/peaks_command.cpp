#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "fitting/peak_search.h"
#include "model/energy_calibration.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace kv::cli {

namespace {

constexpr std::string_view kPeaksHelp =
    "usage: kvantira-cli peaks FILE.hst --histogram N [--range A:B] [--search-range R]\n"
    "                          [--sigma-max S] OUT.hst\n"
    "\n"
    "Runs the peak search by local fits (\"Поиск пиков\") on the N-th histogram of the file\n"
    "(1-based list position) between channels A and B (1-based; default: the file's visible\n"
    "range), with fit windows reaching R channels each side (default 40; start channels R / 2\n"
    "apart) and keeping peaks of sigma at most S channels (default 40). As the program does,\n"
    "it adds a histogram holding only the fitted Gaussians (header, comment and total of the\n"
    "source) and saves the whole list as OUT. Prints each accepted peak's centre as a 1-based\n"
    "channel and in keV from the file's energy calibration. A search ends after 1024 peaks.\n";

struct PeaksArguments {
    std::string path;
    std::string outPath;
    int histogram = 0;                        // 1-based
    std::optional<std::pair<int, int>> range; // 1-based, inclusive
    PeakSearchSettings settings;
};

std::optional<PeaksArguments> parseArguments(std::span<const std::string_view> args) {
    PeaksArguments parsed;
    std::optional<int> histogram;
    std::optional<int> range = parsed.settings.searchRange;
    std::optional<double> sigmaMax = parsed.settings.searchSigmaMax;
    bool rangeValid = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--histogram" && hasValue) {
            histogram = parseNumber<int>(args[++i]);
            if (!histogram) {
                return std::nullopt;
            }
        } else if (arg == "--range" && hasValue) {
            parsed.range = parseRange(args[++i]);
            rangeValid = parsed.range.has_value();
        } else if (arg == "--search-range" && hasValue) {
            range = parseNumber<int>(args[++i]);
        } else if (arg == "--sigma-max" && hasValue) {
            sigmaMax = parseNumber<double>(args[++i]);
        } else if (!arg.starts_with("-") && parsed.path.empty()) {
            parsed.path = arg;
        } else if (!arg.starts_with("-") && parsed.outPath.empty()) {
            parsed.outPath = arg;
        } else {
            // An unknown option, or a third file.
            return std::nullopt;
        }
    }
    if (parsed.outPath.empty() || !histogram || !rangeValid || !range || *range < 0 || !sigmaMax ||
        std::isnan(*sigmaMax)) {
        return std::nullopt;
    }
    parsed.histogram = *histogram;
    parsed.settings = {*range, *sigmaMax};
    return parsed;
}

} // namespace

int runPeaks(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kPeaksHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    int status = kExitOk;
    if (!w.openHistogram(parsed->path, parsed->histogram, status)) {
        return status;
    }
    const auto range = w.channelRange(parsed->range);
    if (!range) {
        return kExitUsage;
    }
    w.list.setCurrentIndex(parsed->histogram - 1);
    w.config.plot.firstChannel = range->first - 1;
    w.config.plot.lastChannel = range->second - 1;

    const auto result = runPeakSearch(w.list, w.config.plot, parsed->settings);
    w.ui.setSaveFile(parsed->outPath);
    if (w.document.saveAs() != SaveOutcome::Written) {
        std::cerr << "kvantira-cli: " << parsed->outPath << " was not written\n";
        return kExitUsage;
    }
    if (result->stoppedAtCapacity) {
        std::cerr << "kvantira-cli: the search ended after " << kMaxAcceptedPeaks << " peaks\n";
    }
    const EnergyCalibration& calibration = w.config.energyCalibration;
    std::cout << "channel\tkeV\n";
    for (const LocalPeak& peak : result->peaks) {
        char line[96];
        std::snprintf(line, sizeof line, "%0.2f\t%0.2f\n", peak.centre + 1,
                      calibration.channelToEnergy(peak.centre, w.list.channelCount()));
        std::cout << line;
    }
    return kExitOk;
}

} // namespace kv::cli
