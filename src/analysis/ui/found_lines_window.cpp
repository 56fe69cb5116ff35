#include "analysis/ui/found_lines_window.h"

#include "analysis/line_quantities.h"
#include "analysis/ui/efficiency_window.h"
#include "analysis/ui/energy_calibration_window.h"
#include "analysis/ui/isotope_database_window.h"
#include "display/cursor.h"
#include "model/strings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

// The topic of the search settings, which also describes this window.
constexpr int kHelpContext = 15;
constexpr int kListFontPixels = 12;
// How often a finished search looks again whether the modal dialog in its way has closed.
constexpr int kModalWaitMs = 100;

// Whether the list still holds a spectrum with exactly these channels.
bool stillListed(const HistogramList& list, const Histogram& searched) {
    for (int i = 0; i < list.histogramCount(); ++i) {
        if (list.histogramAt(i)->channels == searched.channels) {
            return true;
        }
    }
    return false;
}

} // namespace

LineIdentifier foundLinesIdentifier(const AppState& state, const IsotopeDatabase& database) {
    return LineIdentifier(database, state.foundLines, state.config.identification,
                          state.config.efficiency, state.config.energyCalibration,
                          state.list.channelCount());
}

std::optional<RateError> foundLineErrors(const AppState& state, std::size_t index) {
    if (!state.refineAreas) {
        return std::nullopt;
    }
    return RateError{state.foundLines.rateError(index)};
}

FoundLinesWindow::FoundLinesWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    setWindowTitle(qs("Поиск линий"));
    const auto onClick = [this](Control id) { command(static_cast<int>(id)); };
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kListFontPixels);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(qs("Найденные линии:")), 0, 0);
    m_header = m_controls.add(Control::Header, new QLabel(this));
    m_header->setFont(fixed);
    grid->addWidget(m_header, 1, 0);
    m_list = m_controls.add(Control::List, new QListWidget(this));
    m_list->setFont(fixed);
    grid->addWidget(m_list, 2, 0);

    auto* buttons = new QVBoxLayout;
    for (const auto& [id, label] :
         {std::pair(Control::Search, "Поиск"), std::pair(Control::Add, "Добавить"),
          std::pair(Control::Delete, "Удалить"), std::pair(Control::Copy, "Копировать"),
          std::pair(Control::Settings, "Настройки"), std::pair(Control::Calibration, "Калибровка"),
          std::pair(Control::Efficiency, "Эффективность")}) {
        buttons->addWidget(m_controls.addButton(id, new QPushButton(qs(label)), this, onClick));
    }
    auto* correction = m_controls.addButton(Control::EfficiencyCorrection,
                                            new QCheckBox(qs("Учет эффективности")), this, onClick);
    correction->setChecked(services.state().config.identification.efficiencyCorrection != 0);
    buttons->addWidget(correction);
    buttons->addStretch();
    for (const auto& [id, label] :
         {std::pair(Control::Close, "Закрыть"), std::pair(Control::Help, "Помощь")}) {
        buttons->addWidget(m_controls.addButton(id, new QPushButton(qs(label)), this, onClick));
    }
    grid->addLayout(buttons, 0, 1, 3, 1);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);

    connect(m_list, &QListWidget::currentRowChanged, this, [this] {
        moveCursor();
        handSelectedLine();
    });
    // The identification follows the calibrations and the channel count of the list.
    follow(Notification::ListChanged, kRefreshCommand);
    follow(Notification::CalibrationChanged, kRefreshCommand);
    rebuild(false);
}

void FoundLinesWindow::command(int id) {
    switch (static_cast<Control>(id)) {
    case Control::Search:
        m_services.runCommand(Command::LineSearch);
        break;
    case Control::Add:
        addSelectedComponent();
        break;
    case Control::Delete:
        deleteSelected();
        break;
    case Control::Copy:
        copyTable();
        break;
    case Control::Settings:
        m_services.runCommand(Command::SearchSettings);
        break;
    case Control::Calibration:
        openEnergyCalibration(m_services, parentWidget());
        handSelectedLine();
        break;
    case Control::Efficiency:
        openEfficiencyCalibration(m_services, parentWidget());
        handSelectedLine();
        break;
    case Control::EfficiencyCorrection:
        m_services.state().config.identification.efficiencyCorrection =
            isChecked(control(Control::EfficiencyCorrection)) ? 1 : 0;
        rebuild(false);
        break;
    case Control::Close:
        close();
        break;
    case Control::Help:
        m_services.ui().showHelp(kHelpContext);
        break;
    default:
        if (id == kRefreshCommand) {
            rebuild(false);
        }
        break;
    }
}

void FoundLinesWindow::startSearch() {
    AppState& state = m_services.state();
    const Histogram* current = state.list.currentHistogram();
    if (!current || searching()) {
        return;
    }
    const LineSearchSettings settings = state.config.lineSearch;
    m_runner.start(
        *current, settings, state.config.energyCalibration,
        [this, settings](Histogram searched, LineSearchResult result) {
            m_finished = FinishedSearch{std::move(searched), settings, std::move(result)};
            takeFinishedSearch();
        });
    control(Control::Search)->setEnabled(false);
    setCursor(Qt::BusyCursor);
}

void FoundLinesWindow::takeFinishedSearch() {
    if (QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(kModalWaitMs, this, [this] { takeFinishedSearch(); });
        return;
    }
    FinishedSearch finished = std::move(*m_finished);
    m_finished.reset();
    control(Control::Search)->setEnabled(true);
    unsetCursor();
    AppState& state = m_services.state();
    // Deleted or replaced while it was searched (New, Open, Delete): its lines belong nowhere.
    if (!stillListed(state.list, finished.searched)) {
        return;
    }
    LineSearchResult& result = finished.result;
    if (state.refineAreas) {
        refineLines(finished.searched, result, state.config.energyCalibration);
    }
    state.foundLines = std::move(result.lines);
    if (result.foundAny) {
        state.peakFit.centre = result.lastPeak.centre;
    }
    addDiagnosticHistograms(state.list, finished.searched, finished.settings, result);
    m_services.refreshList();
    rebuild(true);
    if (result.tooManyPeaks) {
        m_services.ui().showMessage(StringId::TooManyPeaks, StringId::BadNews);
    }
}

void FoundLinesWindow::rebuild(bool toFirstLine) {
    const AppState& state = m_services.state();
    const LookupDatabase lookup(state);
    const LineIdentifier identifier = foundLinesIdentifier(state, lookup.database());
    m_header->setText(QString::fromUtf8(foundLinesListHeader(
        state.config.identification.efficiencyCorrection != 0, state.refineAreas)));
    const int rows = static_cast<int>(state.foundLines.size());
    const int selected = toFirstLine ? 0 : std::min(m_list->currentRow(), rows - 1);
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (std::size_t i = 0; i < state.foundLines.size(); ++i) {
            m_list->addItem(QString::fromStdString(foundLineListRow(
                identifier, state.foundLines.lines()[i], foundLineErrors(state, i))));
        }
        m_list->setCurrentRow(std::max(selected, 0));
    }
    control(Control::Add)->setEnabled(state.windows.isOpen(WindowKind::Approximation));
    if (toFirstLine) {
        moveCursor();
    }
}

void FoundLinesWindow::moveCursor() {
    AppState& state = m_services.state();
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(state.foundLines.size()) || state.list.empty()) {
        return;
    }
    const double energy = state.foundLines.lines()[static_cast<std::size_t>(row)].energy;
    placeCursorAt(
        state.plotView, state.config.plot,
        channelOfEnergy(state.config.energyCalibration, energy, state.list.channelCount()));
    m_services.repaintPlot();
    state.windows.notify(Notification::CursorSettled);
}

void FoundLinesWindow::handSelectedLine() {
    AppState& state = m_services.state();
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(state.foundLines.size())) {
        return;
    }
    const FoundLine& line = state.foundLines.lines()[static_cast<std::size_t>(row)];
    const HandedPeak peak{.position = line.position, .energy = line.energy, .rate = line.rate};
    state.windows.handPeak(peak);
}

void FoundLinesWindow::addSelectedComponent() {
    AppState& state = m_services.state();
    const ComponentTable& components = state.components;
    const Histogram* current = state.list.currentHistogram();
    if (!state.windows.isOpen(WindowKind::Approximation) || components.empty() || !current) {
        return;
    }
    // A Gaussian's P0 is its area and P1 its centre.
    const FitComponent& component = components.component(components.selected());
    if (component.parameterCount() < 2) {
        return;
    }
    const double centre = component.parameters[1];
    const FoundLine line{
        .energy = state.config.energyCalibration.channelToEnergy(centre, state.list.channelCount()),
        .rate = component.parameters[0] / current->rateExposure(),
        .position = centre};
    if (!state.foundLines.insertByEnergy(line)) {
        m_services.ui().showMessage(StringId::TooManyPeaks, StringId::BadNews);
        return;
    }
    rebuild(false);
}

void FoundLinesWindow::deleteSelected() {
    AppState& state = m_services.state();
    const int row = m_list->currentRow();
    if (row < 0 || state.foundLines.size() == 0) {
        return;
    }
    state.foundLines.remove(static_cast<std::size_t>(row));
    rebuild(false);
    moveCursor();
}

void FoundLinesWindow::copyTable() {
    const AppState& state = m_services.state();
    const LookupDatabase lookup(state);
    m_services.ui().setClipboardText(
        foundLinesCopyText(foundLinesIdentifier(state, lookup.database()), state.refineAreas));
}

} // namespace kv
