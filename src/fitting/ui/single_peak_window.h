#pragma once

// The single-peak window ("Аппроксимация пика"): fits one Gaussian, with or without a constant
// level, at the plot cursor of the current histogram and shows its intensity, position and full
// width at half maximum with their errors in channels and keV. It follows the cursor, puts the
// cursor on the fitted centre and hands the peak to the open calibration windows.

#include "gui/dialog_controls.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

class QCheckBox;
class QLineEdit;

namespace kv {

class SinglePeakWindow : public ToolWindow {
public:
    enum class Control {
        Fit = 1, // "Попытка"
        Close = 2,
        Help = 9,
        Intensity = 101,
        IntensityError = 102,
        Channel = 103, // one-based
        ChannelError = 104,
        Energy = 105,
        EnergyError = 106,
        Fwhm = 107,
        FwhmError = 108,
        FwhmKeV = 109,
        FwhmKeVError = 110,
        FitConstant = 111, // "Учитывать постоянный уровень"
        Calibration = 112,
    };

    // Takes the cursor position at once.
    SinglePeakWindow(MainWindowServices& services, QWidget* parent);

    // The ids of its controls, and kCursorMovedCommand: the start position follows the cursor.
    void command(int id) override;
    QWidget* control(Control id) const { return m_controls.find(id); }

private:
    void followCursor();
    void fit();
    QLineEdit& field(Control id) const;

    MainWindowServices& m_services;
    DialogControls<Control> m_controls;
    QCheckBox* m_fitConstant = nullptr;
};

// Opens the single-peak window unless it is open.
void openSinglePeak(MainWindowServices& services, QWidget* parent);

} // namespace kv
