#pragma once

// The progress window of a measurement ("Измерение"): the part of the exposure done and the
// seconds that remain, "Контроль" for an interim read-out and "Прервать", which stops the run
// and closes the window at once while the worker still reads out what it has counted. Its
// progress bar counts hundredths of a second over the whole exposure, however long.

#include "acquisition/ui/acquisition_runs.h"
#include "gui/dialog_controls.h"
#include "gui/tool_window.h"

namespace kv {

class ProgressWindow : public ToolWindow {
public:
    enum class Control {
        Abort = kCancelButton,
        Bar = 101,
        Remaining = 102,
        ReadOut = 103,
    };
    // Sent by the run: show its status.
    static constexpr int kTickCommand = 1000;

    // exposureSeconds: the exposure asked for, the bar's full length.
    ProgressWindow(AcquisitionRuns& runs, double exposureSeconds, QWidget* parent);

    QWidget* control(Control id) const { return m_controls.find(id); }
    // The ids of Control and kTickCommand.
    void command(int id) override;

    // "Прервать", Escape and the window's close button stop the run.
    void reject() override;

private:
    void showStatus();

    AcquisitionRuns& m_runs;
    DialogControls<Control> m_controls;
};

} // namespace kv
