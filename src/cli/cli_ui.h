#pragma once

// UiServices for the command-line tool: messages go to standard error, file dialogs are
// answered from the command's arguments, and questions are answered Cancel so that nothing
// unsaved is ever discarded without the user.

#include "model/document.h"
#include "platform/ui_services.h"

#include <deque>
#include <optional>
#include <string>
#include <utility>

namespace kv {

class CliUi : public UiServices {
public:
    // Paths handed out, in order, to the open dialogs.
    void queueOpenFile(std::string path) { m_openFiles.push_back(std::move(path)); }
    // The path every save dialog answers with.
    void setSaveFile(std::string path) { m_saveFile = std::move(path); }

    bool reportedError() const { return m_reportedError; }

    void showMessage(StringId message, StringId caption, std::string_view detail) override;
    void showFormattedMessage(StringId id, std::string_view formatted, StringId caption) override;
    Answer ask(StringId message, StringId caption, QuestionButtons buttons) override;
    std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) override;
    std::vector<std::string> chooseOpenFiles(const FileDialogRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) override;
    void setClipboardText(const std::string& value) override;
    std::string clipboardText() override;
    void showHelp(int context) override;
    bool startAnotherCopy(const std::vector<std::string>& arguments) override;

private:
    std::deque<std::string> m_openFiles;
    std::string m_saveFile;
    std::string m_clipboard;
    bool m_reportedError = false;
};

// What one verb works on: default settings, an empty list and the document flows over them.
struct CliWorkspace {
    CliUi ui;
    AppConfig config;
    DocumentState state;
    HistogramList list{state};
    Document document{list, config, state, ui};

    // Reads the configuration file when configPath names one. The exit status to end with (1,
    // after saying so, when it cannot be read), or 0.
    int loadConfiguration(const std::string& configPath);

    // Reads the configuration file when configPath names one, then opens path as the program
    // does. The exit status to end with, or 0.
    int open(const std::string& path, const std::string& configPath = {});

    // Opens a histogram file as the program's Open does, or imports another analyser's file
    // (by its extension) as its Import does.
    ReadOutcome openAny(const std::string& path);

    // Locks path against the program's other writers until the workspace goes, for a verb
    // that reads the file and writes it back; while another writer holds it, says so and
    // waits. The exit status to end with (a name that can never be written), or 0.
    int lockForUpdate(const std::string& path);

    // The histogram at a 1-based list position, or nothing after saying what the file holds.
    const Histogram* histogramAt(int position);

    // Opens path as open does (with the configuration file when configPath names one) and
    // returns its histogram at a 1-based list position; nothing, after saying why, with
    // exitStatus set to the status to end with.
    const Histogram* openHistogram(const std::string& path, int position, int& exitStatus,
                                   const std::string& configPath = {});

    // The 1-based channel range given, or without one the visible range stored in the file;
    // nothing, after saying so, when it does not lie among the list's channels.
    std::optional<std::pair<int, int>> channelRange(std::optional<std::pair<int, int>> given) const;
};

} // namespace kv
