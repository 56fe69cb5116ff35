#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "fitting/component_fit.h"
#include "fitting/fit_report.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kFitHelp =
    "usage: kvantira-cli fit FILE.hst --histogram N --range A:B --add KIND[,KIND...] [--json]\n"
    "\n"
    "Fits a sum of components to channels A to B (1-based, both included) of the N-th histogram\n"
    "of the file (1-based list position), as the approximation window does: the components are\n"
    "added in the order given, each with its starting values from the spectrum, then all their\n"
    "parameters are fitted together by least squares. KIND is gauss, exp, mcp, const or linear;\n"
    "at most 19 components with 20 parameters together (gauss and mcp have 3, exp and linear 2,\n"
    "const 1). Prints the window's report (channels 1-based, energies from the file's\n"
    "calibration); a failed fit is reported and exits with 3.\n"
    "--json prints {\"ok\", \"s\" (sum of squares per degree of freedom), \"components\":\n"
    "[{\"kind\", \"parameters\", \"errors\"}]} with 0-based channels; a failed fit gives the\n"
    "starting values and null for s and the errors.\n";

constexpr std::array<std::pair<std::string_view, ComponentKind>, 5> kKindNames = {{
    {"gauss", ComponentKind::Gaussian},
    {"exp", ComponentKind::Exponential},
    {"mcp", ComponentKind::Mcp},
    {"const", ComponentKind::Constant},
    {"linear", ComponentKind::Linear},
}};

struct FitArguments {
    std::string path;
    int histogram = 0; // 1-based
    int first = 0;     // 1-based
    int last = 0;      // 1-based
    std::vector<ComponentKind> kinds;
    bool json = false;
};

std::optional<int> parseInt(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<ComponentKind> parseKind(std::string_view name) {
    for (const auto& [kindName, kind] : kKindNames) {
        if (name == kindName) {
            return kind;
        }
    }
    return std::nullopt;
}

std::string_view kindName(ComponentKind kind) {
    for (const auto& [name, k] : kKindNames) {
        if (k == kind) {
            return name;
        }
    }
    return {};
}

bool parseKinds(std::string_view list, std::vector<ComponentKind>& kinds) {
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        const auto kind = parseKind(list.substr(start, comma - start));
        if (!kind) {
            return false;
        }
        kinds.push_back(*kind);
        if (comma == std::string_view::npos) {
            return true;
        }
        start = comma + 1;
    }
}

std::optional<FitArguments> parseArguments(std::span<const std::string_view> args) {
    FitArguments parsed;
    std::optional<int> histogram;
    std::optional<int> first;
    std::optional<int> last;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--histogram" && hasValue) {
            histogram = parseInt(args[++i]);
        } else if (arg == "--range" && hasValue) {
            const std::string_view range = args[++i];
            const std::size_t colon = range.find(':');
            if (colon == std::string_view::npos) {
                return std::nullopt;
            }
            first = parseInt(range.substr(0, colon));
            last = parseInt(range.substr(colon + 1));
        } else if (arg == "--add" && hasValue) {
            if (!parseKinds(args[++i], parsed.kinds)) {
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
    if (parsed.path.empty() || !histogram || !first || !last || parsed.kinds.empty()) {
        return std::nullopt;
    }
    parsed.histogram = *histogram;
    parsed.first = *first;
    parsed.last = *last;
    return parsed;
}

std::string_view describe(ComponentFitStatus status) {
    switch (status) {
    case ComponentFitStatus::Converged:
        return "converged";
    case ComponentFitStatus::EmptyTable:
        return "no components";
    case ComponentFitStatus::NoHistogram:
        return "no histogram";
    case ComponentFitStatus::RegionOutside:
        return "the range is outside the spectrum";
    case ComponentFitStatus::NoDegreesOfFreedom:
        return "the range needs more channels than parameters + 1";
    case ComponentFitStatus::Singular:
        return "singular normal matrix";
    case ComponentFitStatus::NotANumber:
        return "the sum of squares is not a number";
    case ComponentFitStatus::TooManyIterations:
        return "no convergence in 100 iterations";
    case ComponentFitStatus::PeakLeftRegion:
        return "a peak's centre left the range (place the starting centres by hand)";
    }
    return {};
}

nlohmann::json jsonOf(const ComponentTable& table, const ComponentFitOutcome& outcome) {
    const bool ok = outcome.converged();
    nlohmann::json components = nlohmann::json::array();
    std::size_t vector = 0;
    for (int k = 0; k < table.componentCount(); ++k) {
        const FitComponent& c = table.component(k);
        nlohmann::json parameters = nlohmann::json::array();
        nlohmann::json errors = ok ? nlohmann::json::array() : nlohmann::json();
        for (int j = 0; j < c.parameterCount(); ++j, ++vector) {
            parameters.push_back(c.parameters[static_cast<std::size_t>(j)]);
            if (ok) {
                errors.push_back(outcome.errors[vector]);
            }
        }
        components.push_back(
            {{"kind", kindName(c.kind)}, {"parameters", parameters}, {"errors", errors}});
    }
    return {{"ok", ok},
            {"s", ok ? nlohmann::json(outcome.residual) : nlohmann::json()},
            {"components", components}};
}

} // namespace

int runFit(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kFitHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    if (const int status = w.open(parsed->path)) {
        return status;
    }
    const Histogram* h = w.histogramAt(parsed->histogram);
    if (!h) {
        return kExitUsage;
    }
    const FitRegion region{parsed->first - 1, parsed->last - 1};
    if (!region.fits(h->channels.size())) {
        std::cerr << "kvantira-cli: the range is not among channels 1.." << h->channels.size()
                  << '\n';
        return kExitUsage;
    }
    ComponentTable table;
    for (std::size_t k = 0; k < parsed->kinds.size(); ++k) {
        if (!table.addComponent(parsed->kinds[k], h, region)) {
            std::cerr << "kvantira-cli: component " << k + 1
                      << " refused: at most 19 components with 20 parameters together\n";
            return kExitUsage;
        }
    }

    const ComponentFitOutcome outcome = fitComponents(table, h, region);
    if (parsed->json) {
        std::cout << jsonOf(table, outcome).dump(1) << '\n';
    } else if (outcome.converged()) {
        std::cout << fitReport(table, outcome.errors, h->rateExposure(), w.config.energyCalibration,
                               w.list.channelCount());
    }
    if (!outcome.converged()) {
        std::cerr << "kvantira-cli: the fit failed: " << describe(outcome.status) << '\n';
    }
    return outcome.converged() ? kExitOk : kExitFitFailed;
}

} // namespace kv::cli
