#pragma once

// The smoothing dialog ("Сглаживание"): the filter kind, running mean or Gaussian, and its
// parameter, a radius or a sigma in channels. It edits the filter settings; on OK the caller
// smooths the current histogram with them.

#include "analysis/ui/dialog_controls.h"
#include "model/settings.h"

class QLineEdit;
class QSpinBox;

namespace kv {

// Control ids. The radius field and its up-down control are one spin box, so RadiusUpDown names
// the same widget as Radius.
enum class SmoothingControl {
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

class SmoothingDialog : public ControlDialog<SmoothingControl> {
public:
    using Control = SmoothingControl;

    // ui: the help topic.
    SmoothingDialog(FilterSettings& settings, UiServices& ui, QWidget* parent = nullptr);

private:
    bool store() override;
    void otherCommand(Control id) override;
    void applyEnabling();

    FilterSettings& m_settings;
    QSpinBox* m_radius = nullptr;
    QLineEdit* m_sigma = nullptr;
};

} // namespace kv
