#include "acquisition/ui/access_dialog.h"

#include "acquisition/ui/run_dialog_parts.h"

#include <QFormLayout>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr const char* kAccessCode = "QXZ";

} // namespace

AccessDialog::AccessDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Start measurements"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    auto* code = m_controls.add(Control::Code, new QLineEdit(this));
    fields->addRow(QStringLiteral("Name:"), code);
    layout->addLayout(fields);
    addButtonRow(*this, *layout, m_controls, {{Control::Ok, "OK"}, {Control::Cancel, "Cancel"}},
                 [this](Control id) { command(id); });
    m_controls.get<QPushButton>(Control::Ok)->setDefault(true);
}

void AccessDialog::command(Control id) {
    if (id == Control::Ok) {
        m_granted = m_controls.get<QLineEdit>(Control::Code)->text() == QLatin1String(kAccessCode);
        accept();
    } else if (id == Control::Cancel) {
        reject();
    }
}

} // namespace kv
