#include "analysis/ui/energy_calibration_window.h"

#include "analysis/energy_calibration_fit.h"
#include "analysis/ui/calibration_graph_window.h"
#include "gui/dialog_fields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <memory>

namespace kv {

namespace {

constexpr int kHelpContext = 17;

} // namespace

EnergyCalibrationWindow::EnergyCalibrationWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    setWindowTitle(qs("Калибровка по энергии"));
    const auto onClick = [this](Control id) { command(static_cast<int>(id)); };
    const auto button = [&](Control id, const char* label) {
        return m_controls.addButton(id, new QPushButton(qs(label), this), this, onClick);
    };

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(qs("Канал")), 0, 0);
    m_channel = m_controls.add(Control::Channel, new QLineEdit(this));
    grid->addWidget(m_channel, 1, 0);
    grid->addWidget(new QLabel(qs("Энергия, кэВ")), 0, 1);
    m_energy = m_controls.add(Control::Energy, new QLineEdit(this));
    grid->addWidget(m_energy, 1, 1);
    m_list = m_controls.add(Control::List, new QListWidget(this));
    grid->addWidget(m_list, 2, 0, 4, 2);
    grid->addWidget(button(Control::Add, "Добавить"), 1, 2);
    grid->addWidget(button(Control::Delete, "Удалить"), 2, 2);
    auto* degreeRow = new QHBoxLayout;
    degreeRow->addWidget(new QLabel(qs("Степень:")));
    m_degree = m_controls.add(Control::Degree, upDownField(this));
    m_degree->setRange(1, kMaxCalibrationDegree);
    degreeRow->addWidget(m_degree);
    grid->addLayout(degreeRow, 3, 2);
    grid->addWidget(button(Control::Calibrate, "Калибровать"), 4, 2);
    grid->addWidget(button(Control::Copy, "Копировать"), 5, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(button(Control::Help, "Помощь"));
    bottom->addWidget(button(Control::Close, "Закрыть"));
    grid->addLayout(bottom, 6, 0, 1, 3);

    const AppState& state = services.state();
    fillFields(state.peakFit.centre);
    m_degree->setValue(state.config.energyCalibration.termsInUse() - 1);
    follow(Notification::CursorMoved, kCursorMovedCommand);
    follow(Notification::CursorSettled, kCursorMovedCommand);
    follow(Notification::CalibrationChanged, kRefreshCommand);
    rebuild();
}

void EnergyCalibrationWindow::command(int id) {
    switch (static_cast<Control>(id)) {
    case Control::Add:
        addPoint();
        return;
    case Control::Delete:
        deletePoint();
        return;
    case Control::Calibrate:
        calibrateNow();
        return;
    case Control::Copy: {
        const AppState& state = m_services.state();
        if (const auto text =
                calibrationCopyText(state.config.energyCalibration, state.list.channelCount())) {
            m_services.ui().setClipboardText(*text);
        }
        return;
    }
    case Control::Help:
        m_services.ui().showHelp(kHelpContext);
        return;
    case Control::Close:
        close();
        return;
    default:
        break;
    }
    if (id == kCursorMovedCommand) {
        showCursorPosition(m_services.state(), *m_channel, *m_energy);
    } else if (id == kRefreshCommand) {
        rebuild();
    }
}

void EnergyCalibrationWindow::takePeak(const HandedPeak& peak) {
    setDialogDouble(*m_channel, "%0.5f", peak.position + 1.0);
    setDialogDouble(*m_energy, "%0.4f", peak.energy);
}

void EnergyCalibrationWindow::fillFields(double channel) {
    const AppState& state = m_services.state();
    takePeak({.position = channel,
              .energy = state.config.energyCalibration.channelToEnergy(channel,
                                                                       state.list.channelCount())});
}

void EnergyCalibrationWindow::rebuild() {
    EnergyCalibration& calibration = m_services.state().config.energyCalibration;
    sortCalibrationPoints(calibration);
    m_list->clear();
    for (std::size_t i = 0; i < calibrationPointCount(calibration); ++i) {
        m_list->addItem(QString::fromStdString(
            calibrationListRow(calibration.pointChannel[i], calibration.pointEnergy[i])));
    }
    m_list->setCurrentRow(0);
}

void EnergyCalibrationWindow::addPoint() {
    AppState& state = m_services.state();
    double channel = 0.0;
    double energy = 0.0;
    getDialogDouble(*m_channel, channel);
    getDialogDouble(*m_energy, energy);
    if (addCalibrationPoint(state.config.energyCalibration, channel, energy) ==
        AddCalibrationPointOutcome::TableFull) {
        m_services.ui().showMessage(StringId::TooManyEnergyPoints, StringId::BadNews);
        return;
    }
    // The points travel in the file's trailer.
    state.document.markChanged();
    rebuild();
}

void EnergyCalibrationWindow::deletePoint() {
    AppState& state = m_services.state();
    const int row = m_list->currentRow();
    if (row < 0 || calibrationPointCount(state.config.energyCalibration) == 0) {
        return;
    }
    deleteCalibrationPoint(state.config.energyCalibration, static_cast<std::size_t>(row));
    state.document.markChanged();
    rebuild();
}

void EnergyCalibrationWindow::calibrateNow() {
    AppState& state = m_services.state();
    const CalibrateOutcome outcome =
        calibrate(state.config.energyCalibration, m_degree->value(), state.list.channelCount());
    if (outcome == CalibrateOutcome::Fitted || outcome == CalibrateOutcome::SwitchedOff) {
        state.document.markChanged();
    }
    // Every energy shown follows the new calibration; the windows hear of it from the repaint.
    m_services.repaintPlot();
    if (outcome == CalibrateOutcome::Fitted) {
        openCalibrationGraph(m_services, CalibrationGraphKind::Energy, parentWidget());
    }
}

void openEnergyCalibration(MainWindowServices& services, QWidget* parent) {
    services.state().windows.open(WindowKind::EnergyCalibration, [&] {
        return std::make_unique<EnergyCalibrationWindow>(services, parent);
    });
}

} // namespace kv
