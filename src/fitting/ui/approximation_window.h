#pragma once

// The approximation window ("Аппроксимация"): the components of the model over the region between
// the boundaries, added and removed by kind, their parameters typed, stepped by 5 % or moved to
// the cursor, the fit of all of them together with its report, and the residual histogram. The
// sum of the model and the selected component are drawn over the plot while it is open; the
// components outlive it in the program's state.

#include "fitting/ui/component_overlays.h"
#include "gui/dialog_controls.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

#include <array>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSpinBox;

namespace kv {

class ApproximationWindow : public ToolWindow {
public:
    enum class Control {
        Fit = 1, // "Попытка"
        Close = 2,
        Help = 9,
        List = 101,
        AddGaussian = 102,
        AddExponential = 103,
        AddMcp = 104,
        AddConstant = 105,
        AddLinear = 106,
        Remove = 107,
        StepP0 = 110, // 110..112: the up-down controls beside P0..P2
        StepP1 = 111,
        StepP2 = 112,
        P0 = 113, // 113..115: the parameters of the selected component
        P1 = 114,
        P2 = 115,
        ToCursor = 116, // "><"
        Apply = 117,    // "#"
        Report = 118,
        Residual = 119, // "Дельта"
    };
    // The window's own commands besides its controls' ids.
    static constexpr int kShowParameters = kRefreshCommand;
    static constexpr int kApplyParameters = 1002;

    ApproximationWindow(MainWindowServices& services, QWidget* parent);

    void command(int id) override;
    QWidget* control(Control id) const { return m_controls.find(id); }
    const PlotOverlay* plotOverlay() const override { return &m_overlays; }

    // Closing (the button, the close box, Escape) takes the curves off the plot; the
    // components stay.
    void done(int result) override;

private:
    void add(ComponentKind kind);
    void removeSelected();
    void select(int row);
    void step(int parameter, bool up);
    void moveToCursor();
    void fit();
    void makeResidual();
    void showParameters();
    void applyParameters();
    void rebuildOverlays(bool componentOnly = false);
    void selectInList();
    FitRegion region() const;

    MainWindowServices& m_services;
    DialogControls<Control> m_controls;
    QListWidget* m_list = nullptr;
    std::array<QLineEdit*, kMaxComponentParameters> m_fields{};
    std::array<QSpinBox*, kMaxComponentParameters> m_steppers{};
    QPlainTextEdit* m_report = nullptr;
    ComponentOverlays m_overlays;
};

// Opens the approximation window unless it is open, and lets the found-lines window add lines
// to it.
void openApproximation(MainWindowServices& services, QWidget* parent);

} // namespace kv
