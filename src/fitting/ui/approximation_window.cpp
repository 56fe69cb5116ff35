#include "fitting/ui/approximation_window.h"

#include "display/cursor.h"
#include "fitting/component_fit.h"
#include "fitting/fit_report.h"
#include "fitting/model_counts.h"
#include "gui/dialog_fields.h"
#include "model/cp1251.h"
#include "model/strings.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include <memory>
#include <utility>

namespace kv {

namespace {

constexpr int kHelpContext = 14;
// The up-down controls turn about their middle and are put back there after every step, so
// they never stop at an end; their position means nothing.
constexpr int kStepperRange = 32767;
constexpr int kStepperMiddle = 16383;
constexpr double kStepShare = 0.05;
// The residual histogram's comment is cut to this many bytes.
constexpr std::size_t kCommentLimit = 63;

// The report's CR LF line ends shown as the text field's own line breaks.
QString reportText(const std::string& report) {
    QString text = QString::fromStdString(report);
    text.remove(QLatin1Char('\r'));
    return text;
}

// An up-down control that shows its arrows only: its position means nothing, and in a field as
// narrow as the arrows its digits would show as stray marks.
class ArrowsOnly : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int) const override { return {}; }
};

} // namespace

ApproximationWindow::ApproximationWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    using C = Control;
    setWindowTitle(QString::fromUtf8("Аппроксимация"));
    auto* grid = new QGridLayout(this);
    m_list = m_controls.add(C::List, new QListWidget(this));
    grid->addWidget(m_list, 0, 0, 7, 1);
    const auto addButton = [this](C id, const char* label) {
        auto* button = m_controls.add(id, new QPushButton(QString::fromUtf8(label), this));
        connect(button, &QPushButton::clicked, this, [this, id] { command(static_cast<int>(id)); });
        return button;
    };
    int row = 0;
    for (const auto& [id, label] :
         {std::pair(C::AddGaussian, "Гаусс"), std::pair(C::AddExponential, "Экспонента"),
          std::pair(C::AddMcp, "МКП"), std::pair(C::AddConstant, "Постоянная"),
          std::pair(C::AddLinear, "Линейная"), std::pair(C::Remove, "Удалить")}) {
        grid->addWidget(addButton(id, label), row++, 1);
    }
    auto* parameters = new QGridLayout;
    for (int j = 0; j < kMaxComponentParameters; ++j) {
        parameters->addWidget(new QLabel(QString::fromUtf8("P%1:").arg(j)), j, 0);
        m_fields[j] =
            m_controls.add(static_cast<C>(static_cast<int>(C::P0) + j), new QLineEdit(this));
        parameters->addWidget(m_fields[j], j, 1);
        QSpinBox* stepper =
            m_controls.add(static_cast<C>(static_cast<int>(C::StepP0) + j), new ArrowsOnly(this));
        stepper->setRange(0, kStepperRange);
        stepper->setValue(kStepperMiddle);
        stepper->setFixedWidth(stepper->sizeHint().height());
        stepper->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        connect(stepper, &QSpinBox::valueChanged, this, [this, j, stepper](int value) {
            {
                const QSignalBlocker quiet(stepper);
                stepper->setValue(kStepperMiddle);
            }
            step(j, value > kStepperMiddle);
        });
        m_steppers[j] = stepper;
        parameters->addWidget(stepper, j, 2);
    }
    parameters->addWidget(addButton(C::ToCursor, "><"), 0, 3);
    parameters->addWidget(addButton(C::Apply, "#"), 1, 3);
    grid->addLayout(parameters, row++, 1);
    m_report = m_controls.add(C::Report, new QPlainTextEdit(this));
    m_report->setReadOnly(true);
    m_report->setMinimumSize(460, 160);
    grid->addWidget(m_report, 7, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (const auto& [id, label] : {std::pair(C::Fit, "Попытка"), std::pair(C::Residual, "Дельта"),
                                    std::pair(C::Help, "Помощь"), std::pair(C::Close, "Закрыть")}) {
        buttons->addWidget(addButton(id, label));
    }
    grid->addLayout(buttons, 8, 0, 1, 2);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int r) { select(r); });

    const ComponentTable& table = m_services.state().components;
    {
        const QSignalBlocker quiet(m_list);
        for (int k = 0; k < table.componentCount(); ++k) {
            m_list->addItem(QString::fromUtf8(text(listName(table.component(k).kind))));
        }
    }
    if (!table.empty()) {
        selectInList();
        showParameters();
    }
    rebuildOverlays();
    m_services.repaintPlot();
}

void ApproximationWindow::command(int id) {
    using C = Control;
    switch (static_cast<C>(id)) {
    case C::AddGaussian:
        return add(ComponentKind::Gaussian);
    case C::AddExponential:
        return add(ComponentKind::Exponential);
    case C::AddMcp:
        return add(ComponentKind::Mcp);
    case C::AddConstant:
        return add(ComponentKind::Constant);
    case C::AddLinear:
        return add(ComponentKind::Linear);
    case C::Remove:
        return removeSelected();
    case C::ToCursor:
        return moveToCursor();
    case C::Apply:
        applyParameters();
        rebuildOverlays();
        m_services.repaintPlot();
        return;
    case C::Fit:
        return fit();
    case C::Residual:
        return makeResidual();
    case C::Help:
        m_services.ui().showHelp(kHelpContext);
        return;
    case C::Close:
        close();
        return;
    default:
        break;
    }
    if (id == kShowParameters) {
        showParameters();
    } else if (id == kApplyParameters) {
        applyParameters();
    }
}

void ApproximationWindow::done(int result) {
    ToolWindow::done(result);
    m_overlays.release();
    m_services.repaintPlot();
    // Hidden now, so the found-lines window sees it gone and disables its "Добавить".
    m_services.state().windows.send(WindowKind::FoundLines, kRefreshCommand);
}

FitRegion ApproximationWindow::region() const {
    const PlotSettings& plot = m_services.state().config.plot;
    return {plot.firstChannel, plot.lastChannel};
}

void ApproximationWindow::add(ComponentKind kind) {
    AppState& state = m_services.state();
    if (!state.components.addComponent(kind, state.list.currentHistogram(), region())) {
        return;
    }
    {
        const QSignalBlocker quiet(m_list);
        m_list->addItem(QString::fromUtf8(text(listName(kind))));
    }
    rebuildOverlays();
    showParameters();
    selectInList();
    m_services.repaintPlot();
}

void ApproximationWindow::removeSelected() {
    ComponentTable& table = m_services.state().components;
    const int row = m_list->currentRow();
    if (table.empty() || row < 0) {
        return;
    }
    table.removeComponent(row);
    rebuildOverlays();
    showParameters();
    {
        const QSignalBlocker quiet(m_list);
        delete m_list->takeItem(row);
    }
    selectInList();
    m_services.repaintPlot();
}

void ApproximationWindow::select(int row) {
    AppState& state = m_services.state();
    ComponentTable& table = state.components;
    applyParameters();
    table.setSelected(row);
    rebuildOverlays(true);
    showParameters();
    m_services.repaintPlot();
    if (table.empty()) {
        return;
    }
    const FitComponent& c = table.component(table.selected());
    ToolWindow* calibration = state.windows.find(WindowKind::EnergyCalibration);
    if (calibration && (c.kind == ComponentKind::Gaussian || c.kind == ComponentKind::Mcp)) {
        const double position = c.parameters[1];
        calibration->takePeak({.position = position,
                               .energy = state.config.energyCalibration.channelToEnergy(
                                   position, state.list.channelCount())});
    }
}

void ApproximationWindow::step(int parameter, bool up) {
    ComponentTable& table = m_services.state().components;
    if (table.empty() || parameter >= table.component(table.selected()).parameterCount()) {
        return;
    }
    applyParameters();
    double& p = table.parameters(table.selected())[static_cast<std::size_t>(parameter)];
    p += (up ? kStepShare : -kStepShare) * p;
    showParameters();
    rebuildOverlays();
    m_services.repaintPlot();
}

void ApproximationWindow::moveToCursor() {
    AppState& state = m_services.state();
    ComponentTable& table = state.components;
    if (table.empty() || table.component(table.selected()).parameterCount() < 2) {
        return;
    }
    table.parameters(table.selected())[1] = cursorPosition(state.plotView, state.config.plot);
    rebuildOverlays();
    showParameters();
    m_services.repaintPlot();
}

void ApproximationWindow::fit() {
    AppState& state = m_services.state();
    const Histogram* current = state.list.currentHistogram();
    const ComponentFitOutcome outcome = fitComponents(state.components, current, region());
    if (outcome.converged()) {
        // The rates are over the exposure of the record the curves were made from.
        const Histogram* shown = m_overlays.sum() ? m_overlays.sum() : current;
        m_report->setPlainText(
            reportText(fitReport(state.components, outcome.errors, shown->rateExposure(),
                                 state.config.energyCalibration, state.list.channelCount())));
    }
    rebuildOverlays();
    showParameters();
    m_services.repaintPlot();
}

void ApproximationWindow::makeResidual() {
    AppState& state = m_services.state();
    if (state.components.empty() || !state.list.currentHistogram()) {
        return;
    }
    Histogram* residual = state.list.duplicateCurrent();
    if (!residual) {
        return;
    }
    residual->comment.assign(cp1251FromUtf8(text(StringId::Residual)).substr(0, kCommentLimit));
    subtractModel(residual->channels, state.components, region());
    m_services.refreshList();
}

void ApproximationWindow::showParameters() {
    ComponentTable& table = m_services.state().components;
    for (QLineEdit* field : m_fields) {
        field->clear();
    }
    if (table.empty()) {
        return;
    }
    const std::span<double> p = table.parameters(table.selected());
    for (std::size_t j = 0; j < p.size(); ++j) {
        setDialogDouble(*m_fields[j], "%0.2f", p[j]);
    }
}

void ApproximationWindow::applyParameters() {
    ComponentTable& table = m_services.state().components;
    if (table.empty()) {
        return;
    }
    const std::span<double> p = table.parameters(table.selected());
    for (std::size_t j = 0; j < p.size(); ++j) {
        getDialogDouble(*m_fields[j], p[j]);
    }
}

void ApproximationWindow::rebuildOverlays(bool componentOnly) {
    const AppState& state = m_services.state();
    m_overlays.rebuild(state.components, state.list.currentHistogram(), componentOnly);
}

void ApproximationWindow::selectInList() {
    const QSignalBlocker quiet(m_list);
    m_list->setCurrentRow(m_services.state().components.selected());
}

void openApproximation(MainWindowServices& services, QWidget* parent) {
    WindowRegistry& windows = services.state().windows;
    windows.open(WindowKind::Approximation,
                 [&] { return std::make_unique<ApproximationWindow>(services, parent); });
    windows.send(WindowKind::FoundLines, kRefreshCommand);
}

} // namespace kv
