#pragma once

// The progress window of the cyclic and the X-ray series ("Тихо, идут измерения."): how many
// measurements the series has completed, and "Прервать", which stops the series and closes the
// window at once while the worker still finishes the measurement under way.

#include "acquisition/ui/acquisition_runs.h"
#include "gui/dialog_controls.h"
#include "gui/tool_window.h"

namespace kv {

class SeriesProgressWindow : public ToolWindow {
public:
    enum class Control {
        Abort = kCancelButton,
        Count = 101,
    };
    // Sent by the run: show how many measurements are done.
    static constexpr int kTickCommand = 1000;

    SeriesProgressWindow(AcquisitionRuns& runs, QWidget* parent);

    QWidget* control(Control id) const { return m_controls.find(id); }
    // The ids of Control and kTickCommand.
    void command(int id) override;

    // "Прервать", Escape and the window's close button stop the series.
    void reject() override;

private:
    AcquisitionRuns& m_runs;
    DialogControls<Control> m_controls;
};

} // namespace kv
