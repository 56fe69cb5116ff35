#include "cli/cli_run.h"

#include "acquisition/analyser_port.h"
#include "cli/commands.h"
#include "model/cp1251.h"
#include "model/text_export.h"
#include "platform/stop_signals.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <utility>
#include <vector>

namespace kv::cli {

CliRunHost::CliRunHost(CliWorkspace& workspace, std::ostream& reportOut, bool announceListed)
    : m_w(workspace), m_reportOut(reportOut), m_announceListed(announceListed) {}

void CliRunHost::progress(const RunProgress& progress) {
    const std::uint32_t tenths = progress.elapsedMs / 100;
    if (tenths != m_shownTenths) {
        m_shownTenths = tenths;
        m_progressShown = true;
        std::fprintf(stderr, "\rmeasuring: %.1f of %.10g s", tenths / 10.0,
                     progress.exposureMs / 1000.0);
    }
}

void CliRunHost::seriesCount(int completed) {
    m_progressShown = true;
    std::fprintf(stderr, "\rcompleted: %d", completed);
}

HistogramHandle CliRunHost::addHistogram(std::unique_ptr<Histogram> record) {
    m_w.list.addHistogram(std::move(record));
    const int last = m_w.list.histogramCount() - 1;
    if (m_announceListed) {
        const Histogram& listed = *m_w.list.histogramAt(last);
        std::printf("%s\ttotal %u\texposure %.3f s\n", utf8FromCp1251(listed.name.view()).c_str(),
                    listed.total, listed.exposure);
        std::fflush(stdout);
    }
    return m_w.list.handleAt(last);
}

bool CliRunHost::updateHistogram(HistogramHandle listed, const Histogram& readOut) {
    return takeReadOut(m_w.list, listed, readOut);
}

void CliRunHost::exportAllText() {
    if (!exportAllToOneFile(m_w.list, m_w.config)) {
        std::cerr << "kvantira-cli: cannot write " << m_w.config.textExport.exportPath << '\n';
    }
}

void CliRunHost::reportLine(const std::string& text, int, int) {
    m_reportOut << text << std::endl;
}

void CliRunHost::closeProgress() {
    if (m_progressShown) {
        std::fputc('\n', stderr);
    }
}

PortChoice verbAnalyser(std::span<const std::string_view> args, const Clock& clock) {
    const std::vector<std::string> words(args.begin(), args.end());
    PortChoice ports = choosePorts(words, clock);
    if (!ports.analyser.ports) {
        std::cerr << "kvantira-cli: " << ports.error << '\n';
    }
    return ports;
}

std::optional<double> secondsIn(std::string_view text) {
    const auto value = parseNumber<double>(text);
    if (!value || !(*value >= 0.0) || *value > 4.0e6) {
        return std::nullopt;
    }
    return value;
}

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

std::optional<bool> runToEnd(RunController& controller, Clock& clock,
                             std::function<void(RunFlags&)> work) {
    const StopSignals stopSignals;
    const StartOutcome started = controller.start(std::move(work));
    if (!started.started()) {
        std::cerr << "kvantira-cli: the measurement could not start: " << started.reason << '\n';
        return std::nullopt;
    }
    bool stoppedEarly = false;
    while (controller.running()) {
        if (stopSignals.received() != 0 && !stoppedEarly) {
            controller.abort();
            stoppedEarly = true;
        }
        clock.waitFor(std::chrono::milliseconds(20));
    }
    controller.join();
    return stoppedEarly;
}

} // namespace kv::cli
