#pragma once

// The smoothing dialog ("Сглаживание"): the filter kind, running mean or Gaussian, and its
// parameter, a radius or a sigma in channels. It edits the filter settings; on OK the caller
// smooths the current histogram with them.

#include "analysis/ui/dialog_controls.h"
#include "model/settings.h"
#include "platform/ui_services.h"

#include <QDialog>

class QLineEdit;
class QSpinBox;

namespace kv {

class SmoothingDialog : public QDialog {
public:
    // Control ids. The radius field and its up-down control are one spin box, so RadiusUpDown
    // names the same widget as Radius.
    enum class Control {
        Ok = 1,
        Cancel = 2,
        Help = 9,
        Mean = 101,
        Gauss = 102,
        Radius = 103,
        Sigma = 104,
        RadiusUpDown = 105,
        Heading = 107,
    };

    // ui: the help topic.
    SmoothingDialog(FilterSettings& settings, UiServices& ui, QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls[id]; }
    // A click on a button of the dialog.
    void command(Control id);

private:
    void applyEnabling();
    void store();

    FilterSettings& m_settings;
    UiServices& m_ui;
    ControlMap<Control> m_controls;
    QSpinBox* m_radius = nullptr;
    QLineEdit* m_sigma = nullptr;
};

} // namespace kv
