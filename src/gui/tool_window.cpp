#include "gui/tool_window.h"

#include <cstddef>

namespace kv {

ToolWindow::ToolWindow(QWidget* parent) : QDialog(parent) {
    // A closed tool window is gone: opening it again builds it afresh from the program's state.
    setAttribute(Qt::WA_DeleteOnClose);
}

std::optional<int> ToolWindow::commandOn(Notification notification) const {
    return m_commands[static_cast<std::size_t>(notification)];
}

void ToolWindow::follow(Notification notification, int command) {
    m_commands[static_cast<std::size_t>(notification)] = command;
}

} // namespace kv
