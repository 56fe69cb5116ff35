#pragma once

// The efficiency calibration window ("Калибровка по эффективности"): points measured with
// sources of known emission rate (energy, count rate in the line's peak, the line's emission
// rate) kept as efficiencies, added, deleted, copied and pasted as text, and shown as a graph
// in the plot pane. The found-lines and single-peak windows hand it their peaks.

#include "analysis/ui/dialog_controls.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

class QLineEdit;
class QListWidget;

namespace kv {

class EfficiencyWindow : public ToolWindow {
public:
    enum class Control {
        Close = 2,
        Help = 9,
        Energy = 101,    // keV
        CountRate = 102, // counts per second in the peak
        List = 103,
        Delete = 104,
        Add = 105,
        EmissionRate = 106, // emissions per second of the line
        Graph = 107,
        Copy = 108,
        Paste = 109,
    };

    EfficiencyWindow(MainWindowServices& services, QWidget* parent);

    // The ids of its controls; kRefreshCommand lists the points again.
    void command(int id) override;
    void takePeak(const HandedPeak& peak) override;
    QWidget* control(Control id) const { return m_controls[id]; }

    // The list's selected row (the point the efficiency graph fills); -1 when none.
    int selectedRow() const;

private:
    void rebuild();
    void addPoint();

    MainWindowServices& m_services;
    ControlMap<Control> m_controls;
    QLineEdit* m_energy = nullptr;
    QLineEdit* m_countRate = nullptr;
    QLineEdit* m_emissionRate = nullptr;
    QListWidget* m_list = nullptr;
};

// Opens the efficiency calibration window unless it is open.
void openEfficiencyCalibration(MainWindowServices& services, QWidget* parent);

} // namespace kv
