#pragma once

// The noise track window ("Шумовая дорожка"): the mean count per channel of the current
// histogram over the visible channels, the spread of the counts and the spread counting
// statistics alone would give. It follows the current histogram, the list and the visible range.

#include "analysis/ui/dialog_controls.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

namespace kv {

class NoiseTrackWindow : public ToolWindow {
public:
    enum class Control {
        Ok = 1,
        Cancel = 2,
        Help = 9,
        Name = 101,
        Mean = 102,
        Sigma = 103,
        PoissonSigma = 104,
    };

    NoiseTrackWindow(MainWindowServices& services, QWidget* parent);

    // The ids of its buttons and kRefreshCommand (recompute).
    void command(int id) override;
    QWidget* control(Control id) const { return m_controls[id]; }

private:
    void recompute();

    MainWindowServices& m_services;
    ControlMap<Control> m_controls;
};

// Opens the noise track window, or has the open one recompute.
void openNoiseTrack(MainWindowServices& services, QWidget* parent);

} // namespace kv
