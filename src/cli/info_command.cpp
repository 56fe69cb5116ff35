#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/cp1251.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace kv::cli {

namespace {

constexpr std::string_view kInfoHelp =
    "usage: kvantira-cli info [--json] FILE.hst\n"
    "\n"
    "Lists the histograms of a histogram file as the program numbers them when it opens the\n"
    "file: name, creation time, total counts, exposure in seconds, channel count, mark and\n"
    "comment; then the energy and efficiency calibrations and the visible channel range stored\n"
    "in the file. --json prints the same as one JSON object, with the channel counts.\n";

std::string isoTime(const SystemTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.milliseconds);
    return text;
}

nlohmann::json jsonOf(const HistogramList& list, const AppConfig& config) {
    using nlohmann::json;
    json histograms = json::array();
    for (int k = 0; k < list.histogramCount(); ++k) {
        const Histogram& h = *list.histogramAt(k);
        histograms.push_back({{"name", utf8FromCp1251(h.name.view())},
                              {"comment", utf8FromCp1251(h.comment.view())},
                              {"created", isoTime(h.created)},
                              {"total", h.total},
                              {"exposure", h.exposure},
                              {"kind", h.kind},
                              {"marked", h.isMarked()},
                              {"channels", h.channels}});
    }
    const auto count = [](std::int32_t n, std::size_t limit) {
        return static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, std::int64_t(limit)));
    };
    json efficiency = json::array();
    for (std::size_t i = 0; i < count(config.efficiency.efficiencyPointCount, 20); ++i) {
        efficiency.push_back(
            {config.efficiency.efficiencyEnergy[i], config.efficiency.efficiencyValue[i]});
    }
    json points = json::array();
    for (std::size_t i = 0; i < count(config.energyCalibration.pointCount, 5); ++i) {
        points.push_back(
            {config.energyCalibration.pointChannel[i], config.energyCalibration.pointEnergy[i]});
    }
    return {{"channelCount", list.channelCount()},
            {"histograms", histograms},
            {"calibration",
             {{"points", points},
              {"termCount", config.energyCalibration.termCount},
              {"coefficients", config.energyCalibration.coefficients},
              {"channelScale", config.energyCalibration.channelScale},
              {"efficiency", efficiency}}},
            {"range",
             {{"first", config.plot.firstChannel},
              {"last", config.plot.lastChannel},
              {"round", config.plot.roundRange != 0}}}};
}

void printText(const HistogramList& list, const AppConfig& config) {
    std::cout << "channels: " << list.channelCount() << ", histograms: " << list.histogramCount()
              << '\n';
    for (int k = 0; k < list.histogramCount(); ++k) {
        const Histogram& h = *list.histogramAt(k);
        // The total as the unsigned sum it is; the list column shows it as the program always
        // has, signed.
        std::cout << utf8FromCp1251(h.name.view()) << '\t' << columnText(h, ListColumn::Created)
                  << '\t' << h.total << '\t' << columnText(h, ListColumn::Exposure) << " s\t"
                  << h.channels.size() << '\t' << (h.isMarked() ? "marked" : "-") << '\t'
                  << utf8FromCp1251(h.comment.view()) << '\n';
    }
    if (config.energyCalibration.channelScale < 2) {
        std::cout << "energy calibration: none\n";
    } else {
        std::cout << "energy calibration: " << config.energyCalibration.termCount
                  << " terms, channel scale " << config.energyCalibration.channelScale
                  << ", coefficients";
        for (const double c : config.energyCalibration.coefficients) {
            std::cout << ' ' << c;
        }
        std::cout << '\n';
    }
    std::cout << "calibration points: " << config.energyCalibration.pointCount
              << ", efficiency points: " << config.efficiency.efficiencyPointCount << '\n';
    std::cout << "visible range: channels " << config.plot.firstChannel + 1 << " to "
              << config.plot.lastChannel + 1 << (config.plot.roundRange ? ", rounded" : "") << '\n';
}

} // namespace

int runInfo(std::span<const std::string_view> args) {
    bool json = false;
    std::string path;
    bool understood = true;
    for (const std::string_view arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (path.empty() && !arg.starts_with("-")) {
            path = arg;
        } else {
            understood = false;
        }
    }
    if (const auto status = helpOrUsageStatus(args, kInfoHelp, understood && !path.empty())) {
        return *status;
    }

    CliWorkspace w;
    const ReadOutcome outcome = w.openAny(path);
    if (outcome == ReadOutcome::NotOpened || outcome == ReadOutcome::WrongMagic) {
        return exitStatusOf(outcome);
    }
    // A damaged file still lists what could be read, then fails.
    if (json) {
        std::cout << jsonOf(w.list, w.config).dump(1) << '\n';
    } else {
        printText(w.list, w.config);
    }
    return exitStatusOf(outcome);
}

} // namespace kv::cli
