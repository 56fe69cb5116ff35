#pragma once

// The arithmetic window ("Математические операции"): the weighted sum or difference of two
// histograms of the list, added to it as a new histogram "Композиция". The user may open
// several at once; their factors and operation are shared. Each keeps its operands as handles
// into the list, so an operand deleted while the window is open is noticed on "OK" and
// reported, and the list is left as it was.

#include "analysis/ui/dialog_controls.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"
#include "model/histogram_list.h"

class QLineEdit;

namespace kv {

class ArithmeticWindow : public ToolWindow {
public:
    enum class Control {
        Ok = 1,
        Cancel = 2,
        Help = 9,
        FirstName = 101,
        TakeFirst = 102, // "Вставить": the current histogram becomes the first operand
        FirstFactor = 103,
        SecondName = 104,
        TakeSecond = 105,
        SecondFactor = 106,
        Add = 107, // "Сложить"
        Subtract = 108,
    };

    // The current histogram is the first operand; there is no second one (the first stands in
    // for it).
    ArithmeticWindow(MainWindowServices& services, QWidget* parent);

    void command(int id) override;
    QWidget* control(Control id) const { return m_controls[id]; }

private:
    void take(HistogramHandle& operand, Control nameField);
    void compose();

    MainWindowServices& m_services;
    ControlMap<Control> m_controls;
    HistogramHandle m_first;
    HistogramHandle m_second; // empty: the first operand again
};

// Opens one more arithmetic window; nothing while the list is empty.
void openArithmetic(MainWindowServices& services, QWidget* parent);

} // namespace kv
