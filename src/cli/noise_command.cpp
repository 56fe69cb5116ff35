// The verb noise: the noise track window's statistics of a stretch of a histogram.

#include "analysis/noise_track.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/cp1251.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <optional>
#include <string>

namespace kv::cli {

namespace {

constexpr std::string_view kNoiseHelp =
    "usage: kvantira-cli noise FILE --histogram N [--range A:B] [--json]\n"
    "\n"
    "Prints what the program's \"Шумовая дорожка\" shows for channels A to B (1-based, both\n"
    "included; default: the file's visible range) of the N-th histogram (1-based list\n"
    "position): its name, the mean count per channel, the standard deviation of the counts\n"
    "(divided by the channel count) and the square root of the mean, which Poisson statistics\n"
    "would give; that is empty when the mean is negative.\n"
    "--json prints {\"name\", \"first\", \"last\" (0-based), \"mean\", \"sigma\", "
    "\"poissonSigma\"\n"
    "(null when the mean is negative)}.\n";

struct NoiseArguments {
    std::string path;
    int histogram = 0;                        // 1-based
    std::optional<std::pair<int, int>> range; // 1-based, inclusive
    bool json = false;
};

std::optional<NoiseArguments> parseArguments(std::span<const std::string_view> args) {
    NoiseArguments parsed;
    std::optional<int> histogram;
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
            if (!parsed.range) {
                return std::nullopt;
            }
        } else if (arg == "--json") {
            parsed.json = true;
        } else if (parsed.path.empty() && !arg.starts_with("-")) {
            parsed.path = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty() || !histogram) {
        return std::nullopt;
    }
    parsed.histogram = *histogram;
    return parsed;
}

} // namespace

int runNoise(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kNoiseHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    int status = kExitOk;
    const Histogram* h = w.openHistogram(parsed->path, parsed->histogram, status);
    if (!h) {
        return status;
    }
    const auto range = w.channelRange(parsed->range);
    if (!range) {
        return kExitUsage;
    }
    const auto [first, last] = *range;

    const NoiseTrack track = noiseTrack(h->channels, first - 1, last - 1);
    const std::string name = utf8FromCp1251(h->name.view());
    if (parsed->json) {
        const nlohmann::json out = {{"name", name},
                                    {"first", first - 1},
                                    {"last", last - 1},
                                    {"mean", track.mean},
                                    {"sigma", track.sigma},
                                    {"poissonSigma", track.poissonSigma
                                                         ? nlohmann::json(*track.poissonSigma)
                                                         : nlohmann::json()}};
        std::cout << out.dump(1) << '\n';
        return kExitOk;
    }
    const NoiseTrackTexts texts = noiseTrackTexts(track);
    std::cout << "Имя:\t" << name << "\nКаналы:\t" << first << '-' << last << "\nСреднее:\t"
              << texts.mean << "\nСигма:\t" << texts.sigma << "\nСигма Пуассон:\t"
              << texts.poissonSigma << '\n';
    return kExitOk;
}

} // namespace kv::cli
