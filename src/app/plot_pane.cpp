#include "app/plot_pane.h"

#include <QPainter>

namespace kv {

PlotPane::PlotPane(AppState& state, QWidget* parent) : QWidget(parent), m_state(state) {
    // The painter fills the whole pane itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_state.plotView.paneRect = PixelRect{0, 0, width(), height()};
    m_painter.paintPlotPane(painter, m_state.plotView.paneRect, m_state.plotView, m_state.config,
                            m_state.list);
}

} // namespace kv
