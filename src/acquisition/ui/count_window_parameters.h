#pragma once

// The parameter window of the count windows ("Параметры счетных окон", command 405, behind the
// access dialog): the three windows' limits (shown 1-based), the coefficients P0..P8 and K0..K5,
// the reference channel and width of the window shift, and the two switches. While it is open the
// plot shows the windows as bands, and with "set from cursor" on, each settled cursor position
// becomes the chosen limit of the chosen window. The limits and the reference channel change
// the stored settings at once (the bands follow); Cancel puts back the ones the window opened
// with, OK stores every field.

#include "acquisition/ui/count_window_overlays.h"
#include "gui/dialog_controls.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"
#include "model/settings.h"

#include <array>
#include <cstdint>

namespace kv {

class CountWindowParametersWindow : public ToolWindow {
public:
    enum class Control {
        Ok = kOkButton,
        Cancel = kCancelButton,
        Lower = 101,
        Upper = 102,
        Window1 = 103,
        Window2 = 104,
        Window3 = 105,
        LowerLimit1 = 106, // 106..108: lower limits of windows 1-3
        UpperLimit1 = 109, // 109..111: upper limits of windows 1-3
        P0 = 112,          // 112..120: P0..P8
        K0 = 121,          // 121..126: K0..K5
        ReferenceChannel = 127,
        ReferenceWidth = 128,
        ExpandedResult = 129,
        AutoShift = 130,
        Update = 131,
        CursorLocked = 132,
        FindReference = 133,
    };

    CountWindowParametersWindow(MainWindowServices& main, QWidget* parent);

    QWidget* control(Control id) const { return m_controls.find(id); }
    // The ids of Control and kRefreshCommand (the cursor has settled).
    void command(int id) override;

    const PlotOverlay* plotOverlay() const override { return &m_bands; }

    // Cancel, Escape and the window's close button put back the limits it opened with.
    void reject() override;

private:
    void fillLimits();
    void applyEnablingRule();
    // The reference channel and width from their fields.
    void takeReference();
    // "Обновить": the limits and the reference from their fields.
    void takeLimits();
    void findReference();
    void takeCursor();
    void store();
    void closeAndRepaint();

    MainWindowServices& m_main;
    CountWindowSettings& m_settings;
    // Put back by Cancel.
    std::array<std::int32_t, kCountWindows> m_openedLower;
    std::array<std::int32_t, kCountWindows> m_openedUpper;
    std::int32_t m_openedReference;
    CountWindowBands m_bands;
    DialogControls<Control> m_controls;
};

} // namespace kv
