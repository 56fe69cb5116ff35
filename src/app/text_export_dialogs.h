#pragma once

// The text export's two dialogs: the options ("Сохранить в текстовом формате": one file or one
// per histogram, with or without names) and the question before an existing file is replaced
// ("Внимание!"), and the TextExportQuestions that shows them.

#include "model/text_export.h"
#include "platform/ui_services.h"

#include <QDialog>

#include <map>
#include <string>

class QAbstractButton;

namespace kv {

class TextExportOptionsDialog : public QDialog {
public:
    enum class Control {
        Ok = 1,
        Cancel = 2,
        Help = 9,
        PerHistogram = 101,
        OneFile = 102,
        WithNames = 103,
        MarkedLabel = 104,
    };

    // "Помощь" opens the help at the text export's topic.
    TextExportOptionsDialog(bool oneFile, bool withNames, UiServices& ui,
                            QWidget* parent = nullptr);

    QWidget* control(Control id) const;
    bool oneFile() const;
    bool withNames() const;

private:
    std::map<Control, QWidget*> m_controls;
};

class OverwriteDialog : public QDialog {
public:
    // Overwrite and OverwriteAll end the dialog with these codes, Cancel with Rejected.
    enum class Control { Overwrite = 1, Cancel = 2, FileName = 101, OverwriteAll = 102 };

    explicit OverwriteDialog(const std::string& path, QWidget* parent = nullptr);

    QAbstractButton* button(Control id) const;
    OverwriteAnswer answer() const { return m_answer; }

private:
    std::map<Control, QAbstractButton*> m_buttons;
    OverwriteAnswer m_answer = OverwriteAnswer::Cancel;
};

class TextExportDialogs : public TextExportQuestions {
public:
    TextExportDialogs(UiServices& ui, QWidget* parent) : m_ui(ui), m_parent(parent) {}

    bool chooseOptions(bool& oneFile, bool& withNames) override;
    OverwriteAnswer askOverwrite(const std::string& path) override;

private:
    UiServices& m_ui;
    QWidget* m_parent;
};

} // namespace kv
