#include "gui/dialog_fields.h"

#include "model/number_text.h"

#include <QLineEdit>

namespace kv {

void setDialogDouble(QLineEdit& field, const char* format, double value) {
    field.setText(QString::fromStdString(fieldTextFromNumber(format, value)));
}

void getDialogDouble(const QLineEdit& field, double& target) {
    if (const auto value = numberFromFieldText(field.text().toStdString()))
        target = *value;
}

} // namespace kv
