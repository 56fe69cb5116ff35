#include "acquisition/ui/cyclic_dialog.h"

#include "acquisition/ui/autosave_options_dialog.h"
#include "acquisition/ui/run_dialog_parts.h"
#include "gui/dialog_fields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kv {

CyclicDialog::CyclicDialog(AppConfig& config, DocumentState& document, UiServices& ui,
                           Launch launch, QWidget* parent)
    : QDialog(parent), m_config(config), m_document(document), m_ui(ui),
      m_launch(std::move(launch)) {
    setWindowTitle(qs("Циклическое измерение"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    addNameFields(*this, *fields, m_controls, Control::Name, Control::Comment);
    auto* threshold = m_controls.add(Control::Threshold, new QLineEdit(this));
    auto* port = m_controls.add(Control::Port, new QComboBox(this));
    auto* cycles = m_controls.add(Control::CycleCount, new QLineEdit(this));
    port->addItems({qs("LPT1"), qs("LPT2"), qs("LPT3")});
    auto* level = new QHBoxLayout;
    for (const auto& [id, label] : {std::pair{Control::StartOnLow, "низкому уровеню"},
                                    std::pair{Control::StartOnHigh, "высокому уровеню"}}) {
        level->addWidget(m_controls.add(id, new QRadioButton(qs(label), this)));
    }
    fields->addRow(qs("Порог:"), threshold);
    fields->addRow(qs("Порт:"), port);
    fields->addRow(qs("Старт по :"), level);
    fields->addRow(qs("Количество циклов:"), cycles);
    layout->addLayout(fields);
    auto* options =
        m_controls.add(Control::AutoSaveOptions,
                       new QPushButton(qs("Автоматически сохранять результат измерения"), this));
    options->setAutoDefault(false);
    connect(options, &QPushButton::clicked, this, [this] { command(Control::AutoSaveOptions); });
    layout->addWidget(options);
    addButtonRow(*this, *layout, m_controls,
                 {{Control::Start, "Пуск"}, {Control::Cancel, "Отменить"}},
                 [this](Control id) { command(id); });
    m_controls.get<QPushButton>(Control::Start)->setDefault(true);

    const SeriesSettings& series = config.series;
    m_controls.get<QLineEdit>(Control::Name)
        ->setText(QString::fromStdString(utf8FromCp1251(config.analyser.lastName)));
    setDialogUnsigned(*threshold, static_cast<std::uint32_t>(config.analyser.threshold));
    // A stored port the list does not have (a damaged file) shows no entry.
    port->setCurrentIndex(
        series.triggerPort >= 0 && series.triggerPort < port->count() ? series.triggerPort : -1);
    setDialogUnsigned(*cycles, static_cast<std::uint32_t>(series.cycleCount));
    m_controls
        .get<QRadioButton>(series.startOnHighLevel != 0 ? Control::StartOnHigh
                                                        : Control::StartOnLow)
        ->setChecked(true);
}

void CyclicDialog::command(Control id) {
    switch (id) {
    case Control::Start:
        start();
        break;
    case Control::AutoSaveOptions: {
        AutoSaveOptionsDialog options(m_config, m_document, m_ui, this);
        options.exec();
        break;
    }
    case Control::Cancel:
        reject();
        break;
    default:
        break;
    }
}

void CyclicDialog::start() {
    if (refusedStackMemory(m_config.analyser, m_ui)) {
        return;
    }
    SeriesSettings& series = m_config.series;
    series.triggerPort = std::max(0, m_controls.get<QComboBox>(Control::Port)->currentIndex());
    series.cycleCount = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::CycleCount)));
    series.startOnHighLevel =
        m_controls.get<QRadioButton>(Control::StartOnHigh)->isChecked() ? 1 : 0;
    m_config.analyser.threshold = static_cast<std::int32_t>(
        getDialogUnsigned(*m_controls.get<QLineEdit>(Control::Threshold)));
    const StartOutcome outcome = m_launch(cp1251Text(*m_controls.get<QLineEdit>(Control::Name)),
                                          cp1251Text(*m_controls.get<QLineEdit>(Control::Comment)));
    if (!reportedStartFailure(m_ui, outcome)) {
        accept();
    }
}

} // namespace kv
