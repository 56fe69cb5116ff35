#include "analysis/ui/dialog_controls.h"

#include <QSpinBox>

namespace kv {

QSpinBox* upDownField(QWidget* parent) {
    auto* field = new QSpinBox(parent);
    field->setRange(0, kMaxUpDownPosition);
    return field;
}

bool isChecked(const QWidget* button) {
    return static_cast<const QAbstractButton*>(button)->isChecked();
}

void setChecked(QWidget* button, bool checked) {
    static_cast<QAbstractButton*>(button)->setChecked(checked);
}

} // namespace kv
