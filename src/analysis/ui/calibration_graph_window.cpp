#include "analysis/ui/calibration_graph_window.h"

#include "analysis/efficiency.h"
#include "analysis/ui/dialog_controls.h"
#include "analysis/ui/efficiency_window.h"
#include "model/strings.h"

#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace kv {

namespace {

// The graphs keep this far from the pane's edges; a point's circle has this radius.
constexpr int kInset = 5;
constexpr int kPointRadius = 5;

// A pixel coordinate truncated toward zero; values far off the pane (a steep curve, a point
// far outside the spectrum's span) are held where the cast stays defined.
int pixel(double value) {
    constexpr double kFar = 1 << 24;
    return static_cast<int>(std::isfinite(value) ? std::clamp(value, -kFar, kFar) : 0.0);
}

// Maps values onto the rows from bottom (at from) to top (at to).
struct VerticalScale {
    int top;
    int bottom;
    double from;
    double to;

    int row(double value) const {
        // A span of nothing (a calibration giving one energy everywhere) stands on the bottom.
        const double span = to - from;
        return pixel(bottom - (span != 0.0 ? (value - from) * (bottom - top) / span : 0.0));
    }
};

// The curve through value(i) of every channel i, drawn across the inset from left to right.
template <class Value>
void drawChannelCurve(QPainter& painter, int left, int right, std::int32_t channelCount,
                      const VerticalScale& scale, Value value) {
    if (channelCount < 2) {
        return;
    }
    QPolygon curve;
    curve.reserve(channelCount);
    for (std::int32_t i = 0; i < channelCount; ++i) {
        const auto x = left + static_cast<std::int64_t>(right - left) * i / (channelCount - 1);
        curve.append(QPoint(static_cast<int>(x), scale.row(value(i))));
    }
    painter.drawPolyline(curve);
}

QRect circleAround(int x, int y) {
    return QRect(x - kPointRadius, y - kPointRadius, 2 * kPointRadius, 2 * kPointRadius);
}

} // namespace

void drawEnergyCalibrationGraph(QPainter& painter, const PixelRect& paneRect,
                                const EnergyCalibration& calibration, std::int32_t channelCount) {
    const int left = paneRect.left + kInset;
    const int right = paneRect.right - kInset;
    const std::int32_t last = std::max(channelCount - 1, 1);
    const VerticalScale scale{paneRect.top + kInset, paneRect.bottom - kInset,
                              calibration.channelToEnergy(0.0, channelCount),
                              calibration.channelToEnergy(last, channelCount)};
    const auto points = static_cast<std::size_t>(
        std::clamp(calibration.pointCount, 0, static_cast<std::int32_t>(kMaxCalibrationPoints)));
    for (std::size_t i = 0; i < points; ++i) {
        const int x = pixel((right - left) * calibration.pointChannel[i] / last + left);
        const int y = scale.row(calibration.pointEnergy[i]);
        painter.drawEllipse(circleAround(x, y));
        painter.drawLine(x + kPointRadius, y + kPointRadius, x - kPointRadius - 1,
                         y - kPointRadius - 1);
        painter.drawLine(x + kPointRadius, y - kPointRadius, x - kPointRadius - 1,
                         y + kPointRadius + 1);
    }
    drawChannelCurve(painter, left, right, channelCount, scale,
                     [&](std::int32_t i) { return calibration.channelToEnergy(i, channelCount); });
}

void drawEfficiencyGraph(QPainter& painter, const PixelRect& paneRect,
                         const EfficiencyCalibration& efficiency,
                         const EnergyCalibration& calibration, std::int32_t channelCount,
                         int selected) {
    const std::size_t n = efficiencyPointCount(efficiency);
    if (n < 2) {
        return;
    }
    const auto values = std::span(efficiency.efficiencyValue).first(n);
    const double largest = *std::max_element(values.begin(), values.end());
    if (!(largest > 0.0)) {
        return;
    }
    const int left = paneRect.left + kInset;
    const int right = paneRect.right - kInset;
    const double firstEnergy = calibration.channelToEnergy(0.0, channelCount);
    const double lastEnergy =
        calibration.channelToEnergy(std::max(channelCount - 1, 1), channelCount);
    const double energySpan = lastEnergy != firstEnergy ? lastEnergy - firstEnergy : 1.0;
    const VerticalScale scale{paneRect.top + kInset, paneRect.bottom - kInset, 0.0, largest};
    for (std::size_t j = 0; j < n; ++j) {
        const int x = pixel(
            (efficiency.efficiencyEnergy[j] - firstEnergy) * (right - left) / energySpan + left);
        const int y = scale.row(values[j]);
        painter.save();
        if (static_cast<int>(j) == selected) {
            painter.setBrush(Qt::black);
        }
        painter.drawEllipse(circleAround(x, y));
        painter.restore();
    }
    drawChannelCurve(painter, left, right, channelCount, scale, [&](std::int32_t i) {
        return efficiencyAt(efficiency, calibration.channelToEnergy(i, channelCount));
    });
}

CalibrationGraphWindow::CalibrationGraphWindow(MainWindowServices& services,
                                               CalibrationGraphKind kind, QWidget* parent)
    : ToolWindow(parent), m_services(services), m_kind(kind) {
    setWindowTitle(QString::fromUtf8(
        text(kind == CalibrationGraphKind::Energy ? StringId::Calibration : StringId::Efficiency)));
    // The graph stands in the plot pane until the user closes this window.
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* close = new QPushButton(qs("Закрыть"), this);
    connect(close, &QPushButton::clicked, this,
            [this] { command(static_cast<int>(Control::Close)); });
    layout->addWidget(close);
    m_close = close;
    // Hidden once closed, the registry no longer finds it: the plot comes back.
    connect(this, &QDialog::finished, this, [this] { m_services.repaintPlot(); });
}

void CalibrationGraphWindow::command(int id) {
    if (id == static_cast<int>(Control::Close)) {
        close();
    } else if (id == kRefreshCommand) {
        m_services.repaintPlot();
    }
}

void CalibrationGraphWindow::draw(QPainter& painter, const PixelRect& paneRect) const {
    const AppState& state = m_services.state();
    const std::int32_t channels = state.list.channelCount();
    const EnergyCalibration& calibration = state.config.energyCalibration;
    const auto energyLabel = [&](double channel) {
        return QString::asprintf("%0.0f", calibration.channelToEnergy(channel, channels));
    };
    // Framed, gridded and labelled as the plot is, the graph inside the frame.
    PixelRect inside = paneRect;
    AxisTexts texts;
    if (m_kind == CalibrationGraphKind::Energy) {
        texts = {.xTitle = QString::fromUtf8(text(StringId::AxisChannels)),
                 .firstLabel = QStringLiteral("1"),
                 .lastLabel = QString::number(channels),
                 .yTitle = QString::fromUtf8(text(StringId::AxisEnergy)),
                 .bottomLabel = energyLabel(0.0),
                 .topLabel = energyLabel(channels - 1)};
        PlotPainter::drawFrame(painter, inside, texts);
        drawEnergyCalibrationGraph(painter, inside, calibration, channels);
        return;
    }
    const EfficiencyCalibration& efficiency = state.config.efficiency;
    const auto values =
        std::span(efficiency.efficiencyValue).first(efficiencyPointCount(efficiency));
    texts = {.xTitle = QString::fromUtf8(text(StringId::AxisEnergy)),
             .firstLabel = energyLabel(0.0),
             .lastLabel = energyLabel(channels - 1),
             .yTitle = QString::fromUtf8(text(StringId::Efficiency)),
             .bottomLabel = QStringLiteral("0"),
             .topLabel =
                 values.empty()
                     ? QString()
                     : QString::asprintf("%0.2E", *std::max_element(values.begin(), values.end()))};
    PlotPainter::drawFrame(painter, inside, texts);
    const auto* window = dynamic_cast<const EfficiencyWindow*>(
        state.windows.find(WindowKind::EfficiencyCalibration));
    drawEfficiencyGraph(painter, inside, efficiency, calibration, channels,
                        window ? window->selectedRow() : -1);
}

void openCalibrationGraph(MainWindowServices& services, CalibrationGraphKind kind,
                          QWidget* parent) {
    if (services.state().windows.isOpen(WindowKind::CalibrationGraph)) {
        return;
    }
    services.state().windows.open(WindowKind::CalibrationGraph, [&] {
        return std::make_unique<CalibrationGraphWindow>(services, kind, parent);
    });
    services.repaintPlot();
}

} // namespace kv
