#include "acquisition/ui/xray_dialogs.h"

#include "gui/dialog_fields.h"
#include "model/cp1251.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include <utility>

namespace kv {

XrayDialog::XrayDialog(AnalyserSettings& analyser, SeriesSettings& series, UiServices& ui,
                       std::function<void()> showReport, Launch launch, QWidget* parent)
    : XrayRunDialog(analyser, series, ui, std::move(showReport), parent),
      m_launch(std::move(launch)) {
    setWindowTitle(qs("Рентгеновские измерения"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    addNameFields(*this, *fields, m_controls, Control::Name, Control::Comment);
    auto* exposure = m_controls.add(Control::Exposure, new QLineEdit(this));
    auto* threshold = m_controls.add(Control::Threshold, new QLineEdit(this));
    fields->addRow(qs("Экспозиция (с)"), exposure);
    fields->addRow(qs("Порог:"), threshold);
    layout->addLayout(fields);
    auto* autoSave = m_controls.add(Control::AutoSave,
                                    new QCheckBox(qs("Автоматически сохранять измерение"), this));
    layout->addWidget(autoSave);
    addOkCancelRow(*layout);

    m_controls.get<QLineEdit>(Control::Name)
        ->setText(QString::fromStdString(utf8FromCp1251(analyser.lastName)));
    setDialogDouble(*exposure, "%g", series.xrayExposure);
    setDialogUnsigned(*threshold, static_cast<std::uint32_t>(analyser.threshold));
    autoSave->setChecked(analyser.autoSave != 0);
}

void XrayDialog::storeFields() {
    m_analyser.threshold = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::Threshold)));
    m_analyser.autoSave = m_controls.get<QCheckBox>(Control::AutoSave)->isChecked() ? 1 : 0;
    getDialogDouble(*m_controls.get<QLineEdit>(Control::Exposure), m_series.xrayExposure);
}

StartOutcome XrayDialog::launchRun() {
    return m_launch(cp1251Text(*m_controls.get<QLineEdit>(Control::Name)),
                    cp1251Text(*m_controls.get<QLineEdit>(Control::Comment)));
}

XraySeriesDialog::XraySeriesDialog(AnalyserSettings& analyser, SeriesSettings& series,
                                   UiServices& ui, std::function<void()> showReport, Launch launch,
                                   QWidget* parent)
    : XrayRunDialog(analyser, series, ui, std::move(showReport), parent),
      m_launch(std::move(launch)) {
    setWindowTitle(qs("Серия рентгеновских измерений"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    auto* exposure = m_controls.add(Control::Exposure, new QLineEdit(this));
    auto* interval = m_controls.add(Control::Interval, new QLineEdit(this));
    auto* maxCount = m_controls.add(Control::MaxCount, new QLineEdit(this));
    auto* threshold = m_controls.add(Control::Threshold, new QLineEdit(this));
    fields->addRow(qs("Экспозиция(с)"), exposure);
    fields->addRow(qs("Интервал между измерениями (с)"), interval);
    fields->addRow(qs("Максимальное число измерений"), maxCount);
    fields->addRow(qs("Порог:"), threshold);
    layout->addLayout(fields);
    addOkCancelRow(*layout);

    setDialogDouble(*exposure, "%g", series.xrayExposure);
    setDialogDouble(*interval, "%g", series.seriesInterval);
    setDialogUnsigned(*maxCount, static_cast<std::uint32_t>(series.seriesMaxCount));
    setDialogUnsigned(*threshold, static_cast<std::uint32_t>(analyser.threshold));
}

void XraySeriesDialog::storeFields() {
    getDialogDouble(*m_controls.get<QLineEdit>(Control::Exposure), m_series.xrayExposure);
    getDialogDouble(*m_controls.get<QLineEdit>(Control::Interval), m_series.seriesInterval);
    m_series.seriesMaxCount =
        static_cast<std::int32_t>(getDialogUnsigned(*m_controls.get<QLineEdit>(Control::MaxCount)));
    m_analyser.threshold = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::Threshold)));
}

} // namespace kv
