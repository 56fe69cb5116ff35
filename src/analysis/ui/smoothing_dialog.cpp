#include "analysis/ui/smoothing_dialog.h"

#include "analysis/channel_filter.h"
#include "gui/dialog_fields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace kv {

namespace {

constexpr int kHelpContext = 13;
constexpr const char* kSigmaFormat = "%0.2f";

} // namespace

SmoothingDialog::SmoothingDialog(FilterSettings& settings, UiServices& ui, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_ui(ui) {
    // The first letter of the title is a Latin C, as the program has always shown it.
    setWindowTitle(qs("Cглаживание"));
    const auto onClick = [this](Control id) { command(id); };
    auto* grid = new QGridLayout(this);
    grid->addWidget(
        m_controls.add(Control::Heading, new QLabel(qs("Тип фильтра    Параметр фильтра"))), 0, 0,
        1, 3);

    grid->addWidget(
        m_controls.addButton(Control::Mean, new QRadioButton(qs("Прямоугольный")), this, onClick),
        1, 0);
    grid->addWidget(new QLabel(qs("Радиус:")), 1, 1);
    m_radius = m_controls.add(Control::Radius, upDownField(this));
    m_controls.add(Control::RadiusUpDown, m_radius);
    grid->addWidget(m_radius, 1, 2);

    grid->addWidget(
        m_controls.addButton(Control::Gauss, new QRadioButton(qs("Гауссов")), this, onClick), 2, 0);
    grid->addWidget(new QLabel(qs("Сигма:")), 2, 1);
    m_sigma = m_controls.add(Control::Sigma, new QLineEdit(this));
    grid->addWidget(m_sigma, 2, 2);

    grid->addLayout(okCancelHelpRow(m_controls, this, onClick, "Отмена"), 3, 0, 1, 3);

    const bool gauss = settings.smoothKind == static_cast<std::int32_t>(FilterKind::Gauss);
    setChecked(control(gauss ? Control::Gauss : Control::Mean), true);
    m_radius->setValue(settings.smoothRadius);
    setDialogDouble(*m_sigma, kSigmaFormat, settings.smoothSigma);
    applyEnabling();
}

void SmoothingDialog::command(Control id) {
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
    case Control::Mean:
    case Control::Gauss:
        applyEnabling();
        break;
    default:
        break;
    }
}

void SmoothingDialog::applyEnabling() {
    const bool gauss = isChecked(control(Control::Gauss));
    m_radius->setEnabled(!gauss);
    m_sigma->setEnabled(gauss);
}

void SmoothingDialog::store() {
    const bool gauss = isChecked(control(Control::Gauss));
    m_settings.smoothKind = static_cast<std::int32_t>(gauss ? FilterKind::Gauss : FilterKind::Mean);
    m_settings.smoothRadius = m_radius->value();
    getDialogDouble(*m_sigma, m_settings.smoothSigma);
    m_settings.smoothDialogFlag = 0;
}

} // namespace kv
