#include "analysis/ui/search_settings_dialog.h"

#include "gui/dialog_fields.h"
#include "model/strings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int kHelpContext = 15;
constexpr const char* kTwoDecimals = "%0.2f";
constexpr const char* kThresholdFormat = "%0.5f";

using P = SearchSettingsDialog::PeaksControl;
using I = SearchSettingsDialog::IsotopesControl;

// A label and a spin box registered under both its field's and its up-down control's id, in one
// row of a grid at column pair column.
template <class Control>
QSpinBox* addUpDown(QGridLayout* grid, int row, int column, const char* label,
                    ControlMap<Control>& controls, Control field, Control upDown,
                    std::int32_t value) {
    auto* spin = controls.add(field, upDownField(grid->parentWidget()));
    controls.add(upDown, spin);
    spin->setValue(value);
    grid->addWidget(new QLabel(qs(label)), row, column);
    grid->addWidget(spin, row, column + 1);
    return spin;
}

template <class Control>
QLineEdit* addNumberField(QGridLayout* grid, int row, int column, const char* label,
                          ControlMap<Control>& controls, Control id, const char* format,
                          double value) {
    auto* field = controls.add(id, new QLineEdit(grid->parentWidget()));
    setDialogDouble(*field, format, value);
    grid->addWidget(new QLabel(qs(label)), row, column);
    grid->addWidget(field, row, column + 1);
    return field;
}

QLineEdit* lineEdit(QWidget* control) {
    return static_cast<QLineEdit*>(control);
}

QSpinBox* spinBox(QWidget* control) {
    return static_cast<QSpinBox*>(control);
}

} // namespace

SearchSettingsDialog::SearchSettingsDialog(AppConfig& config, bool& refineAreas, UiServices& ui,
                                           QWidget* parent)
    : ControlDialog(ui, kHelpContext, parent), m_config(config), m_refineAreas(refineAreas) {
    setWindowTitle(qs("Параметры поиска"));
    auto* layout = new QVBoxLayout(this);
    m_tabs = add(Control::Tabs, new QTabWidget(this));
    m_tabs->addTab(buildPeaksPage(), QString::fromUtf8(text(StringId::TabPeaks)));
    m_tabs->addTab(buildPlotsPage(), QString::fromUtf8(text(StringId::TabPlots)));
    m_tabs->addTab(buildIsotopesPage(), QString::fromUtf8(text(StringId::TabIsotopes)));
    m_tabs->addTab(buildCalibrationsPage(), QString::fromUtf8(text(StringId::TabCalibrations)));
    layout->addWidget(m_tabs);
    layout->addLayout(okCancelHelpRow("Отменить"));

    // A stored tab that does not exist leaves the first one shown.
    m_tabs->setCurrentIndex(config.lineSearch.searchTab);
    connect(m_tabs, &QTabWidget::currentChanged, this,
            [this](int index) { m_config.lineSearch.searchTab = index; });
    applyEnabling();
}

QWidget* SearchSettingsDialog::buildPeaksPage() {
    const LineSearchSettings& s = m_config.lineSearch;
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    auto* remove = m_peaks.add(P::RemoveContinuum, new QCheckBox(qs("Удалять континуум")));
    remove->setChecked(s.removeContinuum != 0);
    connect(remove, &QCheckBox::clicked, this, [this] { applyEnabling(); });
    grid->addWidget(remove, 0, 0, 1, 2);
    addUpDown(grid, 1, 0, "Радиус модальный:", m_peaks, P::RejectRadius, P::RejectRadiusUpDown,
              s.rejectRadius);
    addUpDown(grid, 2, 0, "Радиус:", m_peaks, P::ContinuumSmoothRadius,
              P::ContinuumSmoothRadiusUpDown, s.continuumSmoothRadius);
    addNumberField(grid, 3, 0, "Множитель:", m_peaks, P::LevelFactor, kTwoDecimals, s.levelFactor);
    addNumberField(grid, 4, 0, "Макс. ширина:", m_peaks, P::MaxPeakWidth, kTwoDecimals,
                   s.maxPeakWidth);

    constexpr std::array<const char*, kLineSearchRadii> kLabels{
        "Радиус 1 (мод): ", "Радиус 2 (прям):", "Радиус 3 (макс):", "Радиус 4 (проб):",
        "Радиус 5 (ориг):"};
    for (int k = 0; k < kLineSearchRadii; ++k) {
        const auto field = static_cast<P>(static_cast<int>(P::Radius1) + 2 * k);
        const auto upDown = static_cast<P>(static_cast<int>(P::Radius1UpDown) + 2 * k);
        m_searchRadii[static_cast<std::size_t>(k)] =
            addUpDown(grid, k, 2, kLabels[static_cast<std::size_t>(k)], m_peaks, field, upDown,
                      s.searchRadii[static_cast<std::size_t>(k)]);
    }
    auto* refine = m_peaks.add(P::RefineAreas, new QCheckBox(qs("Уточнять площади")));
    refine->setChecked(m_refineAreas);
    grid->addWidget(refine, kLineSearchRadii, 0, 1, 2);
    return page;
}

QWidget* SearchSettingsDialog::buildPlotsPage() {
    const LineSearchSettings& s = m_config.lineSearch;
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    for (const auto& [id, label, on] :
         {std::tuple(PlotsControl::Original, "Оригинал", s.showOriginal),
          std::tuple(PlotsControl::Level, "Уровень", s.showLevel),
          std::tuple(PlotsControl::Result, "Результат", s.showResult)}) {
        auto* box = m_plots.add(id, new QCheckBox(qs(label)));
        box->setChecked(on != 0);
        column->addWidget(box);
    }
    column->addStretch();
    return page;
}

QWidget* SearchSettingsDialog::buildIsotopesPage() {
    const IdentificationSettings& s = m_config.identification;
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    addNumberField(grid, 0, 0, "Допуск на поиск линий, кэВ", m_isotopes, I::LineTolerance,
                   kTwoDecimals, s.lineTolerance);
    addNumberField(grid, 1, 0, "Порог учета линий", m_isotopes, I::LineThreshold, kThresholdFormat,
                   s.lineThreshold);
    auto* check =
        m_isotopes.add(I::CheckLines, new QCheckBox(qs("Проверка наличия линий изотопа")));
    check->setChecked(s.checkLines != 0);
    connect(check, &QCheckBox::clicked, this, [this] { applyEnabling(); });
    grid->addWidget(check, 2, 0, 1, 2);

    auto* range = new QHBoxLayout;
    for (const auto& [id, label, value] : {std::tuple(I::EnergyFrom, "от:", s.energyFrom),
                                           std::tuple(I::EnergyTo, "до:", s.energyTo)}) {
        auto* field = m_isotopes.add(id, new QLineEdit(page));
        setDialogDouble(*field, kTwoDecimals, value);
        range->addWidget(new QLabel(qs(label)));
        range->addWidget(field);
    }
    grid->addLayout(range, 3, 0, 1, 2);
    addUpDown(grid, 4, 0, "Число линий для идентификации", m_isotopes, I::LinesNeeded,
              I::LinesNeededUpDown, s.linesNeeded);
    grid->setRowStretch(5, 1);
    return page;
}

QWidget* SearchSettingsDialog::buildCalibrationsPage() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    auto* fromFile = m_calibrations.add(CalibrationsControl::FromDataFile,
                                        new QRadioButton(qs("Восстанавливать из файла данных")));
    auto* fromConfiguration =
        m_calibrations.add(CalibrationsControl::FromConfiguration,
                           new QRadioButton(qs("Восстанавливать из файла конфигурации")));
    (m_config.restoreFromDataFile == 1 ? fromFile : fromConfiguration)->setChecked(true);
    column->addWidget(fromFile);
    column->addWidget(fromConfiguration);
    column->addStretch();
    return page;
}

QWidget* SearchSettingsDialog::page(Page page) const {
    return m_tabs->widget(static_cast<int>(page));
}

void SearchSettingsDialog::applyEnabling() {
    // The continuum's radii count only when the continuum is removed; the check's range and
    // line count only when lines are checked.
    const bool remove = isChecked(control(P::RemoveContinuum));
    control(P::RejectRadius)->setEnabled(remove);
    control(P::ContinuumSmoothRadius)->setEnabled(remove);
    const bool check = isChecked(control(I::CheckLines));
    for (const I id : {I::EnergyFrom, I::EnergyTo, I::LinesNeeded}) {
        control(id)->setEnabled(check);
    }
}

bool SearchSettingsDialog::store() {
    LineSearchSettings& s = m_config.lineSearch;
    s.removeContinuum = isChecked(control(P::RemoveContinuum)) ? 1 : 0;
    if (s.removeContinuum != 0) {
        s.rejectRadius = spinBox(control(P::RejectRadius))->value();
        s.continuumSmoothRadius = spinBox(control(P::ContinuumSmoothRadius))->value();
    }
    for (std::size_t k = 0; k < m_searchRadii.size(); ++k) {
        s.searchRadii[k] = m_searchRadii[k]->value();
    }
    getDialogDouble(*lineEdit(control(P::LevelFactor)), s.levelFactor);
    getDialogDouble(*lineEdit(control(P::MaxPeakWidth)), s.maxPeakWidth);

    s.showOriginal = isChecked(control(PlotsControl::Original)) ? 1 : 0;
    s.showLevel = isChecked(control(PlotsControl::Level)) ? 1 : 0;
    s.showResult = isChecked(control(PlotsControl::Result)) ? 1 : 0;

    IdentificationSettings& id = m_config.identification;
    getDialogDouble(*lineEdit(control(I::LineTolerance)), id.lineTolerance);
    getDialogDouble(*lineEdit(control(I::LineThreshold)), id.lineThreshold);
    id.checkLines = isChecked(control(I::CheckLines)) ? 1 : 0;
    id.linesNeeded = spinBox(control(I::LinesNeeded))->value();
    getDialogDouble(*lineEdit(control(I::EnergyFrom)), id.energyFrom);
    getDialogDouble(*lineEdit(control(I::EnergyTo)), id.energyTo);

    m_config.restoreFromDataFile = isChecked(control(CalibrationsControl::FromDataFile)) ? 1 : 0;
    m_refineAreas = isChecked(control(P::RefineAreas));
    return true;
}

} // namespace kv
