#include "cli/cli_ui.h"
#include "cli/commands.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kMergeHelp =
    "usage: kvantira-cli merge OUT.hst IN1.hst [IN2.hst ...]\n"
    "\n"
    "Opens IN1, appends the other files in order and saves the whole list as OUT, exactly as\n"
    "File > Open, Append and Save as do in the program: histograms are renumbered 1, 2, ... and\n"
    "the trailer of the files read last (calibrations and range) is written. All files must\n"
    "have the same channel count; nothing is written when any file cannot be read whole.\n";

} // namespace

int runMerge(std::span<const std::string_view> args) {
    const bool onlyPaths = std::none_of(args.begin(), args.end(),
                                        [](std::string_view arg) { return arg.starts_with("-"); });
    if (const auto status = helpOrUsageStatus(args, kMergeHelp, onlyPaths && args.size() >= 2)) {
        return *status;
    }
    const std::vector<std::string> paths(args.begin(), args.end());

    CliWorkspace w;
    // OUT may be one of the inputs: no other writer may change it between reading and saving.
    if (const int status = w.lockForUpdate(paths[0]); status != kExitOk) {
        return status;
    }
    for (std::size_t i = 1; i < paths.size(); ++i) {
        w.ui.queueOpenFile(paths[i]);
        const ReadOutcome outcome = i == 1 ? w.document.open() : w.document.append();
        if (outcome != ReadOutcome::Read) {
            std::cerr << "kvantira-cli: " << paths[i] << " was not read whole; nothing written\n";
            return exitStatusOf(outcome);
        }
    }
    w.ui.setSaveFile(paths[0]);
    switch (w.document.saveAs()) {
    case SaveOutcome::Written:
        return kExitOk;
    case SaveOutcome::NothingToSave:
        std::cerr << "kvantira-cli: the files hold no histograms; nothing written\n";
        return kExitUsage;
    case SaveOutcome::Cancelled:
    case SaveOutcome::Failed:
        break;
    }
    return kExitUsage;
}

} // namespace kv::cli
