// The verb arith: the arithmetic window's weighted sum or difference of two histograms of a
// file, the result added to the list and the list saved.

#include "analysis/spectrum_arithmetic.h"
#include "cli/commands.h"
#include "cli/list_update.h"

#include <cmath>
#include <iostream>
#include <optional>

namespace kv::cli {

namespace {

constexpr std::string_view kArithHelp =
    "usage: kvantira-cli arith FILE [--histogram N] [--second M] [--factor F]\n"
    "                          [--second-factor G] [--subtract] [OUT.hst]\n"
    "\n"
    "Forms F x (histogram N) + G x (histogram M), or with --subtract F x N - G x M, channel by\n"
    "channel, as the program's \"Математика\" does (1-based list positions; N default 1, M\n"
    "default N, F and G default 1). Each channel is truncated toward zero and held to the range\n"
    "a channel stores. The result, named after N with comment \"Композиция\", is added after the\n"
    "list's last entry; its exposure is F times N's, plus G times M's when adding. The list is\n"
    "saved as OUT.hst, or without OUT back into FILE, which must then be a histogram file.\n"
    "Prints the new histogram's list position, name and total.\n";

struct ArithArguments {
    ListUpdate update;
    std::optional<int> second; // 1-based; the first when none
    ArithmeticSettings settings;
};

std::optional<ArithArguments> parseArguments(std::span<const std::string_view> args) {
    ArithArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--histogram" && hasValue) {
            const auto histogram = parseNumber<int>(args[++i]);
            if (!histogram) {
                return std::nullopt;
            }
            parsed.update.histogram = *histogram;
        } else if (arg == "--second" && hasValue) {
            parsed.second = parseNumber<int>(args[++i]);
            if (!parsed.second) {
                return std::nullopt;
            }
        } else if ((arg == "--factor" || arg == "--second-factor") && hasValue) {
            const auto value = parseNumber<double>(args[++i]);
            if (!value || !std::isfinite(*value)) {
                return std::nullopt;
            }
            (arg == "--factor" ? parsed.settings.firstFactor : parsed.settings.secondFactor) =
                *value;
        } else if (arg == "--subtract") {
            parsed.settings.subtractMode = true;
        } else if (!arg.starts_with("-") && parsed.update.path.empty()) {
            parsed.update.path = arg;
        } else if (!arg.starts_with("-") && parsed.update.outPath.empty()) {
            parsed.update.outPath = arg;
        } else {
            // An unknown option, or a third file.
            return std::nullopt;
        }
    }
    if (parsed.update.path.empty()) {
        return std::nullopt;
    }
    return parsed;
}

} // namespace

int runArith(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kArithHelp, parsed.has_value())) {
        return *status;
    }
    return addToList(parsed->update, [&](HistogramList& list, AppConfig&) {
        const Histogram& first = *list.currentHistogram();
        const Histogram* second = parsed->second ? list.histogramAt(*parsed->second - 1) : &first;
        if (!second) {
            std::cerr << "kvantira-cli: --second " << *parsed->second << ": the file has "
                      << list.histogramCount() << " histograms\n";
            return false;
        }
        list.addHistogram(composeHistograms(list, first, *second, parsed->settings));
        return true;
    });
}

} // namespace kv::cli
