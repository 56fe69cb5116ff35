#pragma once

// Which PortIo the program drives, the simulated analyser (the default) or the real ports, and
// what the simulator measures. The environment sets, the command line overrides:
//
//   --ports=direct | --ports=simulated   KVANTIRA_PORTS     real ports need root or CAP_SYS_RAWIO
//   --sources=cs137,co60                 KVANTIRA_SOURCES   names of spectrum_model.h; a name
//                                                           given twice doubles that activity
//   --detector=nai | --detector=hpge     KVANTIRA_DETECTOR
//   --rate=N                             KVANTIRA_RATE      counts per second, N > 0
//
// Each option also takes its value as the next argument (--rate 20000).

#include "acquisition/port_io.h"
#include "acquisition/spectrum_model.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

struct PortSettings {
    bool direct = false;
    SimulationOptions simulation;

    bool operator==(const PortSettings&) const = default;
};

// An environment variable's value; nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
std::optional<std::string> processEnvironment(const char* name);

struct PortSettingsParse {
    PortSettings settings;
    std::vector<std::string> remaining; // the arguments that are not port options, in order
    std::string error;                  // the first value not understood; empty when none
};

PortSettingsParse parsePortSettings(std::span<const std::string> arguments,
                                    const EnvironmentLookup& environment);

struct PortChoice {
    std::unique_ptr<PortIo> io; // null when error is set
    std::string error;
    std::vector<std::string> remaining;
};

// The parsed settings turned into the ports: the simulator, or the real ports when the kernel
// grants them.
PortChoice choosePorts(std::span<const std::string> arguments,
                       const EnvironmentLookup& environment = processEnvironment);

} // namespace kv
