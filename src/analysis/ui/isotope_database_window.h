#pragma once

// The isotope database window ("База данных"): the isotopes of SPECTORS.DAT in the program
// directory, with their enabled marks; adding, editing (in the editor), deleting and switching
// marks. While it is open the plot shows the selected isotope's lines, and every lookup of
// found lines uses its table, unsaved edits included. Closing writes the table back when it
// changed.

#include "analysis/isotope_database.h"
#include "analysis/ui/dialog_controls.h"
#include "analysis/ui/isotope_lines_overlay.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

#include <cstddef>
#include <optional>
#include <string>

class QListWidget;

namespace kv {

// The path of the isotope database file in the program directory.
std::string databasePath(const AppState& state);

// The database that lookups of found lines read: the database window's table while that window
// is open, otherwise the file, loaded once for this use (a missing file gives an empty table).
class LookupDatabase {
public:
    explicit LookupDatabase(const AppState& state);

    const IsotopeDatabase& database() const { return m_open ? *m_open : m_loaded; }

private:
    const IsotopeDatabase* m_open = nullptr;
    IsotopeDatabase m_loaded;
};

class IsotopeDatabaseWindow : public ToolWindow {
public:
    enum class Control {
        Close = 2,
        Help = 9,
        List = 101,
        Add = 102,
        Delete = 103,
        Edit = 104,
        Mark = 107, // "Разрешить" or "Запретить", by the selected isotope's mark
    };

    // Loads the database file; one that is not read whole is said at once, since saving would
    // replace it with the isotopes read. Sets the plot's horizontal axis to energy, where it stays.
    IsotopeDatabaseWindow(MainWindowServices& services, QWidget* parent);

    void command(int id) override;
    QWidget* control(Control id) const { return m_controls[id]; }

    const IsotopeDatabase& database() const { return m_database; }
    // The selected isotope's index; 0 in an empty table.
    std::size_t selectedIndex() const { return m_selected; }
    const PlotOverlay* plotOverlay() const override { return &m_overlay; }

protected:
    // Writes a changed table back (after asking, for a file that was not read whole); a
    // failed write is reported.
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the window like "Закрыть", so the table is saved.
    void reject() override;

private:
    // The editor for the record at editing, or for a new record; then the list again.
    void edit(std::optional<std::size_t> editing);
    void deleteSelected();
    // Fills the list from the table, selects the selected index and has the found-lines window
    // identify its lines again.
    void rebuild();
    // The mark button's text, the buttons that need an isotope, and the overlay of the plot.
    void selectionChanged();
    void save();

    MainWindowServices& m_services;
    IsotopeDatabase m_database;
    bool m_readWhole = true; // the file held whole records only, or there was none
    std::size_t m_selected = 0;
    ControlMap<Control> m_controls;
    QListWidget* m_list = nullptr;
    IsotopeLinesOverlay m_overlay;
};

} // namespace kv
