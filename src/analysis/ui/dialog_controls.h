#pragma once

// What the analysis dialogs and windows share: their controls kept under the ids other windows
// and tests reach them by, every button's click routed to the one command handler, and the
// fields and button rows they are built from.

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QObject>
#include <QPushButton>
#include <QString>

#include <map>

class QSpinBox;
class QWidget;

namespace kv {

// Positions of the up-down controls run from 0 to this.
inline constexpr int kMaxUpDownPosition = 32767;

inline QString qs(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A number field with its up-down control, from 0 to kMaxUpDownPosition.
QSpinBox* upDownField(QWidget* parent);

bool isChecked(const QWidget* button);
void setChecked(QWidget* button, bool checked);

// The controls of one dialog or window by id (an enum of its own).
template <class Control> class ControlMap {
public:
    template <class Widget> Widget* add(Control id, Widget* widget) {
        m_controls[id] = widget;
        return widget;
    }

    // Adds a button whose clicks are handed to onClick(id); context ends the connection.
    template <class OnClick>
    QAbstractButton* addButton(Control id, QAbstractButton* button, const QObject* context,
                               OnClick onClick) {
        add(id, button);
        QObject::connect(button, &QAbstractButton::clicked, context,
                         [onClick, id] { onClick(id); });
        return button;
    }

    // The control of an id the dialog has; throws std::out_of_range for one it has not.
    QWidget* operator[](Control id) const { return m_controls.at(id); }

private:
    std::map<Control, QWidget*> m_controls;
};

// The row "OK", cancelText, "Помощь" with ids 1, 2 and 9 of every dialog, OK the default button.
template <class Control, class OnClick>
QHBoxLayout* okCancelHelpRow(ControlMap<Control>& controls, const QObject* context, OnClick onClick,
                             const char* cancelText) {
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(qs("OK"));
    ok->setDefault(true);
    row->addWidget(controls.addButton(Control::Ok, ok, context, onClick));
    row->addWidget(
        controls.addButton(Control::Cancel, new QPushButton(qs(cancelText)), context, onClick));
    row->addWidget(
        controls.addButton(Control::Help, new QPushButton(qs("Помощь")), context, onClick));
    return row;
}

} // namespace kv
