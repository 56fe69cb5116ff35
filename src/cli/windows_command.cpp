#include "acquisition/count_windows.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/append_format.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace kv::cli {

namespace {

constexpr std::string_view kWindowsHelp =
    "usage: kvantira-cli windows FILE.hst --histogram N [--config FILE.cnf] [--json]\n"
    "\n"
    "Evaluates the N-th histogram of the file (1-based list position) in the three count\n"
    "windows of the configuration file (defaults without one), as an X-ray measurement does:\n"
    "the windows move to the reference peak first when the configuration says so, and the rates\n"
    "N1, N2, N3 (counts per second) give the results C1 and C2, or \"Не определено\" when N3 is\n"
    "below 2 or the coefficients divide by zero. Windows are printed 1-based.\n"
    "--json prints {\"ok\", \"n1\", \"n2\", \"n3\", \"c1\", \"c2\" (null when not evaluated),\n"
    "\"shift\" (channels, null when the windows did not move), \"windows\" ([lower, upper] x 3,\n"
    "0-based)}.\n";

struct WindowsArguments {
    std::string path;
    int histogram = 0; // 1-based
    std::string configPath;
    bool json = false;
};

std::optional<WindowsArguments> parseArguments(std::span<const std::string_view> args) {
    WindowsArguments parsed;
    bool haveHistogram = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--histogram" && hasValue) {
            const auto histogram = parseNumber<int>(args[++i]);
            if (!histogram) {
                return std::nullopt;
            }
            parsed.histogram = *histogram;
            haveHistogram = true;
        } else if (arg == "--config" && hasValue) {
            parsed.configPath = args[++i];
        } else if (arg == "--json") {
            parsed.json = true;
        } else if (parsed.path.empty() && !arg.starts_with("-")) {
            parsed.path = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty() || !haveHistogram) {
        return std::nullopt;
    }
    return parsed;
}

} // namespace

int runWindows(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kWindowsHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    int status = kExitOk;
    const Histogram* h =
        w.openHistogram(parsed->path, parsed->histogram, status, parsed->configPath);
    if (!h) {
        return status;
    }

    const CountWindowResult result = evaluateCountWindows(*h, w.config.countWindows);
    const auto& limits = result.shift.limits;
    const bool shifted = result.shift.status == WindowShiftStatus::Shifted;
    if (parsed->json) {
        nlohmann::json windows = nlohmann::json::array();
        for (std::size_t k = 0; k < 3; ++k) {
            windows.push_back({limits.lower[k], limits.upper[k]});
        }
        const auto orNull = [](bool known, double value) {
            return known ? nlohmann::json(value) : nlohmann::json(nullptr);
        };
        const nlohmann::json out = {{"ok", result.evaluated()},
                                    {"n1", result.rates[0]},
                                    {"n2", result.rates[1]},
                                    {"n3", result.rates[2]},
                                    {"c1", orNull(result.evaluated(), result.c1)},
                                    {"c2", orNull(result.evaluated(), result.c2)},
                                    {"shift", orNull(shifted, result.shift.offset)},
                                    {"windows", windows}};
        std::cout << out.dump(1) << '\n';
        return kExitOk;
    }
    std::cout << "Окна:";
    for (std::size_t k = 0; k < 3; ++k) {
        std::cout << ' ' << std::int64_t{limits.lower[k]} + 1 << '-'
                  << std::int64_t{limits.upper[k]} + 1;
    }
    std::cout << (shifted ? formatText(" (сдвиг %0.2f)", result.shift.offset) : "") << '\n';
    for (std::size_t k = 0; k < 3; ++k) {
        std::cout << 'N' << k + 1 << '=' << formatText("%0.3f", result.rates[k]) << '\n';
    }
    const auto value = [&](double c) {
        return result.evaluated() ? formatText("%0.4f", c) : std::string(kUndefinedResult);
    };
    std::cout << "C1=" << value(result.c1) << "\nC2=" << value(result.c2) << '\n';
    return kExitOk;
}

} // namespace kv::cli
