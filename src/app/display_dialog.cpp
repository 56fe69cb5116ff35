#include "app/display_dialog.h"

#include "display/plot_view.h"
#include "gui/dialog_controls.h"
#include "gui/dialog_fields.h"
#include "model/energy_calibration.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>

namespace kv {

namespace {

// The help topic of this dialog.
constexpr int kHelpContext = 11;
// Channel fields count from 1; the up-down controls stop here.
constexpr int kMaxChannelPosition = 32767;
constexpr const char* kEnergyFormat = "%0.2f";

} // namespace

DisplayDialog::DisplayDialog(AppConfig& config, std::int32_t channelCount, UiServices& ui,
                             QWidget* parent)
    : QDialog(parent), m_config(config), m_channelCount(channelCount), m_ui(ui) {
    setWindowTitle(qs("Конфигурация изображения"));
    auto* grid = new QGridLayout(this);

    // Radio buttons are exclusive within their group box.
    auto* show = new QGroupBox(qs("Отобразить:"), this);
    auto* showLayout = new QVBoxLayout(show);
    showLayout->addWidget(addButton(Control::ShowMarked, new QRadioButton(qs("Отмеченные"))));
    showLayout->addWidget(addButton(Control::ShowSelected, new QRadioButton(qs("Выделенную"))));
    grid->addWidget(show, 0, 0);

    auto* x = new QGroupBox(qs("Масштаб по оси  Х:"), this);
    auto* xLayout = new QGridLayout(x);
    xLayout->addWidget(addButton(Control::Channels, new QRadioButton(qs("Каналы"))), 0, 0, 1, 4);
    m_firstChannel = new QSpinBox(x);
    m_lastChannel = new QSpinBox(x);
    xLayout->addWidget(new QLabel(qs("от:")), 1, 0);
    xLayout->addWidget(m_firstChannel, 1, 1);
    xLayout->addWidget(new QLabel(qs("до:")), 1, 2);
    xLayout->addWidget(m_lastChannel, 1, 3);
    xLayout->addWidget(addButton(Control::Energy, new QRadioButton(qs("Энергия, кэВ"))), 2, 0, 1,
                       4);
    m_firstEnergy = new QLineEdit(x);
    m_lastEnergy = new QLineEdit(x);
    xLayout->addWidget(new QLabel(qs("от:")), 3, 0);
    xLayout->addWidget(m_firstEnergy, 3, 1);
    xLayout->addWidget(new QLabel(qs("до:")), 3, 2);
    xLayout->addWidget(m_lastEnergy, 3, 3);
    xLayout->addWidget(addButton(Control::RoundRange, new QCheckBox(qs("Округлить"))), 4, 0, 1, 4);
    grid->addWidget(x, 1, 0);
    m_controls[Control::FirstChannel] = m_firstChannel;
    m_controls[Control::FirstChannelUpDown] = m_firstChannel;
    m_controls[Control::LastChannel] = m_lastChannel;
    m_controls[Control::LastChannelUpDown] = m_lastChannel;
    m_controls[Control::FirstEnergy] = m_firstEnergy;
    m_controls[Control::LastEnergy] = m_lastEnergy;

    auto* y = new QGroupBox(qs("Масштаб по оси  Y:"), this);
    auto* yLayout = new QVBoxLayout(y);
    yLayout->addWidget(addButton(Control::Counts, new QRadioButton(qs("Абсолютный"))));
    yLayout->addWidget(addButton(Control::Intensity, new QRadioButton(qs("Интенсивность"))));
    yLayout->addWidget(addButton(Control::Probability, new QRadioButton(qs("Вероятность"))));
    yLayout->addWidget(addButton(Control::LogScale, new QCheckBox(qs("Логарифмический"))));
    yLayout->addWidget(addButton(Control::FromZero, new QCheckBox(qs("От нуля"))));
    grid->addWidget(y, 0, 1, 2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton(Control::Ok, new QPushButton(qs("OK"))));
    buttons->addWidget(addButton(Control::Cancel, new QPushButton(qs("Отменить"))));
    buttons->addWidget(addButton(Control::Help, new QPushButton(qs("Помощь"))));
    grid->addLayout(buttons, 2, 0, 1, 2);
    static_cast<QPushButton*>(control(Control::Ok))->setDefault(true);

    static_cast<QAbstractButton*>(
        control(config.plot.showSelectedOnly ? Control::ShowSelected : Control::ShowMarked))
        ->setChecked(true);
    static_cast<QAbstractButton*>(
        control(config.plot.xAxisMode == 1 ? Control::Energy : Control::Channels))
        ->setChecked(true);
    const YAxisMode mode = yAxisMode(config.plot);
    static_cast<QAbstractButton*>(control(mode == YAxisMode::Probability ? Control::Probability
                                          : mode == YAxisMode::Intensity ? Control::Intensity
                                                                         : Control::Counts))
        ->setChecked(true);
    static_cast<QAbstractButton*>(control(Control::LogScale))
        ->setChecked(config.plot.logScale != 0);
    static_cast<QAbstractButton*>(control(Control::FromZero))
        ->setChecked(config.plot.fromZero != 0);
    static_cast<QAbstractButton*>(control(Control::RoundRange))
        ->setChecked(config.plot.roundRange != 0);

    for (QSpinBox* field : {m_firstChannel, m_lastChannel}) {
        field->setRange(0, kMaxChannelPosition);
    }
    m_firstChannel->setValue(config.plot.firstChannel + 1);
    m_lastChannel->setValue(config.plot.lastChannel + 1);
    const EnergyCalibration& calibration = config.energyCalibration;
    setDialogDouble(*m_firstEnergy, kEnergyFormat,
                    calibration.channelToEnergy(config.plot.firstChannel, channelCount));
    setDialogDouble(*m_lastEnergy, kEnergyFormat,
                    calibration.channelToEnergy(config.plot.lastChannel, channelCount));
    applyEnabling();
}

QAbstractButton* DisplayDialog::addButton(Control id, QAbstractButton* button) {
    m_controls[id] = button;
    connect(button, &QAbstractButton::clicked, this, [this, id] { command(id); });
    return button;
}

QWidget* DisplayDialog::control(Control id) const {
    return m_controls.at(id);
}

bool DisplayDialog::isChecked(Control id) const {
    return static_cast<const QAbstractButton*>(control(id))->isChecked();
}

void DisplayDialog::command(Control id) {
    switch (id) {
    case Control::Ok:
        store();
        accept();
        break;
    case Control::Cancel:
        reject();
        break;
    case Control::Help:
        m_ui.showHelp(kHelpContext);
        break;
    case Control::Channels:
    case Control::Energy:
        applyEnabling();
        break;
    default:
        break;
    }
}

void DisplayDialog::applyEnabling() {
    const bool channels = isChecked(Control::Channels);
    m_firstChannel->setEnabled(channels);
    m_lastChannel->setEnabled(channels);
    m_firstEnergy->setEnabled(!channels);
    m_lastEnergy->setEnabled(!channels);
}

std::int32_t DisplayDialog::channelOfEnergyField(Control id) const {
    // Text that is not a number, or a number out of range, reads as 0 keV.
    double energy = 0.0;
    getDialogDouble(*static_cast<const QLineEdit*>(control(id)), energy);
    const double channel =
        roundHalfDown(m_config.energyCalibration.energyToChannel(energy, m_channelCount).channel);
    // Anything outside the spectrum is handled by the range limits; held here so it converts.
    return static_cast<std::int32_t>(
        std::clamp(channel, -1.0, static_cast<double>(std::max(m_channelCount, 1))));
}

void DisplayDialog::store() {
    AppConfig& config = m_config;
    config.plot.showSelectedOnly = isChecked(Control::ShowSelected) ? 1 : 0;
    config.plot.roundRange = isChecked(Control::RoundRange) ? 1 : 0;
    config.plot.xAxisMode = isChecked(Control::Energy) ? 1 : 0;
    config.plot.yAxisMode = isChecked(Control::Probability) ? 2
                            : isChecked(Control::Intensity) ? 1
                                                            : 0;
    config.plot.logScale = isChecked(Control::LogScale) ? 1 : 0;
    config.plot.fromZero = isChecked(Control::FromZero) ? 1 : 0;
    if (config.plot.xAxisMode == 0) {
        config.plot.firstChannel = m_firstChannel->value() - 1;
        config.plot.lastChannel = m_lastChannel->value() - 1;
    } else {
        config.plot.firstChannel = channelOfEnergyField(Control::FirstEnergy);
        config.plot.lastChannel = channelOfEnergyField(Control::LastEnergy);
    }
    if (config.plot.lastChannel < 0) {
        config.plot.firstChannel = 0;
        config.plot.lastChannel = std::max(m_channelCount, 1) - 1;
    }
    clampVisibleRange(config.plot, m_channelCount);
}

} // namespace kv
