#pragma once

// The calibration graph window ("Калибровка" or "Эффективность"): a small modal window with one
// button "Закрыть"; while it is open the plot pane shows the energy calibration's points and
// curve, or the efficiency points and the curve efficiencyAt draws through them, instead of
// the spectra.

#include "display/plot_painter.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

namespace kv {

enum class CalibrationGraphKind { Energy, Efficiency };

// The energy calibration graph in paneRect less 5 pixels on every side: each point as a circle
// with a cross, and the curve channelToEnergy over every channel, energies scaled from that of
// the first channel (bottom) to that of the last (top).
void drawEnergyCalibrationGraph(QPainter& painter, const PixelRect& paneRect,
                                const EnergyCalibration& calibration, std::int32_t channelCount);

// The efficiency graph likewise: each point as a circle (the selected one filled) over the
// spectrum's energy span, efficiencies from 0 (bottom) to the largest point's (top), and the
// curve efficiencyAt at every channel's energy. Nothing with fewer than two points or a
// largest efficiency that is not positive.
void drawEfficiencyGraph(QPainter& painter, const PixelRect& paneRect,
                         const EfficiencyCalibration& efficiency,
                         const EnergyCalibration& calibration, std::int32_t channelCount,
                         int selected);

class CalibrationGraphWindow : public ToolWindow, public PaneGraph {
public:
    enum class Control { Close = 2 };

    // Repaints the plot pane when it closes.
    CalibrationGraphWindow(MainWindowServices& services, CalibrationGraphKind kind,
                           QWidget* parent);

    void command(int id) override;
    const PaneGraph* paneGraph() const override { return this; }
    void draw(QPainter& painter, const PixelRect& paneRect) const override;

    CalibrationGraphKind kind() const { return m_kind; }
    QWidget* control(Control) const { return m_close; }

private:
    MainWindowServices& m_services;
    CalibrationGraphKind m_kind;
    QWidget* m_close = nullptr;
};

// Opens the graph of kind unless a graph window is open already (which then stays as it is).
void openCalibrationGraph(MainWindowServices& services, CalibrationGraphKind kind, QWidget* parent);

} // namespace kv
