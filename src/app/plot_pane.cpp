#include "app/plot_pane.h"

#include "display/cursor.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace kv {

namespace {

// The cursor's triangle below the frame: half its base and its height, in pixels.
constexpr int kMarkHalfWidth = 4;
constexpr int kMarkHeight = 8;

const QColor kCursorColor = Qt::cyan;

// A status field widens to the longest text it has shown and never narrows again, so the text
// is never cut and the fields do not shift as the cursor moves.
void showInField(QLabel& field, const std::string& text) {
    field.setText(QString::fromStdString(text));
    field.setMinimumWidth(std::max(field.minimumWidth(), field.sizeHint().width()));
}

} // namespace

PlotPane::PlotPane(AppState& state, QWidget* parent) : QWidget(parent), m_state(state) {
    // The painter fills the whole pane itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The pointer changes over the cursor without a button held.
    setMouseTracking(true);
}

void PlotPane::setStatusFields(QLabel* cursorField, QLabel* rangeField) {
    m_cursorField = cursorField;
    m_rangeField = rangeField;
}

void PlotPane::setZoomEndedHandler(std::function<void()> handler) {
    m_zoomEnded = std::move(handler);
}

void PlotPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_state.plotView.paneRect = PixelRect{0, 0, width(), height()};
    std::vector<const PlotOverlay*> overlays = m_state.windows.overlays();
    overlays.insert(overlays.begin(), &m_legend);
    const PaneGraph* graph = m_state.windows.paneGraph();
    const auto paintPane = [&](QPainter& on) {
        if (graph) {
            m_painter.paintGraphPane(on, m_state.plotView.paneRect, *graph);
        } else {
            m_painter.paintPlotPane(on, m_state.plotView.paneRect, m_state.plotView, m_state.config,
                                    m_state.list, overlays);
        }
    };
    // On a screen of one device pixel per pixel the plot is drawn into an image of the pane and
    // shown in one piece: curves of many channels are written into an image's pixels directly.
    if (devicePixelRatioF() == 1.0) {
        if (m_image.size() != size()) {
            m_image = QImage(size(), QImage::Format_RGB32);
        }
        // Fonts and pens sized for the screen, as on the pane itself.
        constexpr double kInchesPerMetre = 1.0 / 0.0254;
        m_image.setDotsPerMeterX(qRound(logicalDpiX() * kInchesPerMetre));
        m_image.setDotsPerMeterY(qRound(logicalDpiY() * kInchesPerMetre));
        QPainter imagePainter(&m_image);
        paintPane(imagePainter);
        imagePainter.end();
        painter.drawImage(0, 0, m_image);
    } else {
        paintPane(painter);
    }
    if (!graph && !m_state.list.empty()) {
        drawCursor(painter);
    }
    updateStatusFields();
}

void PlotPane::drawCursor(QPainter& painter) const {
    // Inverted with a cyan pen, so it is cyan on white and stays visible over the curves.
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    painter.setPen(QPen(kCursorColor, 0));
    painter.setBrush(Qt::NoBrush);
    const PixelRect& r = m_state.plotView.plotRect;
    const int x = cursorColumn(m_state.plotView);
    // The line stops above the triangle's tip, which would otherwise be inverted twice.
    painter.drawLine(x, r.top, x, r.bottom - 1);
    const QPolygon mark{QList<QPoint>{{x, r.bottom},
                                      {x + kMarkHalfWidth, r.bottom + kMarkHeight},
                                      {x - kMarkHalfWidth, r.bottom + kMarkHeight}}};
    painter.drawPolygon(mark);
}

void PlotPane::updateStatusFields() {
    if (m_cursorField) {
        showInField(*m_cursorField, cursorReadout(m_state.plotView, m_state.config.plot,
                                                  m_state.config.energyCalibration, m_state.list));
    }
    if (m_rangeField) {
        showInField(*m_rangeField,
                    m_state.list.empty()
                        ? std::string()
                        : rangeStatistics(m_state.config.plot, m_state.config.energyCalibration,
                                          m_state.list));
    }
}

void PlotPane::stepCursor(int delta) {
    if (m_state.list.empty()) {
        return;
    }
    if (kv::stepCursor(m_state.plotView, m_state.config.plot, delta)) {
        update();
        updateStatusFields();
    }
    // Also at the end of the range: a window taking a limit from the cursor takes it again.
    m_state.windows.notify(Notification::CursorSettled);
}

void PlotPane::mouseMoveEvent(QMouseEvent* event) {
    if (m_state.list.empty()) {
        return;
    }
    const QPoint at = event->position().toPoint();
    PlotView& view = m_state.plotView;
    if (!view.cursorDragging) {
        setCursor(isOnCursor(view, at.x(), at.y()) ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    dragCursorTo(view, at.x());
    update();
    updateStatusFields();
    m_state.windows.notify(Notification::CursorMoved);
}

void PlotPane::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !m_state.list.empty() &&
        isOnCursor(m_state.plotView, at.x(), at.y())) {
        // Qt keeps sending the pane the moves until the button is released, even outside it.
        beginCursorDrag(m_state.plotView);
    }
}

void PlotPane::mouseReleaseEvent(QMouseEvent* event) {
    PlotView& view = m_state.plotView;
    if (event->button() != Qt::LeftButton || !view.cursorDragging) {
        return;
    }
    // Before a zoom changes the range, so a window reads the channel the cursor was let go at.
    m_state.windows.notify(Notification::CursorSettled);
    const bool zoomed = view.zoomArmed;
    endCursorDrag(view, m_state.config.plot);
    update();
    if (zoomed && m_zoomEnded) {
        m_zoomEnded();
    }
}

} // namespace kv
