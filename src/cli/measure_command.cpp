#include "acquisition/analyser_port.h"
#include "acquisition/measurement.h"
#include "acquisition/port_selection.h"
#include "acquisition/run_control.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/cp1251.h"
#include "model/text_export.h"

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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
    "Ctrl-C stops the run early like \"Прервать\" and keeps the spectrum measured so far.\n"
    "Standard output gets the histogram's list name, total and exposure.\n"
    "  --name N, --comment C   the histogram's name (default Spectrum) and comment\n"
    "  --threshold T           the analyser threshold (only its low 8 bits reach the analyser)\n"
    "  --sources, --detector, --rate\n"
    "                          what the simulated analyser measures (also KVANTIRA_SOURCES,\n"
    "                          KVANTIRA_DETECTOR, KVANTIRA_RATE): sources cs137, co60, k40,\n"
    "                          th232, am241, eu152, ba133; counts per second\n"
    "  --ports=direct          the real analyser through the x86 ports (also KVANTIRA_PORTS)\n"
    "Exit status: 0 measured and saved, 1 usage or I/O error, 2 OUT is not a histogram file of\n"
    "2048-channel spectra.\n";

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void onInterrupt(int) {
    gInterrupted = 1;
}

struct MeasureArguments {
    double exposureSeconds = -1.0;
    std::string name = "Spectrum"; // UTF-8
    std::string comment;
    std::int32_t threshold = 0;
    std::string outPath;
};

std::optional<double> secondsIn(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0.0) || value > 4.0e6) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> thresholdIn(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

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
            const auto threshold = thresholdIn(args[++i]);
            if (!threshold) {
                return std::nullopt;
            }
            out.threshold = *threshold;
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

// Carries out the worker's requests on the workspace. The main thread leaves the workspace
// alone until the worker has ended, so the requests run directly on the worker's thread.
class CliRunHost : public RunHost {
public:
    explicit CliRunHost(CliWorkspace& workspace) : m_w(workspace) {}

    SaveOutcome saveOutcome() const { return m_saveOutcome; }

    void progress(const RunProgress& progress) override {
        const std::uint32_t tenths = progress.elapsedMs / 100;
        if (tenths != m_shownTenths) {
            m_shownTenths = tenths;
            std::fprintf(stderr, "\rmeasuring: %.1f of %.1f s", tenths / 10.0,
                         progress.exposureMs / 1000.0);
        }
    }
    void seriesCount(int) override {}
    Histogram* addHistogram(std::unique_ptr<Histogram> record) override {
        m_w.list.addHistogram(std::move(record));
        return m_w.list.histogramAt(m_w.list.histogramCount() - 1);
    }
    void updateHistogram(Histogram* listed, const Histogram& readOut) override {
        listed->channels = readOut.channels;
        listed->total = readOut.total;
        listed->exposure = readOut.exposure;
    }
    void redrawList() override {}
    void repaintPlot() override {}
    void markDocumentChanged() override { m_w.state.markChanged(); }
    void save() override { m_saveOutcome = m_w.document.save(); }
    void exportAllText() override { exportAllToOneFile(m_w.list, m_w.config); }
    void reportLine(const std::string& text, int, int) override { std::cerr << text << '\n'; }
    void closeProgress() override { std::fputc('\n', stderr); }

private:
    CliWorkspace& m_w;
    std::uint32_t m_shownTenths = UINT32_MAX;
    SaveOutcome m_saveOutcome = SaveOutcome::Cancelled;
};

// Opens OUT when it exists, so the new histogram is appended to what it holds. Other writers
// of OUT wait until the new histogram is saved, so none of theirs is lost.
int openTarget(CliWorkspace& w, const std::string& path) {
    if (const int status = w.lockForUpdate(path); status != kExitOk) {
        return status;
    }
    w.ui.setSaveFile(path);
    if (std::error_code missing; std::filesystem::exists(path, missing)) {
        w.ui.queueOpenFile(path);
        const int status = exitStatusOf(w.document.open());
        if (status != kExitOk) {
            return status;
        }
        if (!w.list.empty() && w.list.channelCount() != kAnalyserChannels) {
            std::cerr << "kvantira-cli: " << path << " holds spectra of " << w.list.channelCount()
                      << " channels; a measurement makes 2048\n";
            return kExitFormat;
        }
    }
    w.list.setChannelCount(kAnalyserChannels);
    return kExitOk;
}

} // namespace

int runMeasure(std::span<const std::string_view> args) {
    if (wantsHelp(args)) {
        std::cout << kMeasureHelp;
        return kExitOk;
    }
    const std::vector<std::string> words(args.begin(), args.end());
    Clock& clock = realClock();
    PortChoice ports = choosePorts(words, clock);
    if (!ports.analyser.ports) {
        std::cerr << "kvantira-cli: " << ports.error << '\n';
        return kExitUsage;
    }
    const auto parsed = parseArguments(ports.remaining);
    if (!parsed) {
        std::cerr << kMeasureHelp;
        return kExitUsage;
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
    CliRunHost host(w);
    RunController controller;
    PortIo& io = *ports.analyser.ports;
    gInterrupted = 0;
    const auto previousHandler = std::signal(SIGINT, onInterrupt);
    const StartOutcome started =
        controller.start([&io, &clock, &host, job = std::move(job)](RunFlags& flags) mutable {
            runMeasurement(io, clock, host, flags, std::move(job));
        });
    if (!started.started()) {
        std::signal(SIGINT, previousHandler);
        std::cerr << "kvantira-cli: the measurement could not start: " << started.reason << '\n';
        return kExitUsage;
    }
    while (controller.running()) {
        if (gInterrupted != 0) {
            controller.abort();
        }
        clock.waitFor(std::chrono::milliseconds(20));
    }
    controller.join();
    std::signal(SIGINT, previousHandler);

    const Histogram& measured = *w.list.histogramAt(w.list.histogramCount() - 1);
    std::printf("%s\ttotal %u\texposure %.3f s%s\n", utf8FromCp1251(measured.name.view()).c_str(),
                measured.total, measured.exposure, gInterrupted != 0 ? "\t(stopped early)" : "");
    return host.saveOutcome() == SaveOutcome::Written ? kExitOk : kExitUsage;
}

} // namespace kv::cli
