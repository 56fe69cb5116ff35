#pragma once

// What the analysis dialogs and windows share: their controls kept under the ids other windows
// and tests reach them by, every button's click routed to the one command handler, the buttons
// every dialog has, and the fields they are built from.

#include "gui/dialog_controls.h"
#include "platform/ui_services.h"

#include <QAbstractButton>
#include <QDialog>
#include <QHBoxLayout>
#include <QObject>
#include <QPushButton>
#include <QString>

#include <stdexcept>

class QSpinBox;
class QWidget;

namespace kv {

// Positions of the up-down controls run from 0 to this.
inline constexpr int kMaxUpDownPosition = 32767;

// A number field with its up-down control, from 0 to kMaxUpDownPosition.
QSpinBox* upDownField(QWidget* parent);

bool isChecked(const QWidget* button);
void setChecked(QWidget* button, bool checked);

// The controls of one dialog or window by id (an enum of its own), with buttons wired to the
// command handler.
template <class Control> class ControlMap : public DialogControls<Control> {
public:
    // Adds a button whose clicks are handed to onClick(id); context ends the connection.
    template <class OnClick>
    QAbstractButton* addButton(Control id, QAbstractButton* button, const QObject* context,
                               OnClick onClick) {
        this->add(id, button);
        QObject::connect(button, &QAbstractButton::clicked, context,
                         [onClick, id] { onClick(id); });
        return button;
    }

    // The control of an id the dialog has; throws std::out_of_range for one it has not.
    QWidget* operator[](Control id) const {
        if (QWidget* control = this->find(id)) {
            return control;
        }
        throw std::out_of_range("no control of that id");
    }
};

// A modal dialog of the analysis with its controls by id and the buttons every one has: OK (1)
// takes over the fields (store(); a dialog that refuses what it reads stays open), Cancel (2)
// closes it, Help (9) opens its help topic.
template <class Control> class ControlDialog : public QDialog {
public:
    QWidget* control(Control id) const { return m_controls[id]; }

    // A click on a button of the dialog.
    void command(Control id) {
        switch (id) {
        case Control::Ok:
            if (store()) {
                accept();
            }
            return;
        case Control::Cancel:
            reject();
            return;
        case Control::Help:
            m_ui.showHelp(m_helpContext);
            return;
        default:
            otherCommand(id);
            return;
        }
    }

protected:
    // ui: messages and the help topic helpContext.
    ControlDialog(UiServices& ui, int helpContext, QWidget* parent)
        : QDialog(parent), m_ui(ui), m_helpContext(helpContext) {}

    // Takes over the fields; false keeps the dialog open.
    virtual bool store() = 0;
    // The dialog's own buttons.
    virtual void otherCommand(Control) {}

    UiServices& ui() const { return m_ui; }
    ControlMap<Control>& controls() { return m_controls; }

    template <class Widget> Widget* add(Control id, Widget* widget) {
        return m_controls.add(id, widget);
    }
    // A button whose clicks run command(id).
    QAbstractButton* addButton(Control id, QAbstractButton* button) {
        return m_controls.addButton(id, button, this,
                                    [this](Control clicked) { command(clicked); });
    }

    // The row "OK", cancelText, "Помощь", OK the default button.
    QHBoxLayout* okCancelHelpRow(const char* cancelText) {
        auto* row = new QHBoxLayout;
        auto* ok = new QPushButton(qs("OK"));
        ok->setDefault(true);
        row->addWidget(addButton(Control::Ok, ok));
        row->addWidget(addButton(Control::Cancel, new QPushButton(qs(cancelText))));
        row->addWidget(addButton(Control::Help, new QPushButton(qs("Помощь"))));
        return row;
    }

private:
    ControlMap<Control> m_controls;
    UiServices& m_ui;
    int m_helpContext;
};

} // namespace kv
