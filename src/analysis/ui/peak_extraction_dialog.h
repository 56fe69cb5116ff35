#pragma once

// The peak extraction dialog ("Выделение пиков"): the radius of the median passes that cut the
// peaks out of the continuum and of the running mean that smooths it, in channels. It edits the
// line search settings; on OK the caller subtracts the continuum from a copy of the current
// histogram with them.

#include "analysis/ui/dialog_controls.h"
#include "model/settings.h"

class QSpinBox;

namespace kv {

// Control ids; each field and its up-down control are one spin box.
enum class PeakExtractionControl {
    Ok = 1,
    Cancel = 2,
    Help = 9,
    RejectRadius = 101,
    RejectRadiusUpDown = 102,
    SmoothRadius = 103,
    SmoothRadiusUpDown = 104,
};

class PeakExtractionDialog : public ControlDialog<PeakExtractionControl> {
public:
    using Control = PeakExtractionControl;

    // ui: the help topic.
    PeakExtractionDialog(LineSearchSettings& settings, UiServices& ui, QWidget* parent = nullptr);

private:
    bool store() override;

    LineSearchSettings& m_settings;
    QSpinBox* m_rejectRadius = nullptr;
    QSpinBox* m_smoothRadius = nullptr;
};

} // namespace kv
