#pragma once

// The controls of a dialog by their ids, so that the dialog's command handler, other windows and
// the tests reach a field or a button by the number the dialog gives it.

#include <QWidget>

#include <map>

namespace kv {

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
