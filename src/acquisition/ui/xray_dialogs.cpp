#include "acquisition/ui/xray_dialogs.h"

#include "acquisition/ui/run_dialog_parts.h"
#include "gui/dialog_fields.h"
#include "model/cp1251.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include <utility>

namespace kv {

XrayDialog::XrayDialog(AnalyserSettings& analyser, SeriesSettings& series, UiServices& ui,
                       std::function<void()> showReport, Launch launch, QWidget* parent)
    : QDialog(parent), m_analyser(analyser), m_series(series), m_ui(ui),
      m_showReport(std::move(showReport)), m_launch(std::move(launch)) {
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
    addButtonRow(*this, *layout, m_controls, {{Control::Ok, "OK"}, {Control::Cancel, "Отмена"}},
                 [this](Control id) { command(id); });
    m_controls.get<QPushButton>(Control::Ok)->setDefault(true);

    m_controls.get<QLineEdit>(Control::Name)
        ->setText(QString::fromStdString(utf8FromCp1251(analyser.lastName)));
    setDialogDouble(*exposure, "%g", series.xrayExposure);
    setDialogUnsigned(*threshold, static_cast<std::uint32_t>(analyser.threshold));
    autoSave->setChecked(analyser.autoSave != 0);
}

void XrayDialog::command(Control id) {
    if (id == Control::Ok) {
        start();
    } else if (id == Control::Cancel) {
        reject();
    }
}

void XrayDialog::start() {
    m_showReport();
    m_analyser.threshold = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::Threshold)));
    m_analyser.autoSave = m_controls.get<QCheckBox>(Control::AutoSave)->isChecked() ? 1 : 0;
    getDialogDouble(*m_controls.get<QLineEdit>(Control::Exposure), m_series.xrayExposure);
    if (refusedStackMemory(m_analyser, m_ui)) {
        return;
    }
    const StartOutcome outcome = m_launch(cp1251Text(*m_controls.get<QLineEdit>(Control::Name)),
                                          cp1251Text(*m_controls.get<QLineEdit>(Control::Comment)));
    if (!reportedStartFailure(m_ui, outcome)) {
        accept();
    }
}

XraySeriesDialog::XraySeriesDialog(AnalyserSettings& analyser, SeriesSettings& series,
                                   UiServices& ui, std::function<void()> showReport, Launch launch,
                                   QWidget* parent)
    : QDialog(parent), m_analyser(analyser), m_series(series), m_ui(ui),
      m_showReport(std::move(showReport)), m_launch(std::move(launch)) {
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
    addButtonRow(*this, *layout, m_controls, {{Control::Ok, "OK"}, {Control::Cancel, "Отмена"}},
                 [this](Control id) { command(id); });
    m_controls.get<QPushButton>(Control::Ok)->setDefault(true);

    setDialogDouble(*exposure, "%g", series.xrayExposure);
    setDialogDouble(*interval, "%g", series.seriesInterval);
    setDialogUnsigned(*maxCount, static_cast<std::uint32_t>(series.seriesMaxCount));
    setDialogUnsigned(*threshold, static_cast<std::uint32_t>(analyser.threshold));
}

void XraySeriesDialog::command(Control id) {
    if (id == Control::Ok) {
        start();
    } else if (id == Control::Cancel) {
        reject();
    }
}

void XraySeriesDialog::start() {
    m_showReport();
    getDialogDouble(*m_controls.get<QLineEdit>(Control::Exposure), m_series.xrayExposure);
    getDialogDouble(*m_controls.get<QLineEdit>(Control::Interval), m_series.seriesInterval);
    m_series.seriesMaxCount =
        static_cast<std::int32_t>(getDialogUnsigned(*m_controls.get<QLineEdit>(Control::MaxCount)));
    m_analyser.threshold = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::Threshold)));
    if (refusedStackMemory(m_analyser, m_ui)) {
        return;
    }
    if (!reportedStartFailure(m_ui, m_launch())) {
        accept();
    }
}

} // namespace kv
