#include "acquisition/port_selection.h"
#include "acquisition/run_control.h"
#include "acquisition/series.h"
#include "acquisition/simulated_analyser.h"
#include "cli/cli_run.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/cp1251.h"

#include <chrono>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kSeriesHelp =
    "usage: kvantira-cli series xray --count N --exposure SECONDS [--interval SECONDS]\n"
    "           [--threshold T] [--config F.cnf] [--sources LIST] [--detector nai|hpge]\n"
    "           [--rate N] [--ports=direct]\n"
    "       kvantira-cli series cyclic --cycles N [--name N] [--comment C] [--threshold T]\n"
    "           [--port 1|2|3] [--start high|low] [--trigger COUNT:PAUSE]\n"
    "           [--text PATH [--one-file] [--names]] [--config F.cnf] [...] OUT.hst\n"
    "\n"
    "xray: the X-ray series (\"Серия рентгеновских измерений\"): N exposures of SECONDS each,\n"
    "started every SECONDS + interval (default 0.1 s) counted from the first start, so a late\n"
    "exposure does not delay the ones after it. Each spectrum is evaluated in the count windows\n"
    "of the configuration file (the defaults without one) and reported on standard output as\n"
    "one line: the seconds since the first start, then N1 N2 N3 C1 C2 (C1 C2 alone when the\n"
    "configuration asks for the short form), or N1 N2 N3 and \"Не определено\" when the third\n"
    "window counts fewer than 2 a second. No histogram is kept.\n"
    "cyclic: the cyclic measurement (\"Циклическое измерение\"): N cycles, each counting while\n"
    "the trigger line of printer port 1, 2 or 3 (default 1) stays at the start level (default\n"
    "high). Each cycle becomes a histogram named N0001, N0002, ..., told on standard output as\n"
    "it is listed, and all are appended to OUT at the end. With --text each cycle is also\n"
    "written to PATH numbered (run.txt gives run0001.txt, run0002.txt, ...), or with --one-file\n"
    "every histogram of OUT to PATH at the end; --names puts each name and comment first.\n"
    "  --trigger COUNT:PAUSE   drives the simulated analyser's trigger line: COUNT seconds at\n"
    "                          the start level, then PAUSE seconds at the other, repeated;\n"
    "                          without it the line never changes and the series waits\n"
    "  --sources, --detector, --rate, --ports=direct\n"
    "                          the analyser, as for measure\n"
    "Ctrl-C (or SIGTERM) stops a series like \"Прервать\": the exposure under way is still\n"
    "reported (xray); the cycles listed so far are saved and the rest dropped (cyclic).\n"
    "Exit status: 0 done, 1 usage or I/O error, 2 OUT is not a histogram file of 2048-channel\n"
    "spectra.\n";

enum class SeriesKind { Xray, Cyclic };

struct SeriesArguments {
    SeriesKind kind = SeriesKind::Xray;
    std::int32_t count = -1; // exposures or cycles
    double exposureSeconds = -1.0;
    double intervalSeconds = 0.1;
    std::int32_t threshold = 0;
    std::string configPath;
    std::string name = "Spectrum"; // UTF-8
    std::string comment;
    std::int32_t port = 0; // 0-based
    bool startOnHigh = true;
    std::optional<std::pair<double, double>> trigger; // seconds counting, seconds paused
    std::string textPath;
    bool oneFile = false;
    bool names = false;
    std::string outPath;
};

std::optional<std::pair<double, double>> triggerIn(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto counting = secondsIn(text.substr(0, colon));
    const auto paused = secondsIn(text.substr(colon + 1));
    if (!counting || !paused || *counting <= 0.0 || *paused <= 0.0) {
        return std::nullopt;
    }
    return std::pair{*counting, *paused};
}

std::optional<SeriesArguments> parseArguments(const std::vector<std::string>& args) {
    if (args.empty() || (args[0] != "xray" && args[0] != "cyclic")) {
        return std::nullopt;
    }
    SeriesArguments out;
    out.kind = args[0] == "xray" ? SeriesKind::Xray : SeriesKind::Cyclic;
    const bool cyclic = out.kind == SeriesKind::Cyclic;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        bool understood = true;
        if (arg == (cyclic ? "--cycles" : "--count") && hasValue) {
            const auto count = parseNumber<std::int32_t>(args[++i]);
            understood = count && *count >= 0;
            out.count = count.value_or(-1);
        } else if (arg == "--threshold" && hasValue) {
            const auto threshold = parseNumber<std::uint32_t>(args[++i]);
            understood = threshold.has_value();
            out.threshold = static_cast<std::int32_t>(threshold.value_or(0));
        } else if (arg == "--config" && hasValue) {
            out.configPath = args[++i];
        } else if (!cyclic && (arg == "--exposure" || arg == "--interval") && hasValue) {
            const auto seconds = secondsIn(args[++i]);
            understood = seconds.has_value();
            (arg == "--exposure" ? out.exposureSeconds : out.intervalSeconds) =
                seconds.value_or(0.0);
        } else if (cyclic && arg == "--name" && hasValue) {
            out.name = args[++i];
        } else if (cyclic && arg == "--comment" && hasValue) {
            out.comment = args[++i];
        } else if (cyclic && arg == "--port" && hasValue) {
            const auto port = parseNumber<std::int32_t>(args[++i]);
            understood = port && *port >= 1 && *port <= 3;
            out.port = port.value_or(1) - 1;
        } else if (cyclic && arg == "--start" && hasValue) {
            const std::string& level = args[++i];
            understood = level == "high" || level == "low";
            out.startOnHigh = level == "high";
        } else if (cyclic && arg == "--trigger" && hasValue) {
            out.trigger = triggerIn(args[++i]);
            understood = out.trigger.has_value();
        } else if (cyclic && arg == "--text" && hasValue) {
            out.textPath = args[++i];
        } else if (cyclic && arg == "--one-file") {
            out.oneFile = true;
        } else if (cyclic && arg == "--names") {
            out.names = true;
        } else if (cyclic && !arg.starts_with("-") && out.outPath.empty()) {
            out.outPath = arg;
        } else {
            understood = false;
        }
        if (!understood) {
            return std::nullopt;
        }
    }
    const bool complete =
        out.count >= 0 && (cyclic ? !out.outPath.empty() : out.exposureSeconds >= 0.0);
    if (!complete || ((out.oneFile || out.names) && out.textPath.empty())) {
        return std::nullopt;
    }
    return out;
}

int runXray(const SeriesArguments& parsed, CliWorkspace& w, PortIo& io, Clock& clock) {
    SeriesSettings& series = w.config.series;
    series.xrayExposure = parsed.exposureSeconds;
    series.seriesInterval = parsed.intervalSeconds;
    series.seriesMaxCount = parsed.count;
    w.config.analyser.threshold = parsed.threshold;
    const XraySeriesJob job{w.config.analyser, series, w.config.countWindows};
    CliRunHost host(w, std::cout, false);
    RunController controller;
    const auto stoppedEarly = runToEnd(
        controller, clock, [&](RunFlags& flags) { runXraySeries(io, clock, host, flags, job); });
    return stoppedEarly ? kExitOk : kExitUsage;
}

// The simulated line repeats: at bit 7 = 1 for setFor, then at 0 for clearFor. The status port
// reads the line inverted, so a series started on the high level counts while bit 7 is 0.
void driveTrigger(SimulatedAnalyser& simulated, const SeriesArguments& parsed) {
    using Seconds = std::chrono::duration<double>;
    const auto counting =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Seconds(parsed.trigger->first));
    const auto paused =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Seconds(parsed.trigger->second));
    if (parsed.startOnHigh) {
        simulated.setTriggerPattern(parsed.port, paused, counting);
    } else {
        simulated.setTriggerPattern(parsed.port, counting, paused);
    }
}

int runCyclic(const SeriesArguments& parsed, CliWorkspace& w, PortIo& io, Clock& clock) {
    if (parsed.trigger) {
        auto* simulated = dynamic_cast<SimulatedAnalyser*>(&io);
        if (simulated == nullptr) {
            std::cerr << "kvantira-cli: --trigger drives the simulated analyser's line only\n";
            return kExitUsage;
        }
        driveTrigger(*simulated, parsed);
    }
    if (const int status = openTarget(w, parsed.outPath); status != kExitOk) {
        return status;
    }
    AppConfig& config = w.config;
    config.series.triggerPort = parsed.port;
    config.series.cycleCount = parsed.count;
    config.series.startOnHighLevel = parsed.startOnHigh ? 1 : 0;
    config.analyser.threshold = parsed.threshold;
    config.analyser.autoSave = 1;
    config.textExport.textAutoSave = parsed.textPath.empty() ? 0 : 1;
    config.textExport.exportPath = parsed.textPath;
    config.textExport.exportOneFile = parsed.oneFile ? 1 : 0;
    config.textExport.exportNames = parsed.names ? 1 : 0;
    CyclicJob job = prepareCyclicSeries(
        config.analyser, config.series, {config.textExport, config.plot, config.energyCalibration},
        w.list, cp1251FromUtf8(parsed.name), cp1251FromUtf8(parsed.comment));
    CliRunHost host(w, std::cerr, true);
    RunController controller;
    const auto stoppedEarly =
        runToEnd(controller, clock, [&io, &clock, &host, &job](RunFlags& flags) {
            runCyclicSeries(io, clock, host, flags, std::move(job));
        });
    if (!stoppedEarly) {
        return kExitUsage;
    }
    if (host.saveOutcome() != SaveOutcome::Written) {
        std::cerr << "kvantira-cli: " << parsed.outPath << " was not saved\n";
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

int runSeries(std::span<const std::string_view> args) {
    Clock& clock = realClock();
    PortChoice ports;
    std::optional<SeriesArguments> parsed;
    if (const auto status =
            analyserVerbStatus(args, kSeriesHelp, clock, parseArguments, ports, parsed)) {
        return *status;
    }
    CliWorkspace w;
    if (const int status = w.loadConfiguration(parsed->configPath)) {
        return status;
    }
    PortIo& io = *ports.analyser.ports;
    return parsed->kind == SeriesKind::Xray ? runXray(*parsed, w, io, clock)
                                            : runCyclic(*parsed, w, io, clock);
}

} // namespace kv::cli
