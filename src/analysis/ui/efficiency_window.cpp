#include "analysis/ui/efficiency_window.h"

#include "analysis/efficiency.h"
#include "analysis/ui/calibration_graph_window.h"
#include "gui/dialog_fields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <memory>

namespace kv {

EfficiencyWindow::EfficiencyWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    setWindowTitle(qs("Калибровка по эффективности"));
    const auto onClick = [this](Control id) { command(static_cast<int>(id)); };
    const auto button = [&](Control id, const char* label) {
        return m_controls.addButton(id, new QPushButton(qs(label), this), this, onClick);
    };
    const auto field = [&](Control id) { return m_controls.add(id, new QLineEdit(this)); };

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(qs("Энергия, кэВ")), 0, 0);
    m_energy = field(Control::Energy);
    grid->addWidget(m_energy, 1, 0);
    grid->addWidget(new QLabel(qs("Cчет, имп/с")), 0, 1);
    m_countRate = field(Control::CountRate);
    grid->addWidget(m_countRate, 1, 1);
    grid->addWidget(new QLabel(qs("Интенсивность линии, 1/с")), 0, 2);
    m_emissionRate = field(Control::EmissionRate);
    grid->addWidget(m_emissionRate, 1, 2);
    m_list = m_controls.add(Control::List, new QListWidget(this));
    grid->addWidget(m_list, 2, 0, 6, 3);
    int row = 1;
    for (const auto& [id, label] :
         {std::pair(Control::Add, "Добавить"), std::pair(Control::Delete, "Удалить"),
          std::pair(Control::Paste, "Вставить"), std::pair(Control::Copy, "Копировать"),
          std::pair(Control::Graph, "График"), std::pair(Control::Help, "Помощь"),
          std::pair(Control::Close, "Закрыть")}) {
        grid->addWidget(button(id, label), row++, 3);
    }

    // The graph marks the selected point.
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { m_services.repaintPlot(); });
    follow(Notification::CalibrationChanged, kRefreshCommand);
    rebuild();
}

void EfficiencyWindow::command(int id) {
    AppState& state = m_services.state();
    EfficiencyCalibration& efficiency = state.config.efficiency;
    switch (static_cast<Control>(id)) {
    case Control::Add:
        addPoint();
        return;
    case Control::Delete:
        if (selectedRow() >= 0 && efficiencyPointCount(efficiency) > 0) {
            deleteEfficiencyPoint(efficiency, static_cast<std::size_t>(selectedRow()));
            state.document.markChanged();
            rebuild();
        }
        return;
    case Control::Copy:
        if (const auto text = efficiencyCopyText(efficiency)) {
            m_services.ui().setClipboardText(*text);
        }
        return;
    case Control::Paste:
        if (pasteEfficiencyPoints(efficiency, m_services.ui().clipboardText())) {
            state.document.markChanged();
            rebuild();
        }
        return;
    case Control::Graph:
        openCalibrationGraph(m_services, CalibrationGraphKind::Efficiency, parentWidget());
        return;
    case Control::Close:
        close();
        return;
    case Control::Help: // the window has no help topic
        return;
    default:
        break;
    }
    if (id == kRefreshCommand) {
        rebuild();
    }
}

void EfficiencyWindow::takePeak(const HandedPeak& peak) {
    setDialogDouble(*m_energy, "%0.2f", peak.energy);
    setDialogDouble(*m_countRate, "%0.2f", peak.rate);
}

int EfficiencyWindow::selectedRow() const {
    return m_list->currentRow();
}

void EfficiencyWindow::rebuild() {
    EfficiencyCalibration& efficiency = m_services.state().config.efficiency;
    sortEfficiencyPoints(efficiency);
    m_list->clear();
    for (std::size_t i = 0; i < efficiencyPointCount(efficiency); ++i) {
        m_list->addItem(QString::fromStdString(
            efficiencyListRow(efficiency.efficiencyEnergy[i], efficiency.efficiencyValue[i])));
    }
    m_list->setCurrentRow(0);
    m_services.repaintPlot();
}

void EfficiencyWindow::addPoint() {
    AppState& state = m_services.state();
    double energy = 0.0;
    double countRate = 0.0;
    double emissionRate = 0.0;
    getDialogDouble(*m_energy, energy);
    getDialogDouble(*m_countRate, countRate);
    getDialogDouble(*m_emissionRate, emissionRate);
    switch (addEfficiencyPoint(state.config.efficiency, energy, countRate, emissionRate)) {
    case AddEfficiencyPointOutcome::TableFull:
        m_services.ui().showMessage(StringId::TooManyEfficiencyPoints, StringId::BadNews);
        return;
    case AddEfficiencyPointOutcome::NoEmissionRate:
        return;
    case AddEfficiencyPointOutcome::Added:
        state.document.markChanged();
        rebuild();
        return;
    }
}

void openEfficiencyCalibration(MainWindowServices& services, QWidget* parent) {
    services.state().windows.open(WindowKind::EfficiencyCalibration, [&] {
        return std::make_unique<EfficiencyWindow>(services, parent);
    });
}

} // namespace kv
