// The verbs smooth and extract: the smoothing and the peak extraction of the "Анализ" menu on
// one histogram of a file, the result added to the list and the list saved.

#include "analysis/channel_filter.h"
#include "analysis/line_search.h"
#include "cli/commands.h"
#include "cli/list_update.h"
#include "model/configuration_file.h"

#include <cmath>
#include <functional>
#include <optional>
#include <string>

namespace kv::cli {

namespace {

constexpr std::string_view kSmoothHelp =
    "usage: kvantira-cli smooth FILE [--histogram N] [--radius R | --sigma S]\n"
    "                           [--config FILE.cnf] [OUT.hst]\n"
    "\n"
    "Smooths the N-th histogram of the file (1-based list position, default 1) as the\n"
    "program's \"Сглаживание\" does: a copy with comment \"Результат фильтрации\" whose channels\n"
    "are the running mean over 2R + 1 channels (--radius R) or the Gaussian-weighted mean of\n"
    "standard deviation S channels (--sigma S) is added after the list's last entry. Without\n"
    "either the configuration's smoothing settings apply (--config, or the defaults: running\n"
    "mean of radius 1). The list is saved as OUT.hst, or without OUT back into FILE, which must\n"
    "then be a histogram file. Prints the new histogram's list position, name and total.\n";

constexpr std::string_view kExtractHelp =
    "usage: kvantira-cli extract FILE [--histogram N] [--reject R] [--smooth S]\n"
    "                            [--config FILE.cnf] [OUT.hst]\n"
    "\n"
    "Subtracts the continuum from the N-th histogram of the file (1-based list position,\n"
    "default 1) as the program's \"Выделение пиков\" does: the continuum is what five median\n"
    "passes of radius R (--reject, default 15) and a running mean of radius S (--smooth, default\n"
    "4) leave of the spectrum; a copy with comment \"Континуум удален\" holding the difference\n"
    "(negative where the continuum is higher) is added after the list's last entry. Radii not\n"
    "given come from the configuration (--config, or the defaults). The list is saved as\n"
    "OUT.hst, or without OUT back into FILE, which must then be a histogram file. Prints the new\n"
    "histogram's list position, name and total.\n";

// A radius option: a whole number from 0 on.
bool takeRadius(std::string_view text, std::optional<std::int32_t>& radius) {
    radius = parseNumber<std::int32_t>(text);
    return radius && *radius >= 0;
}

// Parses the shared arguments; an option of the verb's own is handed to own(option, value),
// which takes it (true) or refuses it (false). Nothing when the arguments do not parse.
std::optional<ListUpdate>
parseArguments(std::span<const std::string_view> args,
               const std::function<bool(std::string_view, std::string_view)>& own) {
    ListUpdate parsed;
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
        } else if (arg.starts_with("-")) {
            if (!hasValue || !own(arg, args[++i])) {
                return std::nullopt;
            }
        } else if (parsed.path.empty()) {
            parsed.path = arg;
        } else if (parsed.outPath.empty()) {
            parsed.outPath = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty()) {
        return std::nullopt;
    }
    return parsed;
}

} // namespace

int runSmooth(std::span<const std::string_view> args) {
    std::optional<std::int32_t> radius;
    std::optional<double> sigma;
    const auto parsed = parseArguments(args, [&](std::string_view option, std::string_view value) {
        if (option == "--radius" && !sigma) {
            return takeRadius(value, radius);
        }
        if (option == "--sigma" && !radius) {
            sigma = parseNumber<double>(value);
            return sigma && std::isfinite(*sigma) && *sigma > 0.0;
        }
        return false;
    });
    if (const auto status = helpOrUsageStatus(args, kSmoothHelp, parsed.has_value())) {
        return *status;
    }
    return addToList(*parsed, [&](HistogramList& list, AppConfig& config) {
        FilterSettings& filters = config.filters;
        if (radius) {
            filters.smoothKind = static_cast<std::int32_t>(FilterKind::Mean);
            filters.smoothRadius = *radius;
        } else if (sigma) {
            filters.smoothKind = static_cast<std::int32_t>(FilterKind::Gauss);
            filters.smoothSigma = *sigma;
        }
        smoothCurrentHistogram(list, filters);
        return true;
    });
}

int runExtract(std::span<const std::string_view> args) {
    std::optional<std::int32_t> reject;
    std::optional<std::int32_t> smooth;
    const auto parsed = parseArguments(args, [&](std::string_view option, std::string_view value) {
        if (option == "--reject") {
            return takeRadius(value, reject);
        }
        if (option == "--smooth") {
            return takeRadius(value, smooth);
        }
        return false;
    });
    if (const auto status = helpOrUsageStatus(args, kExtractHelp, parsed.has_value())) {
        return *status;
    }
    return addToList(*parsed, [&](HistogramList& list, AppConfig& config) {
        LineSearchSettings& settings = config.lineSearch;
        settings.rejectRadius = reject.value_or(settings.rejectRadius);
        settings.continuumSmoothRadius = smooth.value_or(settings.continuumSmoothRadius);
        extractPeaks(list, settings);
        return true;
    });
}

} // namespace kv::cli
