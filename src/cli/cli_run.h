#pragma once

// What the verbs that drive the analyser share: the run host that carries out a worker's
// requests on the verb's workspace, the file the measured histograms go to, and the wait for the
// worker with Ctrl-C as "Прервать".

#include "acquisition/port_selection.h"
#include "acquisition/run_control.h"
#include "acquisition/run_host.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "platform/clock.h"

#include <cstdint>
#include <functional>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv::cli {

// Carries out the worker's requests on the workspace. The main thread leaves the workspace
// alone until the worker has ended, so the requests run directly on the worker's thread.
// Progress goes to standard error, report lines to reportOut; with announceListed, each listed
// histogram's list name, total and exposure go to standard output as it is listed.
class CliRunHost : public RunHost {
public:
    CliRunHost(CliWorkspace& workspace, std::ostream& reportOut, bool announceListed);

    SaveOutcome saveOutcome() const { return m_saveOutcome; }

    void progress(const RunProgress& progress) override;
    void seriesCount(int completed) override;
    HistogramHandle addHistogram(std::unique_ptr<Histogram> record) override;
    bool updateHistogram(HistogramHandle listed, const Histogram& readOut) override;
    void redrawList() override {}
    void repaintPlot() override {}
    void markDocumentChanged() override { m_w.state.markChanged(); }
    void save() override { m_saveOutcome = m_w.document.save(); }
    void exportAllText() override;
    void reportLine(const std::string& text, int colourFlags, int indent) override;
    void closeProgress() override;

private:
    CliWorkspace& m_w;
    std::ostream& m_reportOut;
    bool m_announceListed;
    std::uint32_t m_shownTenths = UINT32_MAX;
    bool m_progressShown = false;
    SaveOutcome m_saveOutcome = SaveOutcome::Cancelled;
};

// The analyser a verb drives on clock, chosen by the port options among args (the other
// arguments left in its remaining); none, after saying why on standard error, when the options
// name none that can be opened.
PortChoice verbAnalyser(std::span<const std::string_view> args, const Clock& clock);

// A run's seconds, from 0 to 4 x 10^6 (beyond, the tick counter could not time them).
std::optional<double> secondsIn(std::string_view text);

// The exit status of a verb that drives the analyser whose arguments ask for its help (printed
// on standard output: 0), whose port options name no analyser that can be opened (1), or whose
// other arguments parse refuses (the help on standard error: 1); nothing when the verb should
// run, with ports holding the analyser chosen on clock and parsed the verb's arguments. The
// analyser is not chosen when help is asked for, so that asking opens no ports.
template <class Arguments>
std::optional<int>
analyserVerbStatus(std::span<const std::string_view> args, std::string_view help,
                   const Clock& clock,
                   std::optional<Arguments> (*parse)(const std::vector<std::string>&),
                   PortChoice& ports, std::optional<Arguments>& parsed) {
    if (wantsHelp(args)) {
        std::cout << help;
        return kExitOk;
    }
    ports = verbAnalyser(args, clock);
    if (!ports.analyser.ports) {
        return kExitUsage;
    }
    parsed = parse(ports.remaining);
    if (!parsed) {
        std::cerr << help;
        return kExitUsage;
    }
    return std::nullopt;
}

// Opens OUT when it exists, so new histograms are appended to what it holds, and makes it the
// file Save writes. Other writers of OUT wait until the workspace goes, so none of theirs is
// lost. The exit status to end with (OUT unreadable, or of spectra of another channel count
// than the analyser's), or 0.
int openTarget(CliWorkspace& w, const std::string& path);

// Runs work on the controller's thread and waits for it, on clock; the first SIGINT or SIGTERM
// aborts it like "Прервать". Whether it was stopped early; nothing, after saying why on
// standard error, when the worker could not start.
std::optional<bool> runToEnd(RunController& controller, Clock& clock,
                             std::function<void(RunFlags&)> work);

} // namespace kv::cli
