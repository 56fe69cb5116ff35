#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "fitting/component_fit.h"
#include "fitting/fit_report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kFitHelp =
    "usage: kvantira-cli fit FILE.hst --histogram N --range A:B --add KIND[@C:D][,KIND...]\n"
    "                        [--start K:P0[,P1,P2]]... [--json]\n"
    "\n"
    "Fits a sum of components to channels A to B (1-based, both included) of the N-th histogram\n"
    "of the file (1-based list position), as the approximation window does: the components are\n"
    "added in the order given (--add may be repeated), each with its starting values from the\n"
    "spectrum over A:B, or over its own channels C to D when KIND@C:D is given (as the window\n"
    "does with the boundaries moved to that peak); then all their parameters are fitted\n"
    "together by least squares. KIND is gauss, exp, mcp, const or linear; at most 19\n"
    "components with 20 parameters together (gauss and mcp have 3, exp and linear 2, const 1).\n"
    "--start K:P0,P1,P2 sets the starting parameters of the K-th component (1-based) outright,\n"
    "as typed into the window's fields: as many as the kind has, centres as 0-based channels,\n"
    "as --json prints them; the components added after it start from the rest it leaves.\n"
    "Prints the window's report (channels 1-based, energies from the file's calibration); a\n"
    "failed fit is reported and exits with 3.\n"
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

// One component to add: its kind and the channels its starting values come from.
struct ComponentRequest {
    ComponentKind kind = ComponentKind::Gaussian;
    std::optional<std::pair<int, int>> startRange; // 1-based; the fit's range when none
};

// Starting parameters set outright for one component.
struct StartValues {
    int component = 0; // 1-based
    std::vector<double> parameters;
};

struct FitArguments {
    std::string path;
    int histogram = 0; // 1-based
    int first = 0;     // 1-based
    int last = 0;      // 1-based
    std::vector<ComponentRequest> components;
    std::vector<StartValues> starts;
    bool json = false;
};

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

// Hands each item of a comma-separated list to take; false at the first it refuses.
bool eachItem(std::string_view list, const std::function<bool(std::string_view)>& take) {
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        if (!take(list.substr(start, comma - start))) {
            return false;
        }
        if (comma == std::string_view::npos) {
            return true;
        }
        start = comma + 1;
    }
}

// KIND or KIND@C:D.
std::optional<ComponentRequest> parseComponent(std::string_view item) {
    const std::size_t at = item.find('@');
    const auto kind = parseKind(item.substr(0, at));
    if (!kind) {
        return std::nullopt;
    }
    ComponentRequest request{*kind, std::nullopt};
    if (at != std::string_view::npos) {
        request.startRange = parseRange(item.substr(at + 1));
        if (!request.startRange) {
            return std::nullopt;
        }
    }
    return request;
}

// K:P0[,P1,P2] with finite parameters.
std::optional<StartValues> parseStart(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    StartValues start;
    const auto component = parseNumber<int>(text.substr(0, colon));
    const bool parsed = eachItem(text.substr(colon + 1), [&start](std::string_view item) {
        const auto value = parseNumber<double>(item);
        if (!value || !std::isfinite(*value)) {
            return false;
        }
        start.parameters.push_back(*value);
        return true;
    });
    if (!component || !parsed) {
        return std::nullopt;
    }
    start.component = *component;
    return start;
}

std::optional<FitArguments> parseArguments(std::span<const std::string_view> args) {
    FitArguments parsed;
    std::optional<int> histogram;
    std::optional<std::pair<int, int>> range;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--histogram" && hasValue) {
            histogram = parseNumber<int>(args[++i]);
            if (!histogram) {
                return std::nullopt;
            }
        } else if (arg == "--range" && hasValue) {
            range = parseRange(args[++i]);
            if (!range) {
                return std::nullopt;
            }
        } else if (arg == "--add" && hasValue) {
            const bool added = eachItem(args[++i], [&parsed](std::string_view item) {
                const auto request = parseComponent(item);
                if (request) {
                    parsed.components.push_back(*request);
                }
                return request.has_value();
            });
            if (!added) {
                return std::nullopt;
            }
        } else if (arg == "--start" && hasValue) {
            const auto start = parseStart(args[++i]);
            if (!start) {
                return std::nullopt;
            }
            parsed.starts.push_back(*start);
        } else if (arg == "--json") {
            parsed.json = true;
        } else if (parsed.path.empty() && !arg.starts_with("-")) {
            parsed.path = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty() || !histogram || !range || parsed.components.empty()) {
        return std::nullopt;
    }
    parsed.histogram = *histogram;
    parsed.first = range->first;
    parsed.last = range->second;
    return parsed;
}

// Adds the requested components in order, each followed by the starting values set for it.
// False after saying why when one cannot be added.
bool addComponents(ComponentTable& table, const FitArguments& arguments, const Histogram& h,
                   FitRegion region) {
    const auto componentCount = static_cast<int>(arguments.components.size());
    for (const StartValues& start : arguments.starts) {
        if (start.component < 1 || start.component > componentCount) {
            std::cerr << "kvantira-cli: --start " << start.component << ": there is no component "
                      << start.component << " (" << componentCount << " added)\n";
            return false;
        }
    }
    for (int k = 0; k < componentCount; ++k) {
        const ComponentRequest& request = arguments.components[static_cast<std::size_t>(k)];
        const FitRegion startRegion = request.startRange ? FitRegion{request.startRange->first - 1,
                                                                     request.startRange->second - 1}
                                                         : region;
        if (!startRegion.fits(h.channels.size())) {
            std::cerr << "kvantira-cli: component " << k + 1
                      << ": its range is not among channels 1.." << h.channels.size() << '\n';
            return false;
        }
        if (!table.addComponent(request.kind, &h, startRegion)) {
            std::cerr << "kvantira-cli: component " << k + 1
                      << " refused: at most 19 components with 20 parameters together\n";
            return false;
        }
        const std::span<double> parameters = table.parameters(k);
        for (const StartValues& start : arguments.starts) {
            if (start.component != k + 1) {
                continue;
            }
            if (start.parameters.size() != parameters.size()) {
                std::cerr << "kvantira-cli: --start " << k + 1 << ": " << kindName(request.kind)
                          << " has " << parameters.size() << " parameters\n";
                return false;
            }
            std::copy(start.parameters.begin(), start.parameters.end(), parameters.begin());
        }
    }
    return true;
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
    int status = kExitOk;
    const Histogram* h = w.openHistogram(parsed->path, parsed->histogram, status);
    if (!h) {
        return status;
    }
    const FitRegion region{parsed->first - 1, parsed->last - 1};
    if (!region.fits(h->channels.size())) {
        std::cerr << "kvantira-cli: the range is not among channels 1.." << h->channels.size()
                  << '\n';
        return kExitUsage;
    }
    ComponentTable table;
    if (!addComponents(table, *parsed, *h, region)) {
        return kExitUsage;
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
