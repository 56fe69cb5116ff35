#include "analysis/ui/peak_extraction_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

namespace kv {

namespace {

// The topic of the search settings, which describes the same two radii.
constexpr int kHelpContext = 15;

} // namespace

PeakExtractionDialog::PeakExtractionDialog(LineSearchSettings& settings, UiServices& ui,
                                           QWidget* parent)
    : ControlDialog(ui, kHelpContext, parent), m_settings(settings) {
    setWindowTitle(qs("Выделение пиков"));
    auto* grid = new QGridLayout(this);
    m_rejectRadius = add(Control::RejectRadius, upDownField(this));
    add(Control::RejectRadiusUpDown, m_rejectRadius);
    m_smoothRadius = add(Control::SmoothRadius, upDownField(this));
    add(Control::SmoothRadiusUpDown, m_smoothRadius);
    grid->addWidget(new QLabel(qs("Режекция пиков")), 0, 0);
    grid->addWidget(m_rejectRadius, 0, 1);
    grid->addWidget(new QLabel(qs("Сглаживание")), 1, 0);
    grid->addWidget(m_smoothRadius, 1, 1);
    grid->addLayout(okCancelHelpRow("Отмена"), 2, 0, 1, 2);

    m_rejectRadius->setValue(settings.rejectRadius);
    m_smoothRadius->setValue(settings.continuumSmoothRadius);
}

bool PeakExtractionDialog::store() {
    m_settings.rejectRadius = m_rejectRadius->value();
    m_settings.continuumSmoothRadius = m_smoothRadius->value();
    return true;
}

} // namespace kv
