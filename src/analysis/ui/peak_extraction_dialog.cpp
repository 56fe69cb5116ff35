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
    : QDialog(parent), m_settings(settings), m_ui(ui) {
    setWindowTitle(qs("Выделение пиков"));
    const auto onClick = [this](Control id) { command(id); };
    auto* grid = new QGridLayout(this);
    m_rejectRadius = m_controls.add(Control::RejectRadius, upDownField(this));
    m_controls.add(Control::RejectRadiusUpDown, m_rejectRadius);
    m_smoothRadius = m_controls.add(Control::SmoothRadius, upDownField(this));
    m_controls.add(Control::SmoothRadiusUpDown, m_smoothRadius);
    grid->addWidget(new QLabel(qs("Режекция пиков")), 0, 0);
    grid->addWidget(m_rejectRadius, 0, 1);
    grid->addWidget(new QLabel(qs("Сглаживание")), 1, 0);
    grid->addWidget(m_smoothRadius, 1, 1);
    grid->addLayout(okCancelHelpRow(m_controls, this, onClick, "Отмена"), 2, 0, 1, 2);

    m_rejectRadius->setValue(settings.rejectRadius);
    m_smoothRadius->setValue(settings.continuumSmoothRadius);
}

void PeakExtractionDialog::command(Control id) {
    switch (id) {
    case Control::Ok:
        m_settings.rejectRadius = m_rejectRadius->value();
        m_settings.continuumSmoothRadius = m_smoothRadius->value();
        accept();
        break;
    case Control::Cancel:
        reject();
        break;
    case Control::Help:
        m_ui.showHelp(kHelpContext);
        break;
    default:
        break;
    }
}

} // namespace kv
