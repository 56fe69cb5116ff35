#pragma once

// What the core asks of the user interface: messages, questions, file dialogs, the clipboard,
// help and another copy of the program. The desktop program implements it with Qt; tests use
// a scripted fake; the command-line tool answers from its arguments. All calls come from the
// user-interface thread.

#include "platform/string_id.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class Answer { Yes, No, Cancel };

enum class QuestionButtons { YesNoCancel, YesNo };

// One file dialog. Texts are UTF-8; paths use '/'.
struct FileDialogRequest {
    StringId title;
    StringId filter;              // a table text of "description|pattern|..." pairs
    int filterIndex = 0;          // the pair chosen when the dialog opens
    std::string initialName;      // the edit field's text
    std::string initialDirectory; // empty: the platform's choice
    std::string defaultExtension; // without the dot, e.g. "HST"
};

class UiServices {
public:
    virtual ~UiServices() = default;

    // A message box with the table texts text and caption. A non-empty detail (a path, a
    // reason from the system) is shown on a line of its own below the text.
    virtual void showMessage(StringId text, StringId caption, std::string_view detail = {}) = 0;

    // A message box whose text is the table text of id with its numbers already filled in
    // (formatted), so tests can still tell which message it was.
    virtual void showFormattedMessage(StringId id, std::string_view formatted,
                                      StringId caption) = 0;

    virtual Answer ask(StringId text, StringId caption, QuestionButtons buttons) = 0;

    // An existing file to read; nothing when the user cancels.
    virtual std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) = 0;

    // Existing files to read, one or more chosen in one dialog. Empty on cancel.
    virtual std::vector<std::string> chooseOpenFiles(const FileDialogRequest& request) = 0;

    // A file to write; the dialog asks before an existing file is replaced. Nothing on cancel.
    virtual std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) = 0;

    // Clipboard texts are UTF-8 with CR LF line ends.
    virtual void setClipboardText(const std::string& text) = 0;
    virtual std::string clipboardText() = 0;

    // Opens the help file at the topic of the given context number.
    virtual void showHelp(int context) = 0;

    // Starts another copy of the program with the given arguments; false when it could not.
    virtual bool startAnotherCopy(const std::vector<std::string>& arguments) = 0;
};

} // namespace kv
