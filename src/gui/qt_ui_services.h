#pragma once

// UiServices for the desktop program, with Qt: message boxes, file dialogs, the clipboard, the
// help window and starting another copy. Used from the GUI thread only.

#include "platform/ui_services.h"

#include <QFileDialog>
#include <QPointer>
#include <QStringList>

#include <string>
#include <string_view>

class QWidget;

namespace kv {

class HelpWindow;

// Qt name filters for a table filter of "description|pattern|..." pairs: "description
// (patterns)", where a description's own trailing "(...)" is replaced by the patterns, ';'
// between Windows patterns becomes a blank, and "*.*" (every file on Windows) becomes "*".
QStringList qtNameFilters(std::string_view tableFilter);

class QtUiServices : public UiServices {
public:
    // programDirectory: where the help file lives, with a trailing '/'. owner: the window that
    // owns message boxes, dialogs and the help window; may be null.
    explicit QtUiServices(std::string programDirectory, QWidget* owner = nullptr);

    // The main window exists only after the services it is built with; it becomes the owner.
    void setOwner(QWidget* owner) { m_owner = owner; }

    void showMessage(StringId text, StringId caption, std::string_view detail = {}) override;
    void showFormattedMessage(StringId id, std::string_view formatted, StringId caption) override;
    Answer ask(StringId text, StringId caption, QuestionButtons buttons) override;
    std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) override;
    std::vector<std::string> chooseOpenFiles(const FileDialogRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) override;
    void setClipboardText(const std::string& text) override;
    // Lone LF line ends (what Linux programs put there) come back as CR LF.
    std::string clipboardText() override;
    // Puts the shipped help file into the program directory when it is missing there; when it
    // cannot, shows the shipped one.
    void showHelp(int context) override;
    bool startAnotherCopy(const std::vector<std::string>& arguments) override;

private:
    void showBox(const QString& message, StringId caption);
    QStringList chooseFiles(const FileDialogRequest& request, QFileDialog::FileMode mode);

    std::string m_programDirectory;
    QPointer<QWidget> m_owner;
    QPointer<HelpWindow> m_helpWindow;
};

} // namespace kv
