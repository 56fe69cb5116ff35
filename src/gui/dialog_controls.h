#pragma once

// The controls of a dialog by their ids, so that the dialog's command handler, other windows and
// the tests reach a field or a button by the number the dialog gives it; the buttons every
// dialog of the program has; and the texts of captions and labels, which the sources hold in
// UTF-8.

#include "platform/ui_services.h"

#include <QString>
#include <QWidget>

#include <map>
#include <string_view>

class QDialog;

namespace kv {

// The button ids every dialog shares: OK stores and closes, Cancel closes, Help opens the
// dialog's help topic.
inline constexpr int kOkButton = 1;
inline constexpr int kCancelButton = 2;
inline constexpr int kHelpButton = 9;

// A caption or label written in the source (UTF-8) as the widgets take it.
inline QString qs(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Cancel closes the dialog and Help shows helpContext; true when id was one of the two, false
// (nothing done) for any other id.
bool closeOrHelp(QDialog& dialog, int id, UiServices& ui, int helpContext);

template <typename Id> class DialogControls {
public:
    // Registers widget under id and hands it back.
    template <typename Widget> Widget* add(Id id, Widget* widget) {
        m_controls[id] = widget;
        return widget;
    }

    // The control of id; null for an id the dialog does not have.
    QWidget* find(Id id) const {
        const auto it = m_controls.find(id);
        return it == m_controls.end() ? nullptr : it->second;
    }

    // The control of id as the widget it is.
    template <typename Widget> Widget* get(Id id) const { return static_cast<Widget*>(find(id)); }

private:
    std::map<Id, QWidget*> m_controls;
};

} // namespace kv
