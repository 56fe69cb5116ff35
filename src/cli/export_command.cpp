#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/text_export.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kExportHelp =
    "usage: kvantira-cli export FILE.hst [--all|--histogram N] [--energy]\n"
    "       [--y counts|intensity|percent] [--one-file|--per-histogram] [--names] OUT\n"
    "\n"
    "Writes histograms of the file as tab-separated text, as File > \"Сохранить в текстовом\n"
    "формате\" does: the marked histograms (default), every one (--all) or the N-th (1-based\n"
    "list position). The first column is the channel number from 1, or with --energy the\n"
    "energy in keV of the file's calibration; the values are counts (default), counts per\n"
    "second or percent of the total, all \"%10.4E\", lines ending in CR LF.\n"
    "--one-file (default) puts them side by side in OUT under a header of their positions, or\n"
    "of their names with --names. --per-histogram writes OUT with the list position inserted\n"
    "before the extension (out.txt: out0001.txt, out0002.txt, ...), each with its name and\n"
    "comment first with --names. Existing files are replaced. The files written are printed.\n";

struct ExportArguments {
    std::string path;
    std::string out;
    bool all = false;
    int histogram = 0; // 1-based; 0: the marked ones
    bool energy = false;
    std::int32_t yAxisMode = 0;
    bool oneFile = true;
    bool names = false;
};

std::optional<std::int32_t> yModeOf(std::string_view name) {
    if (name == "counts") {
        return 0;
    }
    if (name == "intensity") {
        return 1;
    }
    if (name == "percent") {
        return 2;
    }
    return std::nullopt;
}

std::optional<ExportArguments> parseArguments(std::span<const std::string_view> args) {
    ExportArguments parsed;
    std::vector<std::string_view> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--all") {
            parsed.all = true;
        } else if (arg == "--histogram" && hasValue) {
            const auto histogram = parseNumber<int>(args[++i]);
            if (!histogram || *histogram < 1) {
                return std::nullopt;
            }
            parsed.histogram = *histogram;
        } else if (arg == "--energy") {
            parsed.energy = true;
        } else if (arg == "--y" && hasValue) {
            const auto mode = yModeOf(args[++i]);
            if (!mode) {
                return std::nullopt;
            }
            parsed.yAxisMode = *mode;
        } else if (arg == "--one-file") {
            parsed.oneFile = true;
        } else if (arg == "--per-histogram") {
            parsed.oneFile = false;
        } else if (arg == "--names") {
            parsed.names = true;
        } else if (!arg.starts_with("-")) {
            paths.push_back(arg);
        } else {
            return std::nullopt;
        }
    }
    if (paths.size() != 2 || (parsed.all && parsed.histogram != 0)) {
        return std::nullopt;
    }
    parsed.path = paths[0];
    parsed.out = paths[1];
    return parsed;
}

} // namespace

int runExport(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kExportHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    if (const int status = w.open(parsed->path)) {
        return status;
    }
    std::vector<int> positions;
    if (parsed->histogram != 0) {
        if (!w.histogramAt(parsed->histogram)) {
            return kExitUsage;
        }
        positions.push_back(parsed->histogram - 1);
    } else {
        positions = exportedPositions(w.list, parsed->all);
    }
    if (positions.empty()) {
        std::cerr << "kvantira-cli: no histogram of " << parsed->path
                  << " is marked; nothing written (--all exports every one)\n";
        return kExitUsage;
    }
    w.config.plot.xAxisMode = parsed->energy ? 1 : 0;
    w.config.plot.yAxisMode = parsed->yAxisMode;
    w.config.textExport.exportOneFile = parsed->oneFile ? 1 : 0;
    w.config.textExport.exportNames = parsed->names ? 1 : 0;
    w.config.textExport.exportPath = parsed->out;
    const TextExportResult result = writeTextExport(w.list, w.config, positions, nullptr);
    for (const std::string& written : result.written) {
        std::cout << written << '\n';
    }
    if (result.failedPath) {
        std::cerr << "kvantira-cli: cannot write '" << *result.failedPath << "': " << result.reason
                  << '\n';
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace kv::cli
