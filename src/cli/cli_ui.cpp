#include "cli/cli_ui.h"

#include "cli/commands.h"
#include "formats/spectrum_exchange.h"
#include "model/configuration_file.h"
#include "model/strings.h"

#include <algorithm>
#include <iostream>

namespace kv {

void CliUi::showMessage(StringId message, StringId caption, std::string_view detail) {
    if (caption == StringId::BadNews) {
        m_reportedError = true;
    }
    std::cerr << "kvantira-cli: " << text(caption) << ": " << text(message);
    if (!detail.empty()) {
        std::string oneLine(detail);
        std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
        std::cerr << " (" << oneLine << ")";
    }
    std::cerr << '\n';
}

void CliUi::showFormattedMessage(StringId, std::string_view formatted, StringId caption) {
    if (caption == StringId::BadNews) {
        m_reportedError = true;
    }
    std::cerr << "kvantira-cli: " << text(caption) << ": " << formatted << '\n';
}

Answer CliUi::ask(StringId message, StringId caption, QuestionButtons) {
    std::cerr << "kvantira-cli: " << text(caption) << ' ' << text(message) << " -> cancelled\n";
    return Answer::Cancel;
}

std::optional<std::string> CliUi::chooseOpenFile(const FileDialogRequest&) {
    if (m_openFiles.empty()) {
        return std::nullopt;
    }
    std::string path = std::move(m_openFiles.front());
    m_openFiles.pop_front();
    return path;
}

std::vector<std::string> CliUi::chooseOpenFiles(const FileDialogRequest& request) {
    std::vector<std::string> paths;
    while (auto path = chooseOpenFile(request)) {
        paths.push_back(std::move(*path));
    }
    return paths;
}

std::optional<std::string> CliUi::chooseSaveFile(const FileDialogRequest&) {
    if (m_saveFile.empty()) {
        return std::nullopt;
    }
    return m_saveFile;
}

void CliUi::setClipboardText(const std::string& value) {
    m_clipboard = value;
}

std::string CliUi::clipboardText() {
    return m_clipboard;
}

void CliUi::showHelp(int) {}

bool CliUi::startAnotherCopy(const std::vector<std::string>&) {
    return false;
}

int CliWorkspace::loadConfiguration(const std::string& configPath) {
    if (!configPath.empty() && !loadConfigurationFile(config, configPath)) {
        std::cerr << "kvantira-cli: cannot read " << configPath << '\n';
        return cli::kExitUsage;
    }
    return cli::kExitOk;
}

int CliWorkspace::open(const std::string& path, const std::string& configPath) {
    if (const int status = loadConfiguration(configPath)) {
        return status;
    }
    return cli::exitStatusOf(openAny(path));
}

ReadOutcome CliWorkspace::openAny(const std::string& path) {
    return addNamedFile(document, config, ui, path, true);
}

int CliWorkspace::lockForUpdate(const std::string& path) {
    LockAttempt attempt = FileLock::acquire(path, LockWait::No);
    if (attempt.state == LockState::Busy) {
        std::cerr << "kvantira-cli: waiting for " << path << ": another program is writing it\n";
        attempt = FileLock::acquire(path, LockWait::Yes);
    }
    if (!attempt.lock) {
        std::cerr << "kvantira-cli: cannot write " << path << ": " << attempt.reason << '\n';
        return cli::kExitUsage;
    }
    document.holdLock(std::move(*attempt.lock));
    return cli::kExitOk;
}

const Histogram* CliWorkspace::histogramAt(int position) {
    const Histogram* h = list.histogramAt(position - 1);
    if (!h) {
        std::cerr << "kvantira-cli: the file has " << list.histogramCount() << " histograms of "
                  << list.channelCount() << " channels\n";
    }
    return h;
}

const Histogram* CliWorkspace::openHistogram(const std::string& path, int position, int& exitStatus,
                                             const std::string& configPath) {
    exitStatus = open(path, configPath);
    if (exitStatus != cli::kExitOk) {
        return nullptr;
    }
    const Histogram* h = histogramAt(position);
    if (!h) {
        exitStatus = cli::kExitUsage;
    }
    return h;
}

std::optional<std::pair<int, int>>
CliWorkspace::channelRange(std::optional<std::pair<int, int>> given) const {
    const std::int32_t channels = list.channelCount();
    const auto range =
        given.value_or(std::pair{config.plot.firstChannel + 1, config.plot.lastChannel + 1});
    if (range.first < 1 || range.first > range.second || range.second > channels) {
        std::cerr << "kvantira-cli: the range is not among channels 1.." << channels << '\n';
        return std::nullopt;
    }
    return range;
}

namespace cli {

bool wantsHelp(std::span<const std::string_view> args) {
    return std::any_of(args.begin(), args.end(),
                       [](std::string_view arg) { return arg == "--help" || arg == "-h"; });
}

bool refusedEmptyArgument(std::span<const std::string_view> args) {
    if (std::none_of(args.begin(), args.end(), [](std::string_view arg) { return arg.empty(); })) {
        return false;
    }
    std::cerr << "kvantira-cli: an empty argument (\"\") names no file or value\n";
    return true;
}

std::optional<int> helpOrUsageStatus(std::span<const std::string_view> args, std::string_view help,
                                     bool parsed) {
    if (wantsHelp(args)) {
        std::cout << help;
        return kExitOk;
    }
    if (refusedEmptyArgument(args)) {
        return kExitUsage;
    }
    if (!parsed) {
        std::cerr << help;
        return kExitUsage;
    }
    return std::nullopt;
}

std::optional<std::pair<int, int>> parseRange(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto a = parseNumber<int>(text.substr(0, colon));
    const auto b = parseNumber<int>(text.substr(colon + 1));
    if (!a || !b) {
        return std::nullopt;
    }
    return std::pair{*a, *b};
}

int exitStatusOf(ReadOutcome outcome) {
    switch (outcome) {
    case ReadOutcome::Read:
        return kExitOk;
    case ReadOutcome::NotOpened:
    case ReadOutcome::Cancelled:
        return kExitUsage;
    case ReadOutcome::WrongMagic:
    case ReadOutcome::Damaged:
    case ReadOutcome::DifferentChannelCount:
        break;
    }
    return kExitFormat;
}

} // namespace cli

} // namespace kv
