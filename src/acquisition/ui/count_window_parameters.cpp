#include "acquisition/ui/count_window_parameters.h"

#include "acquisition/count_windows.h"
#include "acquisition/ui/run_dialog_parts.h"
#include "display/cursor.h"
#include "gui/dialog_fields.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdint>
#include <tuple>
#include <utility>

namespace kv {

namespace {

using Control = CountWindowParametersWindow::Control;

Control offset(Control first, std::size_t k) {
    return static_cast<Control>(static_cast<int>(first) + static_cast<int>(k));
}

// A 1-based channel field as a 0-based channel. Text that is no unsigned number reads 0, so the
// channel is -1: limits are stored as typed, and the evaluation counts only channels inside the
// spectrum.
std::int32_t channelIn(const QLineEdit& field) {
    return static_cast<std::int32_t>(std::int64_t{getDialogUnsigned(field)} - 1);
}

void showChannel(QLineEdit& field, std::int32_t channel) {
    field.setText(QString::number(std::int64_t{channel} + 1));
}

} // namespace

CountWindowParametersWindow::CountWindowParametersWindow(MainWindowServices& main, QWidget* parent)
    : ToolWindow(parent), m_main(main), m_settings(main.state().config.countWindows),
      m_openedLower(m_settings.windowLower), m_openedUpper(m_settings.windowUpper),
      m_openedReference(m_settings.referenceChannel) {
    setWindowTitle(qs("Параметры счетных окон"));
    follow(Notification::CursorSettled, kRefreshCommand);
    auto* layout = new QVBoxLayout(this);

    auto* limits = new QGroupBox(qs("Границы:"), this);
    auto* limitGrid = new QGridLayout(limits);
    auto* sides = new QButtonGroup(this);
    auto* windows = new QButtonGroup(this);
    for (const auto& [id, label, column] :
         {std::tuple{Control::Lower, "Нижняя", 1}, std::tuple{Control::Upper, "Верхняя", 2}}) {
        auto* side = m_controls.add(id, new QRadioButton(qs(label), limits));
        sides->addButton(side);
        limitGrid->addWidget(side, 0, column);
    }
    for (std::size_t k = 0; k < kCountWindows; ++k) {
        const int row = static_cast<int>(k) + 1;
        auto* window = m_controls.add(offset(Control::Window1, k),
                                      new QRadioButton(QString::number(row), limits));
        windows->addButton(window);
        limitGrid->addWidget(window, row, 0);
        limitGrid->addWidget(m_controls.add(offset(Control::LowerLimit1, k), new QLineEdit(limits)),
                             row, 1);
        limitGrid->addWidget(m_controls.add(offset(Control::UpperLimit1, k), new QLineEdit(limits)),
                             row, 2);
    }
    auto* cursorLocked = m_controls.add(Control::CursorLocked,
                                        new QCheckBox(qs("Не брать границы от курсора"), limits));
    limitGrid->addWidget(cursorLocked, kCountWindows + 1, 0, 1, 3);
    layout->addWidget(limits);

    auto* coefficients = new QGroupBox(qs("Коэффициенты:"), this);
    auto* coefficientGrid = new QGridLayout(coefficients);
    const auto addCoefficients = [&](Control first, std::size_t count, const char* prefix,
                                     int column, const auto& values) {
        for (std::size_t k = 0; k < count; ++k) {
            auto* field = m_controls.add(offset(first, k), new QLineEdit(coefficients));
            setDialogDouble(*field, "%g", values[k]);
            const int row = static_cast<int>(k);
            coefficientGrid->addWidget(
                new QLabel(qs(prefix) + QString::number(row + 1), coefficients), row, column);
            coefficientGrid->addWidget(field, row, column + 1);
        }
    };
    addCoefficients(Control::P0, m_settings.countCoefficients.size(), "П", 0,
                    m_settings.countCoefficients);
    addCoefficients(Control::K0, m_settings.calibrationCoefficients.size(), "К", 2,
                    m_settings.calibrationCoefficients);
    layout->addWidget(coefficients);

    auto* reference = new QGroupBox(qs("Опорный пик:"), this);
    auto* referenceGrid = new QGridLayout(reference);
    auto* autoShift = m_controls.add(
        Control::AutoShift, new QCheckBox(qs("Сдвигать окна по опорному пику"), reference));
    referenceGrid->addWidget(autoShift, 0, 0, 1, 3);
    referenceGrid->addWidget(new QLabel(qs("Канал:"), reference), 1, 0);
    referenceGrid->addWidget(m_controls.add(Control::ReferenceChannel, new QLineEdit(reference)), 1,
                             1);
    referenceGrid->addWidget(new QLabel(qs("Ширина:"), reference), 2, 0);
    referenceGrid->addWidget(m_controls.add(Control::ReferenceWidth, new QLineEdit(reference)), 2,
                             1);
    auto* find =
        m_controls.add(Control::FindReference, new QPushButton(qs("Найти пик"), reference));
    connect(find, &QPushButton::clicked, this,
            [this] { command(static_cast<int>(Control::FindReference)); });
    referenceGrid->addWidget(find, 1, 2);
    layout->addWidget(reference);

    auto* expanded = m_controls.add(Control::ExpandedResult,
                                    new QCheckBox(qs("Отображать результат развернуто"), this));
    layout->addWidget(expanded);
    addButtonRow(*this, *layout, m_controls,
                 {{Control::Update, "Обновить"}, {Control::Ok, "OK"}, {Control::Cancel, "Cancel"}},
                 [this](Control id) { command(static_cast<int>(id)); });
    m_controls.get<QPushButton>(Control::Ok)->setDefault(true);
    connect(autoShift, &QCheckBox::toggled, this, [this] { applyEnablingRule(); });

    // Channels and coefficients are short numbers: narrow fields keep the window beside the plot.
    for (QLineEdit* field : findChildren<QLineEdit*>()) {
        field->setMaximumWidth(fontMetrics().averageCharWidth() * 12);
    }
    m_controls.get<QRadioButton>(Control::Lower)->setChecked(true);
    m_controls.get<QRadioButton>(Control::Window1)->setChecked(true);
    fillLimits();
    showChannel(*m_controls.get<QLineEdit>(Control::ReferenceChannel), m_settings.referenceChannel);
    m_controls.get<QLineEdit>(Control::ReferenceWidth)
        ->setText(QString::number(m_settings.referenceWidth));
    expanded->setChecked(m_settings.expandedResult != 0);
    autoShift->setChecked(m_settings.autoShiftWindows != 0);
    cursorLocked->setChecked(true);
    applyEnablingRule();
}

void CountWindowParametersWindow::command(int id) {
    switch (id) {
    case kRefreshCommand:
        takeCursor();
        break;
    case static_cast<int>(Control::Update):
        takeLimits();
        m_main.repaintPlot();
        break;
    case static_cast<int>(Control::FindReference):
        findReference();
        break;
    case static_cast<int>(Control::Ok):
        store();
        closeAndRepaint();
        break;
    case static_cast<int>(Control::Cancel):
        reject();
        break;
    default:
        break;
    }
}

void CountWindowParametersWindow::reject() {
    m_settings.windowLower = m_openedLower;
    m_settings.windowUpper = m_openedUpper;
    m_settings.referenceChannel = m_openedReference;
    closeAndRepaint();
}

void CountWindowParametersWindow::closeAndRepaint() {
    // Hidden first, so the repaint no longer finds the bands.
    ToolWindow::reject();
    m_main.repaintPlot();
}

void CountWindowParametersWindow::fillLimits() {
    for (std::size_t k = 0; k < kCountWindows; ++k) {
        showChannel(*m_controls.get<QLineEdit>(offset(Control::LowerLimit1, k)),
                    m_settings.windowLower[k]);
        showChannel(*m_controls.get<QLineEdit>(offset(Control::UpperLimit1, k)),
                    m_settings.windowUpper[k]);
    }
}

void CountWindowParametersWindow::applyEnablingRule() {
    const bool shift = m_controls.get<QCheckBox>(Control::AutoShift)->isChecked();
    m_controls.find(Control::ReferenceChannel)->setEnabled(shift);
    m_controls.find(Control::ReferenceWidth)->setEnabled(shift);
}

void CountWindowParametersWindow::takeReference() {
    m_settings.referenceChannel = channelIn(*m_controls.get<QLineEdit>(Control::ReferenceChannel));
    m_settings.referenceWidth = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::ReferenceWidth)));
}

void CountWindowParametersWindow::takeLimits() {
    for (std::size_t k = 0; k < kCountWindows; ++k) {
        m_settings.windowLower[k] =
            channelIn(*m_controls.get<QLineEdit>(offset(Control::LowerLimit1, k)));
        m_settings.windowUpper[k] =
            channelIn(*m_controls.get<QLineEdit>(offset(Control::UpperLimit1, k)));
    }
    takeReference();
}

void CountWindowParametersWindow::findReference() {
    const Histogram* current = m_main.state().list.currentHistogram();
    if (current == nullptr) {
        return;
    }
    takeReference();
    findReferencePeak(*current, m_settings);
    showChannel(*m_controls.get<QLineEdit>(Control::ReferenceChannel), m_settings.referenceChannel);
    m_main.repaintPlot();
}

void CountWindowParametersWindow::takeCursor() {
    const AppState& state = m_main.state();
    if (m_controls.get<QCheckBox>(Control::CursorLocked)->isChecked() || state.list.empty()) {
        return;
    }
    const std::int32_t channel = cursorChannel(state.plotView, state.config.plot);
    std::size_t window = 0;
    while (window + 1 < kCountWindows &&
           !m_controls.get<QRadioButton>(offset(Control::Window1, window))->isChecked()) {
        ++window;
    }
    const bool upper = m_controls.get<QRadioButton>(Control::Upper)->isChecked();
    (upper ? m_settings.windowUpper : m_settings.windowLower)[window] = channel;
    for (std::size_t k = 0; k < kCountWindows; ++k) {
        if (m_settings.windowLower[k] > m_settings.windowUpper[k]) {
            std::swap(m_settings.windowLower[k], m_settings.windowUpper[k]);
        }
    }
    fillLimits();
    m_main.repaintPlot();
}

void CountWindowParametersWindow::store() {
    takeLimits();
    for (std::size_t k = 0; k < m_settings.countCoefficients.size(); ++k) {
        getDialogDouble(*m_controls.get<QLineEdit>(offset(Control::P0, k)),
                        m_settings.countCoefficients[k]);
    }
    for (std::size_t k = 0; k < m_settings.calibrationCoefficients.size(); ++k) {
        getDialogDouble(*m_controls.get<QLineEdit>(offset(Control::K0, k)),
                        m_settings.calibrationCoefficients[k]);
    }
    m_settings.expandedResult =
        m_controls.get<QCheckBox>(Control::ExpandedResult)->isChecked() ? 1 : 0;
    m_settings.autoShiftWindows =
        m_controls.get<QCheckBox>(Control::AutoShift)->isChecked() ? 1 : 0;
}

} // namespace kv
