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
    : ControlDialog(ui, kHelpContext, parent), m_settings(settings) {
    // The first letter of the title is a Latin C, as the program has always shown it.
    setWindowTitle(qs("Cглаживание"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(add(Control::Heading, new QLabel(qs("Тип фильтра    Параметр фильтра"))), 0, 0,
                    1, 3);
    grid->addWidget(addButton(Control::Mean, new QRadioButton(qs("Прямоугольный"))), 1, 0);
    grid->addWidget(new QLabel(qs("Радиус:")), 1, 1);
    m_radius = add(Control::Radius, upDownField(this));
    add(Control::RadiusUpDown, m_radius);
    grid->addWidget(m_radius, 1, 2);
    grid->addWidget(addButton(Control::Gauss, new QRadioButton(qs("Гауссов"))), 2, 0);
    grid->addWidget(new QLabel(qs("Сигма:")), 2, 1);
    m_sigma = add(Control::Sigma, new QLineEdit(this));
    grid->addWidget(m_sigma, 2, 2);
    grid->addLayout(okCancelHelpRow("Отмена"), 3, 0, 1, 3);

    const bool gauss = settings.smoothKind == static_cast<std::int32_t>(FilterKind::Gauss);
    setChecked(control(gauss ? Control::Gauss : Control::Mean), true);
    m_radius->setValue(settings.smoothRadius);
    setDialogDouble(*m_sigma, kSigmaFormat, settings.smoothSigma);
    applyEnabling();
}

void SmoothingDialog::otherCommand(Control id) {
    if (id == Control::Mean || id == Control::Gauss) {
        applyEnabling();
    }
}

void SmoothingDialog::applyEnabling() {
    const bool gauss = isChecked(control(Control::Gauss));
    m_radius->setEnabled(!gauss);
    m_sigma->setEnabled(gauss);
}

bool SmoothingDialog::store() {
    const bool gauss = isChecked(control(Control::Gauss));
    m_settings.smoothKind = static_cast<std::int32_t>(gauss ? FilterKind::Gauss : FilterKind::Mean);
    m_settings.smoothRadius = m_radius->value();
    getDialogDouble(*m_sigma, m_settings.smoothSigma);
    m_settings.smoothDialogFlag = 0;
    return true;
}

} // namespace kv
