#pragma once

// The peak extraction dialog ("Выделение пиков"): the radius of the median passes that cut the
// peaks out of the continuum and of the running mean that smooths it, in channels. It edits the
// line search settings; on OK the caller subtracts the continuum from a copy of the current
// histogram with them.

#include "analysis/ui/dialog_controls.h"
#include "model/settings.h"
#include "platform/ui_services.h"

#include <QDialog>

class QSpinBox;

namespace kv {

class PeakExtractionDialog : public QDialog {
public:
    // Control ids; each field and its up-down control are one spin box.
    enum class Control {
        Ok = 1,
        Cancel = 2,
        Help = 9,
        RejectRadius = 101,
        RejectRadiusUpDown = 102,
        SmoothRadius = 103,
        SmoothRadiusUpDown = 104,
    };

    // ui: the help topic.
    PeakExtractionDialog(LineSearchSettings& settings, UiServices& ui, QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls[id]; }
    void command(Control id);

private:
    LineSearchSettings& m_settings;
    UiServices& m_ui;
    ControlMap<Control> m_controls;
    QSpinBox* m_rejectRadius = nullptr;
    QSpinBox* m_smoothRadius = nullptr;
};

} // namespace kv
