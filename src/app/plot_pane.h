#pragma once

// The plot pane: the part of the main window beside the list pane, painted by the plot painter
// over the whole widget on every paint request, with the cursor the user drags or steps over it.
// The tool windows that follow the cursor hear of its moves through the window registry.

#include "acquisition/ui/count_window_overlays.h"
#include "display/plot_painter.h"
#include "gui/app_state.h"

#include <QImage>
#include <QWidget>

#include <functional>

class QLabel;

namespace kv {

class PlotPane : public QWidget {
public:
    PlotPane(AppState& state, QWidget* parent);

    // The status-bar fields that show the cursor read-out and the visible range's statistics,
    // refreshed after every paint and every cursor move.
    void setStatusFields(QLabel* cursorField, QLabel* rangeField);

    // Called when a drag has disarmed the zoom, after the visible range may have changed.
    void setZoomEndedHandler(std::function<void()> handler);

    // Moves the cursor by delta channels (the arrow keys) and tells the tool windows that the
    // cursor settled; nothing with an empty list.
    void stepCursor(int delta);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void drawCursor(QPainter& painter) const;
    void updateStatusFields();

    AppState& m_state;
    PlotPainter m_painter;
    XrayLegend m_legend; // drawn whenever the plot shows an X-ray spectrum alone
    QImage m_image;      // the pane as last painted, on screens of one device pixel per pixel
    QLabel* m_cursorField = nullptr;
    QLabel* m_rangeField = nullptr;
    std::function<void()> m_zoomEnded;
};

} // namespace kv
