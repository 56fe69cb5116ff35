#pragma once

// Which PortIo the program drives, the simulated analyser (the default) or the real ports, and
// what the simulator measures. The environment sets, the command line overrides:
//
//   --ports=direct | --ports=simulated   KVANTIRA_PORTS     real ports need root or CAP_SYS_RAWIO
//   --sources=cs137,co60                 KVANTIRA_SOURCES   names of spectrum_model.h; a name
//                                                           given twice doubles that activity
//   --detector=nai | --detector=hpge     KVANTIRA_DETECTOR
//   --rate=N                             KVANTIRA_RATE      counts per second, 0 < N <= 10^7
//
// Each option also takes its value as the next argument (--rate 20000).

#include "acquisition/direct_ports.h"
#include "acquisition/port_io.h"
#include "acquisition/spectrum_model.h"
#include "model/settings.h"
#include "platform/clock.h"
#include "platform/ui_services.h"

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

enum class AnalyserKind { None, Simulated, Direct };

// The analyser a program drives.
struct Analyser {
    AnalyserKind kind = AnalyserKind::None;
    std::unique_ptr<PortIo> ports; // null exactly when kind is None
};

struct PortChoice {
    Analyser analyser; // none when error is set
    std::string error;
    std::vector<std::string> remaining;
};

// How the real ports are opened: DirectPorts::open, or a stand-in in tests.
using DirectPortsOpener = std::function<DirectPorts::Opening()>;

// The parsed settings turned into the ports: the simulator on clock, or the real ports when the
// kernel grants them.
PortChoice choosePorts(std::span<const std::string> arguments, const Clock& clock,
                       const EnvironmentLookup& environment = processEnvironment,
                       const DirectPortsOpener& openDirect = DirectPorts::open);

// The desktop program's start: choosePorts, where a back end that cannot be set up (the real
// ports refused, an option not understood) is reported through ui, with the reason as the
// message's detail, and the program runs without an analyser rather than with one it was not
// asked for, so no simulated spectrum can be taken for a measured one.
PortChoice startAnalyser(std::span<const std::string> arguments, const Clock& clock, UiServices& ui,
                         const EnvironmentLookup& environment = processEnvironment,
                         const DirectPortsOpener& openDirect = DirectPorts::open);

// The status bar's text of the analyser: "Анализатор: имитатор", "Анализатор: адрес 300" with
// the configured base of the real ports, or "Анализатор: не подключен".
std::string analyserStatusText(AnalyserKind kind, const AnalyserSettings& settings);

} // namespace kv
