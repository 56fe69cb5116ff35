#pragma once

// Pieces the dialogs that start a run share: the name and comment fields of the new histogram,
// their row of buttons, their text fields read as record text, the refusal of stack memory and
// the message for a run that could not start.

#include "acquisition/run_control.h"
#include "gui/dialog_controls.h"
#include "model/cp1251.h"
#include "model/settings.h"
#include "platform/ui_services.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <initializer_list>
#include <string>
#include <utility>

namespace kv {

// "Имя:" and "Комментарий:" of the new histogram, each at most 127 characters, registered under
// their ids.
template <typename Id>
void addNameFields(QWidget& dialog, QFormLayout& fields, DialogControls<Id>& controls, Id name,
                   Id comment) {
    constexpr int kTextLimit = 127; // characters of a name or comment
    for (const auto& [id, label] : {std::pair{name, "Имя:"}, std::pair{comment, "Комментарий:"}}) {
        auto* field = controls.add(id, new QLineEdit(&dialog));
        field->setMaxLength(kTextLimit);
        // Room for a name or comment of the usual length without scrolling.
        field->setMinimumWidth(dialog.fontMetrics().averageCharWidth() * 50);
        fields.addRow(QString::fromUtf8(label), field);
    }
}

// A right-aligned row of buttons, each registered under its id and sending it to command.
template <typename Id, typename Command>
void addButtonRow(QWidget& dialog, QBoxLayout& layout, DialogControls<Id>& controls,
                  std::initializer_list<std::pair<Id, const char*>> buttons, Command command) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (const auto& [id, label] : buttons) {
        auto* button = controls.add(id, new QPushButton(QString::fromUtf8(label), &dialog));
        QObject::connect(button, &QPushButton::clicked, &dialog,
                         [command, id = id] { command(id); });
        row->addWidget(button);
    }
    layout.addLayout(row);
}

// A name or comment field as the record stores it (Windows-1251).
inline std::string cp1251Text(const QLineEdit& field) {
    return cp1251FromUtf8(field.text().toStdString());
}

// Tells the user that no thread could be made for the run; true when that happened, so the
// dialog stays open.
inline bool reportedStartFailure(UiServices& ui, const StartOutcome& outcome) {
    if (outcome.status != StartStatus::ThreadFailed) {
        return false;
    }
    ui.showMessage(StringId::RunNotStarted, StringId::BadNews, outcome.reason);
    return true;
}

// Stack memory is served by another program: says so and is true, and the dialog stays open.
inline bool refusedStackMemory(const AnalyserSettings& analyser, UiServices& ui) {
    if (analyser.memoryMode == 0) {
        return false;
    }
    ui.showMessage(StringId::StackMemoryElsewhere, StringId::News);
    return true;
}

} // namespace kv
