#pragma once

// A scripted UiServices for tests: records every message and dialog, answers questions and
// file dialogs from queues set up by the test (Cancel and cancelled dialogs once they run out).

#include "platform/ui_services.h"

#include <deque>
#include <string>
#include <vector>

namespace kv::test {

struct ShownMessage {
    StringId text;
    StringId caption;
    std::string detail;
};

class FakeUiServices : public UiServices {
public:
    std::vector<ShownMessage> messages;
    std::vector<StringId> questions;
    std::vector<FileDialogRequest> openDialogs;
    std::vector<FileDialogRequest> saveDialogs;
    std::deque<Answer> answers;
    std::deque<std::string> openAnswers; // an empty string stands for Cancel; for a dialog of
                                         // several files, the paths are separated by '\n'
    std::deque<std::string> saveAnswers;
    std::string clipboard;
    std::vector<int> helpContexts;

    // The text ids of the messages shown, in order.
    std::vector<StringId> messageIds() const;

    void showMessage(StringId text, StringId caption, std::string_view detail) override;
    // Recorded like showMessage, the filled-in text as the detail.
    void showFormattedMessage(StringId id, std::string_view formatted, StringId caption) override {
        showMessage(id, caption, formatted);
    }
    Answer ask(StringId text, StringId caption, QuestionButtons buttons) override;
    std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) override;
    std::vector<std::string> chooseOpenFiles(const FileDialogRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) override;
    void setClipboardText(const std::string& text) override { clipboard = text; }
    std::string clipboardText() override { return clipboard; }
    void showHelp(int context) override { helpContexts.push_back(context); }
    bool startAnotherCopy(const std::vector<std::string>&) override { return false; }
};

} // namespace kv::test
