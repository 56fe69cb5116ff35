#pragma once

// The energy calibration window ("Калибровка по энергии"): up to five channel/energy points,
// the degree of the polynomial, "Калибровать" (the fit, then the calibration graph in the plot
// pane) and the table with each point's deviation copied as text. The channel field follows
// the plot cursor and takes the peaks other windows hand over. Every energy the program shows
// follows a new calibration at once.

#include "analysis/ui/dialog_controls.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

class QLineEdit;
class QListWidget;
class QSpinBox;

namespace kv {

class EnergyCalibrationWindow : public ToolWindow {
public:
    enum class Control {
        Calibrate = 1,
        Close = 2,
        Help = 9,
        Channel = 101, // one-based
        Energy = 102,  // keV
        List = 103,
        Delete = 104,
        Add = 105,
        Degree = 106, // with its up-down, 1..4
        Copy = 108,
    };

    // The fields start from the current peak position (the last fit's centre).
    EnergyCalibrationWindow(MainWindowServices& services, QWidget* parent);

    // The ids of its controls; kCursorMovedCommand fills the fields from the cursor;
    // kRefreshCommand lists the points again.
    void command(int id) override;
    void takePeak(const HandedPeak& peak) override;
    QWidget* control(Control id) const { return m_controls[id]; }

private:
    void fillFields(double channel);
    void rebuild();
    void addPoint();
    void deletePoint();
    void calibrateNow();

    MainWindowServices& m_services;
    ControlMap<Control> m_controls;
    QLineEdit* m_channel = nullptr;
    QLineEdit* m_energy = nullptr;
    QListWidget* m_list = nullptr;
    QSpinBox* m_degree = nullptr;
};

// Opens the energy calibration window unless it is open.
void openEnergyCalibration(MainWindowServices& services, QWidget* parent);

} // namespace kv
