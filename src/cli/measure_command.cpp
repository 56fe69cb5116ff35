#include "acquisition/analyser_port.h"
#include "acquisition/measurement.h"
#include "acquisition/port_selection.h"
#include "acquisition/run_control.h"
#include "cli/cli_run.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/cp1251.h"
#include "model/histogram_file.h"
#include "model/text_export.h"
#include "platform/files.h"
#include "platform/program_directory.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kMeasureHelp =
    "usage: kvantira-cli measure --exposure SECONDS [--name N] [--comment C] [--threshold T]\n"
    "       [--sources LIST] [--detector nai|hpge] [--rate N] [--ports=direct] OUT.hst\n"
    "\n"
    "One timed measurement, as \"Старт\" runs it in the program with automatic saving on: the\n"
    "analyser is cleared and started, the spectrum is read out after SECONDS and appended to\n"
    "OUT as a new histogram (OUT is created when missing). Progress goes to standard error;\n"
    "Ctrl-C (or SIGTERM) stops the run early like \"Прервать\" and saves the spectrum measured\n"
    "so far; a second Ctrl-C ends the tool at once without saving. Standard output gets the\n"
    "histogram's list name, total and exposure once it is saved. When OUT cannot be written, the\n"
    "spectrum is kept in a new file beside it (or in the program or temporary directory), named\n"
    "on standard error, and the exit status is 1.\n"
    "  --name N, --comment C   the histogram's name (default Spectrum) and comment\n"
    "  --threshold T           the analyser threshold (only its low 8 bits reach the analyser)\n"
    "  --sources, --detector, --rate\n"
    "                          what the simulated analyser measures (also KVANTIRA_SOURCES,\n"
    "                          KVANTIRA_DETECTOR, KVANTIRA_RATE): sources cs137, co60, k40,\n"
    "                          th232, am241, eu152, ba133; counts per second, at most 10^7\n"
    "  --ports=direct          the real analyser through the x86 ports (also KVANTIRA_PORTS)\n"
    "Exit status: 0 measured and saved, 1 usage or I/O error, 2 OUT is not a histogram file of\n"
    "2048-channel spectra.\n";

struct MeasureArguments {
    double exposureSeconds = -1.0;
    std::string name = "Spectrum"; // UTF-8
    std::string comment;
    std::int32_t threshold = 0;
    std::string outPath;
};

std::optional<MeasureArguments> parseArguments(const std::vector<std::string>& args) {
    MeasureArguments out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--exposure" && hasValue) {
            const auto seconds = secondsIn(args[++i]);
            if (!seconds) {
                return std::nullopt;
            }
            out.exposureSeconds = *seconds;
        } else if (arg == "--name" && hasValue) {
            out.name = args[++i];
        } else if (arg == "--comment" && hasValue) {
            out.comment = args[++i];
        } else if (arg == "--threshold" && hasValue) {
            const auto threshold = parseNumber<std::uint32_t>(args[++i]);
            if (!threshold) {
                return std::nullopt;
            }
            out.threshold = static_cast<std::int32_t>(*threshold);
        } else if (!arg.starts_with("-") && out.outPath.empty()) {
            out.outPath = arg;
        } else {
            return std::nullopt;
        }
    }
    if (out.exposureSeconds < 0.0 || out.outPath.empty()) {
        return std::nullopt;
    }
    return out;
}

// The path of a file of the measurement's own in directory, named after the time the run
// started; from the second attempt on with "-N" added.
std::string unsavedPath(const std::string& directory, const SystemTime& started, int attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "kvantira-unsaved-%04u%02u%02u-%02u%02u%02u", started.year,
                  started.month, started.day, started.hour, started.minute, started.second);
    return directory + name + (attempt > 1 ? "-" + std::to_string(attempt) : "") + ".hst";
}

// After a failed save the measured spectrum is written alone to a new file, so that a full
// disk or an impossible name does not lose it: beside OUT, else in the program directory, else
// in the temporary directory. Says on standard error where it went, or that it is lost.
void keepUnsaved(const Histogram& measured, const AppConfig& config, const std::string& outPath) {
    DocumentState state;
    HistogramList alone(state);
    alone.setChannelCount(kAnalyserChannels);
    alone.addHistogram(std::make_unique<Histogram>(measured));
    const std::vector<std::uint8_t> bytes = encodeHistogramFile(alone, config);

    std::vector<std::string> directories{directoryOf(outPath), findProgramDirectory()};
    std::error_code error;
    if (const auto temporary = std::filesystem::temp_directory_path(error); !error) {
        directories.push_back(temporary.string() + "/");
    }
    std::string reason;
    for (const std::string& directory : directories) {
        for (int attempt = 1; attempt <= 100; ++attempt) {
            const std::string path = unsavedPath(directory, measured.created, attempt);
            const WriteOutcome written = writeNewFile(path, bytes);
            if (written.written) {
                std::cerr << "kvantira-cli: " << outPath
                          << " was not saved; the measured spectrum is kept in "
                          << std::filesystem::absolute(path, error).string() << '\n';
                return;
            }
            reason = written.reason;
            // A name already taken moves on to the next; any other failure rules out the
            // directory.
            if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
                break;
            }
        }
    }
    std::cerr << "kvantira-cli: " << outPath
              << " was not saved, and the measured spectrum could not be kept anywhere either ("
              << reason << ")\n";
}

} // namespace

int runMeasure(std::span<const std::string_view> args) {
    Clock& clock = realClock();
    PortChoice ports;
    std::optional<MeasureArguments> parsed;
    if (const auto status =
            analyserVerbStatus(args, kMeasureHelp, clock, parseArguments, ports, parsed)) {
        return *status;
    }

    CliWorkspace w;
    if (const int status = openTarget(w, parsed->outPath); status != kExitOk) {
        return status;
    }
    MeasurementJob job =
        prepareMeasurement(w.config.analyser, w.config.countWindows, *w.list.newHistogram(),
                           {.name = cp1251FromUtf8(parsed->name),
                            .comment = cp1251FromUtf8(parsed->comment),
                            .exposureSeconds = parsed->exposureSeconds,
                            .threshold = parsed->threshold,
                            .autoSave = true});
    CliRunHost host(w, std::cerr, false);
    RunController controller;
    PortIo& io = *ports.analyser.ports;
    const std::optional<bool> stoppedEarly =
        runToEnd(controller, clock, [&io, &clock, &host, job = std::move(job)](RunFlags& flags) {
            runMeasurement(io, clock, host, flags, job);
        });
    if (!stoppedEarly) {
        return kExitUsage;
    }

    const Histogram& measured = *w.list.histogramAt(w.list.histogramCount() - 1);
    if (host.saveOutcome() != SaveOutcome::Written) {
        keepUnsaved(measured, w.config, parsed->outPath);
        return kExitUsage;
    }
    std::printf("%s\ttotal %u\texposure %.3f s%s\n", utf8FromCp1251(measured.name.view()).c_str(),
                measured.total, measured.exposure, *stoppedEarly ? "\t(stopped early)" : "");
    return kExitOk;
}

} // namespace kv::cli
