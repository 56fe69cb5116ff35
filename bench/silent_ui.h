#pragma once

// UiServices for the benchmarks: no message box or dialog ever opens, questions are cancelled
// and file dialogs give nothing. The benchmarks check their outcomes themselves.

#include "platform/ui_services.h"

namespace kv {

class SilentUi final : public UiServices {
public:
    void showMessage(StringId, StringId, std::string_view) override {}
    void showFormattedMessage(StringId, std::string_view, StringId) override {}
    Answer ask(StringId, StringId, QuestionButtons) override { return Answer::Cancel; }
    std::optional<std::string> chooseOpenFile(const FileDialogRequest&) override { return {}; }
    std::vector<std::string> chooseOpenFiles(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> chooseSaveFile(const FileDialogRequest&) override { return {}; }
    void setClipboardText(const std::string&) override {}
    std::string clipboardText() override { return {}; }
    void showHelp(int) override {}
    bool startAnotherCopy(const std::vector<std::string>&) override { return false; }
};

} // namespace kv
