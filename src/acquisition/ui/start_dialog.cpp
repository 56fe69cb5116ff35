#include "acquisition/ui/start_dialog.h"

#include "acquisition/ui/run_dialog_parts.h"
#include "gui/dialog_fields.h"
#include "model/cp1251.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace kv {

namespace {

constexpr int kHelpContext = 20;

} // namespace

StartDialog::StartDialog(const AnalyserSettings& analyser, UiServices& ui, Launch launch,
                         QWidget* parent)
    : QDialog(parent), m_analyser(analyser), m_ui(ui), m_launch(std::move(launch)) {
    setWindowTitle(qs("Старт"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    addNameFields(*this, *fields, m_controls, Control::Name, Control::Comment);
    auto* exposure = m_controls.add(Control::Exposure, new QLineEdit(this));
    auto* threshold = m_controls.add(Control::Threshold, new QLineEdit(this));
    fields->addRow(qs("Время измерения, сек:"), exposure);
    fields->addRow(qs("Порог:"), threshold);
    layout->addLayout(fields);
    auto* autoSave = m_controls.add(
        Control::AutoSave, new QCheckBox(qs("Автоматически сохранять результат измерения"), this));
    layout->addWidget(autoSave);

    addButtonRow(
        *this, *layout, m_controls,
        {{Control::Start, "Пуск"}, {Control::Cancel, "Отменить"}, {Control::Help, "Помощь"}},
        [this](Control id) { command(id); });
    m_controls.get<QPushButton>(Control::Start)->setDefault(true);

    m_controls.get<QLineEdit>(Control::Name)
        ->setText(QString::fromStdString(utf8FromCp1251(analyser.lastName)));
    setDialogDouble(*exposure, "%0.0f", analyser.lastExposure);
    setDialogUnsigned(*threshold, static_cast<std::uint32_t>(analyser.threshold));
    autoSave->setChecked(analyser.autoSave != 0);
}

void StartDialog::command(Control id) {
    if (id == Control::Start) {
        start();
        return;
    }
    closeOrHelp(*this, static_cast<int>(id), m_ui, kHelpContext);
}

void StartDialog::start() {
    if (refusedStackMemory(m_analyser, m_ui)) {
        return;
    }
    MeasurementStart values;
    values.name = cp1251Text(*m_controls.get<QLineEdit>(Control::Name));
    values.comment = cp1251Text(*m_controls.get<QLineEdit>(Control::Comment));
    getDialogDouble(*m_controls.get<QLineEdit>(Control::Exposure), values.exposureSeconds);
    values.threshold = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::Threshold)));
    values.autoSave = m_controls.get<QCheckBox>(Control::AutoSave)->isChecked();
    if (!reportedStartFailure(m_ui, m_launch(values))) {
        accept();
    }
}

} // namespace kv
