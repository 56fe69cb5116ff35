#pragma once

// The main window's toolbar: 24 entries (buttons and separators) whose order the user can change
// in a customise dialog. The layout is kept in QSettings under "ToolBar"; the layout the program
// starts with is written under "ToolBarOld" at every start, and the customise dialog's reset
// goes back to it.

#include "gui/command.h"

#include <QDialog>
#include <QToolBar>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class QListWidget;
class QSettings;

namespace kv {

// The entries from left to right; an empty entry is a separator.
using ToolbarLayout = std::vector<std::optional<Command>>;

// The 24 entries in the program's own order.
const ToolbarLayout& defaultToolbarLayout();

// Stored form: one command number per entry, 0 for a separator.
QStringList storedToolbarLayout(const ToolbarLayout& layout);
// Nothing when the stored form names a command that is not a toolbar button, a button twice, or
// holds anything but numbers: a damaged or foreign value does not change the toolbar.
std::optional<ToolbarLayout> toolbarLayoutFromStored(const QStringList& stored);

inline constexpr std::string_view kToolbarKey = "ToolBar";
inline constexpr std::string_view kToolbarDefaultKey = "ToolBarOld";

class Toolbar : public QToolBar {
public:
    // settings: where the layout is kept (the program passes QSettings("Velmar", "Nuklidor")).
    // send: runs a button's command. Saves the default layout under "ToolBarOld", then shows
    // the one stored under "ToolBar" if there is a readable one.
    Toolbar(std::unique_ptr<QSettings> settings, const std::function<void(Command)>& send,
            QWidget* parent = nullptr);
    ~Toolbar() override;

    const ToolbarLayout& currentLayout() const { return m_layout; }
    void setCurrentLayout(const ToolbarLayout& layout);

    // The button of a command, whether it is shown or not; null for a command without one.
    QAction* button(Command command) const;
    // Sets a check button's pressed state without sending its command.
    void setChecked(Command command, bool pressed);
    bool isChecked(Command command) const;

    void saveLayout(std::string_view key);
    // False, leaving the layout as it is, when the value is missing or unreadable.
    bool restoreLayout(std::string_view key);

    // Runs the customise dialog; on closing it the layout is saved under "ToolBar".
    void customise();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::unique_ptr<QSettings> m_settings;
    std::map<Command, QAction*> m_buttons;
    ToolbarLayout m_layout;
};

// Two lists: the buttons the toolbar does not show (and a separator, always) and the toolbar's
// entries in order, with buttons to move entries between them and within the toolbar. Changes
// apply to the toolbar at once.
class ToolbarCustomiseDialog : public QDialog {
public:
    enum class Control { Available, Current, Add, Remove, MoveUp, MoveDown, Reset, Close };

    ToolbarCustomiseDialog(Toolbar& toolbar, QWidget* parent = nullptr);

    QWidget* control(Control id) const;
    void command(Control id);

private:
    void fillLists();
    void setLayoutAndSelect(const ToolbarLayout& layout, int currentRow);

    Toolbar& m_toolbar;
    std::map<Control, QWidget*> m_controls;
    QListWidget* m_available = nullptr;
    QListWidget* m_current = nullptr;
};

} // namespace kv
