#include "acquisition/port_selection.h"

#include "acquisition/analyser_port.h"
#include "acquisition/simulated_analyser.h"
#include "model/append_format.h"
#include "model/strings.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace kv {

namespace {

struct Option {
    std::string_view flag;       // "--rate"
    const char* environmentName; // "KVANTIRA_RATE"
    // Applies a value; an error text when it is not understood.
    std::string (*apply)(std::string_view value, PortSettings& settings);
};

std::string applyPorts(std::string_view value, PortSettings& settings) {
    if (value != "direct" && value != "simulated") {
        return "ports must be direct or simulated, not '" + std::string(value) + "'";
    }
    settings.direct = value == "direct";
    return {};
}

std::string applySources(std::string_view value, PortSettings& settings) {
    std::vector<Source> sources;
    for (std::size_t begin = 0; begin <= value.size();) {
        const std::size_t end = std::min(value.find(',', begin), value.size());
        const std::string_view name = value.substr(begin, end - begin);
        const std::optional<Source> source = sourceFromName(name);
        if (!source) {
            return "unknown source '" + std::string(name) +
                   "' (known: cs137, co60, k40, th232, am241, eu152, ba133)";
        }
        sources.push_back(*source);
        begin = end + 1;
    }
    settings.simulation.sources = std::move(sources);
    return {};
}

std::string applyDetector(std::string_view value, PortSettings& settings) {
    const std::optional<Detector> detector = detectorFromName(value);
    if (!detector) {
        return "detector must be nai or hpge, not '" + std::string(value) + "'";
    }
    settings.simulation.detector = *detector;
    return {};
}

std::string applyRate(std::string_view value, PortSettings& settings) {
    double rate = 0.0;
    const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), rate);
    if (status != std::errc{} || end != value.data() + value.size() || !std::isfinite(rate) ||
        rate <= 0.0) {
        return "rate must be a positive number of counts per second, not '" + std::string(value) +
               "'";
    }
    if (rate > kMaxCountsPerSecond) {
        return "rate " + std::string(value) + " is more than an analyser can count; at most " +
               std::to_string(static_cast<long long>(kMaxCountsPerSecond)) + " counts per second";
    }
    settings.simulation.countsPerSecond = rate;
    return {};
}

constexpr Option kOptions[] = {
    {"--ports", "KVANTIRA_PORTS", applyPorts},
    {"--sources", "KVANTIRA_SOURCES", applySources},
    {"--detector", "KVANTIRA_DETECTOR", applyDetector},
    {"--rate", "KVANTIRA_RATE", applyRate},
};

} // namespace

std::optional<std::string> processEnvironment(const char* name) {
    // Read at start-up, before any thread of ours runs, and the program never sets variables.
    const char* value = std::getenv(name); // NOLINT(concurrency-mt-unsafe)
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

PortSettingsParse parsePortSettings(std::span<const std::string> arguments,
                                    const EnvironmentLookup& environment) {
    PortSettingsParse parse;
    const auto fail = [&parse](std::string_view where, const std::string& error) {
        if (!error.empty() && parse.error.empty()) {
            parse.error = std::string(where) + ": " + error;
        }
    };
    for (const Option& option : kOptions) {
        if (const std::optional<std::string> value = environment(option.environmentName)) {
            fail(option.environmentName, option.apply(*value, parse.settings));
        }
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const Option* matched = nullptr;
        for (const Option& option : kOptions) {
            if (argument.starts_with(option.flag) &&
                (argument.size() == option.flag.size() || argument[option.flag.size()] == '=')) {
                matched = &option;
            }
        }
        if (matched == nullptr) {
            parse.remaining.push_back(arguments[i]);
        } else if (argument.size() > matched->flag.size()) {
            fail(matched->flag,
                 matched->apply(argument.substr(matched->flag.size() + 1), parse.settings));
        } else if (i + 1 < arguments.size()) {
            fail(matched->flag, matched->apply(arguments[++i], parse.settings));
        } else {
            fail(matched->flag, "a value is missing");
        }
    }
    return parse;
}

PortChoice choosePorts(std::span<const std::string> arguments, const Clock& clock,
                       const EnvironmentLookup& environment, const DirectPortsOpener& openDirect) {
    PortSettingsParse parse = parsePortSettings(arguments, environment);
    PortChoice choice{{}, std::move(parse.error), std::move(parse.remaining)};
    if (!choice.error.empty()) {
        return choice;
    }
    if (!parse.settings.direct) {
        choice.analyser = {AnalyserKind::Simulated,
                           std::make_unique<SimulatedAnalyser>(clock, parse.settings.simulation)};
        return choice;
    }
    DirectPorts::Opening opening = openDirect();
    if (opening.ports) {
        choice.analyser = {AnalyserKind::Direct, std::move(opening.ports)};
    }
    choice.error = std::move(opening.error);
    return choice;
}

PortChoice startAnalyser(std::span<const std::string> arguments, const Clock& clock, UiServices& ui,
                         const EnvironmentLookup& environment,
                         const DirectPortsOpener& openDirect) {
    PortChoice choice = choosePorts(arguments, clock, environment, openDirect);
    if (!choice.error.empty()) {
        ui.showMessage(StringId::AnalyserUnavailable, StringId::BadNews, choice.error);
    }
    return choice;
}

std::string analyserStatusText(AnalyserKind kind, const AnalyserSettings& settings) {
    switch (kind) {
    case AnalyserKind::Simulated:
        return std::string(text(StringId::AnalyserSimulatedStatus));
    case AnalyserKind::Direct:
        // The table's text is the format of the base port.
        return formatText(std::string(text(StringId::AnalyserPortsStatus)).c_str(),
                          static_cast<unsigned>(portBase(settings)));
    case AnalyserKind::None:
        break;
    }
    return std::string(text(StringId::AnalyserNoneStatus));
}

} // namespace kv
