#include "app/text_export_dialogs.h"

#include "gui/dialog_controls.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kv {

namespace {

// The help topic of the text export.
constexpr int kHelpContext = 40;

} // namespace

TextExportOptionsDialog::TextExportOptionsDialog(bool oneFile, bool withNames, UiServices& ui,
                                                 QWidget* parent)
    : QDialog(parent) {
    using C = Control;
    setWindowTitle(qs("Сохранить в текстовом формате"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(qs("отмеченные гистограммы"), this);
    auto* perHistogram = new QRadioButton(qs("каждую в отдельном файле"), this);
    auto* together = new QRadioButton(qs("все в одном файле"), this);
    auto* names = new QCheckBox(qs("Включать имена гистограмм"), this);
    layout->addWidget(label);
    layout->addWidget(perHistogram);
    layout->addWidget(together);
    layout->addWidget(names);
    (oneFile ? together : perHistogram)->setChecked(true);
    names->setChecked(withNames);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(qs("OK"), this);
    auto* cancel = new QPushButton(qs("Отменить"), this);
    auto* help = new QPushButton(qs("Помощь"), this);
    for (QPushButton* b : {ok, cancel, help}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    ok->setDefault(true);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [&ui] { ui.showHelp(kHelpContext); });
    m_controls = {{C::Ok, ok},
                  {C::Cancel, cancel},
                  {C::Help, help},
                  {C::PerHistogram, perHistogram},
                  {C::OneFile, together},
                  {C::WithNames, names},
                  {C::MarkedLabel, label}};
}

QWidget* TextExportOptionsDialog::control(Control id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

bool TextExportOptionsDialog::oneFile() const {
    return static_cast<QAbstractButton*>(control(Control::OneFile))->isChecked();
}

bool TextExportOptionsDialog::withNames() const {
    return static_cast<QAbstractButton*>(control(Control::WithNames))->isChecked();
}

OverwriteDialog::OverwriteDialog(const std::string& path, QWidget* parent) : QDialog(parent) {
    setWindowTitle(qs("Внимание!"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLineEdit(QString::fromStdString(path), this);
    name->setReadOnly(true);
    name->setMinimumWidth(360);
    layout->addWidget(name);
    layout->addWidget(new QLabel(qs("Файл с таким именем уже существует"), this));
    auto* buttons = new QHBoxLayout;
    const auto add = [&](Control id, const char* text, OverwriteAnswer answer) {
        auto* b = new QPushButton(qs(text), this);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        m_buttons[id] = b;
        connect(b, &QPushButton::clicked, this, [this, answer] {
            m_answer = answer;
            done(answer == OverwriteAnswer::Cancel ? Rejected : Accepted);
        });
        return b;
    };
    add(Control::Overwrite, "Переписать", OverwriteAnswer::Overwrite)->setDefault(true);
    add(Control::OverwriteAll, "Переписать все", OverwriteAnswer::OverwriteAll);
    add(Control::Cancel, "Отменить", OverwriteAnswer::Cancel);
    layout->addLayout(buttons);
}

QAbstractButton* OverwriteDialog::button(Control id) const {
    const auto found = m_buttons.find(id);
    return found == m_buttons.end() ? nullptr : found->second;
}

bool TextExportDialogs::chooseOptions(bool& oneFile, bool& withNames) {
    TextExportOptionsDialog dialog(oneFile, withNames, m_ui, m_parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    oneFile = dialog.oneFile();
    withNames = dialog.withNames();
    return true;
}

OverwriteAnswer TextExportDialogs::askOverwrite(const std::string& path) {
    OverwriteDialog dialog(path, m_parent);
    dialog.exec();
    return dialog.answer();
}

} // namespace kv
