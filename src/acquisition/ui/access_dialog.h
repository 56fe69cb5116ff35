#pragma once

// The access dialog in front of the count-window parameters, a service window: OK compares the
// typed text, case and all, with the access code. OK and Cancel both close it; a wrong code gets
// no message.

#include "gui/dialog_controls.h"

#include <QDialog>

namespace kv {

class AccessDialog : public QDialog {
public:
    enum class Control {
        Ok = kOkButton,
        Cancel = kCancelButton,
        Code = 101,
    };

    explicit AccessDialog(QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls.find(id); }
    void command(Control id);

    // Whether OK was pressed with the right code.
    bool granted() const { return m_granted; }

private:
    DialogControls<Control> m_controls;
    bool m_granted = false;
};

} // namespace kv
