#pragma once

// The main window's commands in one table: where each one appears (menu and item text, toolbar
// button with its image and tooltip, shortcut), whether it needs histograms and what the main
// window brings up to date after it. The menus, the toolbar and the dispatcher read it; a new
// window is one row here and one handler in the dispatcher.

#include "gui/command.h"
#include "gui/toolbar_icons.h"
#include "platform/string_id.h"

#include <QKeySequence>

#include <optional>
#include <span>
#include <string_view>

namespace kv {

// The menus of the menu bar, left to right; None for commands without a menu item.
enum class MainMenu { None, File, Histogram, Graphics, Analysis, Measurement, Window, Help };

// The menu's title in the menu bar; empty for MainMenu::None.
std::string_view menuTitle(MainMenu menu);

// What the main window brings up to date after a command. List means the list may have
// changed: the list pane is rebuilt and the open tool windows are told.
enum class Refresh : unsigned { Nothing = 0, Plot = 1, List = 2, Title = 4, All = 7 };

constexpr Refresh operator|(Refresh a, Refresh b) {
    return static_cast<Refresh>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

constexpr bool includes(Refresh set, Refresh part) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(part)) != 0;
}

struct ToolbarButton {
    ToolbarImage image;
    bool check; // stays pressed until clicked again
    StringId tooltip;
};

// A menu item's key works while the main window is active; the key of a command without a menu
// item works whichever window has the focus (the arrow keys step the plot cursor from anywhere).
struct Shortcut {
    QKeySequence::StandardKey standard = QKeySequence::UnknownKey;
    // Where not every desktop's key theme has a standard key.
    std::optional<QKeyCombination> keys;

    QKeySequence sequence() const;
};

struct CommandInfo {
    Command command;
    MainMenu menu = MainMenu::None;
    std::string_view text;        // the menu item's text
    bool separatorBefore = false; // a separator line above the menu item
    std::optional<ToolbarButton> button;
    bool needsHistograms = false; // the command does nothing while the list is empty
    Refresh refresh = Refresh::Nothing;
    Shortcut shortcut;
};

// Every command: the menu items in menu order, then the commands without one.
std::span<const CommandInfo> commandTable();

// The row of a command; null for a number the table does not hold.
const CommandInfo* findCommand(Command command);

} // namespace kv
