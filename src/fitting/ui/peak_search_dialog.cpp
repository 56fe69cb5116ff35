#include "fitting/ui/peak_search_dialog.h"

#include "gui/dialog_fields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <limits>
#include <utility>

namespace kv {

namespace {

constexpr int kHelpContext = 28;

} // namespace

PeakSearchDialog::PeakSearchDialog(PeakSearchSettings& settings, UiServices& ui, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_ui(ui) {
    using C = Control;
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [id, caption] :
         {std::pair(C::Range, "Range:"), std::pair(C::SigmaMax, "Sigma Max")}) {
        grid->addWidget(new QLabel(QString::fromUtf8(caption)), row, 0);
        grid->addWidget(m_controls.add(id, new QLineEdit(this)), row++, 1);
    }
    auto* buttons = new QHBoxLayout;
    for (const auto& [id, label] :
         {std::pair(C::Ok, "OK"), std::pair(C::Cancel, "Cancel"), std::pair(C::Help, "Help")}) {
        auto* button = m_controls.add(id, new QPushButton(QString::fromUtf8(label), this));
        connect(button, &QPushButton::clicked, this, [this, id = id] { command(id); });
        buttons->addWidget(button);
    }
    m_controls.get<QPushButton>(C::Ok)->setDefault(true);
    grid->addLayout(buttons, row, 0, 1, 2);

    setDialogUnsigned(*m_controls.get<QLineEdit>(C::Range),
                      static_cast<std::uint32_t>(std::max(settings.searchRange, 0)));
    setDialogDouble(*m_controls.get<QLineEdit>(C::SigmaMax), "%g", settings.searchSigmaMax);
}

void PeakSearchDialog::command(Control id) {
    if (id != Control::Ok) {
        closeOrHelp(*this, static_cast<int>(id), m_ui, kHelpContext);
        return;
    }
    // A range beyond the settings' type is held at its largest value rather than wrapped
    // into a negative one.
    const std::uint32_t range = getDialogUnsigned(*m_controls.get<QLineEdit>(Control::Range));
    m_settings.searchRange = static_cast<std::int32_t>(
        std::min<std::uint32_t>(range, std::numeric_limits<std::int32_t>::max()));
    getDialogDouble(*m_controls.get<QLineEdit>(Control::SigmaMax), m_settings.searchSigmaMax);
    accept();
}

void searchPeaksWithDialog(MainWindowServices& services, QWidget* parent) {
    AppState& state = services.state();
    if (state.list.empty()) {
        return;
    }
    PeakSearchDialog dialog(state.peakSearch, services.ui(), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (runPeakSearch(state.list, state.config.plot, state.peakSearch)) {
        services.refreshList();
    }
}

} // namespace kv
