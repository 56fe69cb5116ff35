#pragma once

// What a tool window may ask of the main window: the program's state, the user-interface
// services, a repaint of the plot, a rebuilt list and any of the main window's commands. The
// main window implements it; tool windows take it when they are built.

#include "gui/app_state.h"
#include "gui/command.h"
#include "platform/ui_services.h"

namespace kv {

class MainWindowServices {
public:
    virtual ~MainWindowServices() = default;

    // The list, the configuration, the plot view and the window registry.
    virtual AppState& state() = 0;
    // Message boxes, file dialogs, the clipboard and help.
    virtual UiServices& ui() = 0;

    // Repaints the plot pane after a change it shows (an overlay, a limit, a setting).
    virtual void repaintPlot() = 0;
    // After a window changed the list: rebuilds the list pane, repaints the plot and tells the
    // open tool windows (Notification::ListChanged).
    virtual void refreshList() = 0;
    // Runs a command as its menu item does, with its refresh afterwards.
    virtual void runCommand(Command command) = 0;
};

} // namespace kv
