#pragma once

// The plot pane: the part of the main window beside the list pane, painted by the plot painter
// over the whole widget on every paint request.

#include "app/app_state.h"
#include "display/plot_painter.h"

#include <QWidget>

namespace kv {

class PlotPane : public QWidget {
public:
    PlotPane(AppState& state, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AppState& m_state;
    PlotPainter m_painter;
};

} // namespace kv
