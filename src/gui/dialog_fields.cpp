#include "gui/dialog_fields.h"

#include "display/cursor.h"
#include "gui/app_state.h"
#include "model/number_text.h"

#include <QLineEdit>

#include <charconv>
#include <string>

namespace kv {

void setDialogDouble(QLineEdit& field, const char* format, double value) {
    field.setText(QString::fromStdString(fieldTextFromNumber(format, value)));
}

void getDialogDouble(const QLineEdit& field, double& target) {
    if (const auto value = numberFromFieldText(field.text().toStdString()))
        target = *value;
}

std::uint32_t getDialogUnsigned(const QLineEdit& field) {
    const std::string text = field.text().trimmed().toStdString();
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

void setDialogUnsigned(QLineEdit& field, std::uint32_t value) {
    field.setText(QString::number(value));
}

double showCursorPosition(const AppState& state, QLineEdit& channel, QLineEdit& energy) {
    const double x = cursorPosition(state.plotView, state.config.plot);
    setDialogDouble(channel, "%0.2f", x + 1.0);
    setDialogDouble(energy, "%0.2f",
                    state.config.energyCalibration.channelToEnergy(x, state.list.channelCount()));
    return x;
}

} // namespace kv
