#pragma once

// The found-lines window ("Поиск линий"): the lines of the last line search with their energy,
// count rate and the isotope identified from the database, with the efficiency correction the
// rate per emission and the activity. "Поиск" runs the line search on the current histogram
// (off the user-interface thread, so a long spectrum leaves the windows responsive), and the
// table can be edited, copied as text, and followed with the plot cursor.

#include "analysis/identification.h"
#include "analysis/line_search.h"
#include "analysis/ui/dialog_controls.h"
#include "analysis/ui/line_search_runner.h"
#include "gui/main_window_services.h"
#include "gui/tool_window.h"

#include <optional>

class QLabel;
class QListWidget;

namespace kv {

// The found lines identified against database with the configuration's identification
// settings, efficiency and energy calibration, as the window, its copy and the printout show
// them. Holds references into state and database.
LineIdentifier foundLinesIdentifier(const AppState& state, const IsotopeDatabase& database);

// The error columns of the found line at index while the areas are refitted (the search
// settings' "Уточнять площади"); nothing while they are not.
std::optional<RateError> foundLineErrors(const AppState& state, std::size_t index);

class FoundLinesWindow : public ToolWindow {
public:
    enum class Control {
        Search = 1,
        Close = 2,
        Help = 9,
        List = 101,
        Delete = 102,
        Calibration = 103,
        Efficiency = 104,
        EfficiencyCorrection = 105, // check box "Учет эффективности"
        Add = 106,                  // enabled while the approximation window is open
        Copy = 107,
        Header = 108,
        Settings = 109,
    };

    FoundLinesWindow(MainWindowServices& services, QWidget* parent);

    // The ids of its controls, and kRefreshCommand: identify the lines again (the database, the
    // settings or the calibrations may have changed), keeping the selection.
    void command(int id) override;
    QWidget* control(Control id) const { return m_controls[id]; }

    // Starts a line search of the current histogram with the configuration's settings, unless
    // the list is empty or a search is running. When it ends, its lines fill the table (the
    // first one selected and the cursor on it) and the diagnostic histograms the settings ask
    // for are added; a search whose spectrum is no longer listed by then is dropped.
    void startSearch();
    // From the start of a search until its result is in the table (or dropped).
    bool searching() const { return m_runner.running() || m_finished.has_value(); }
    // A search has ended and its result waits for a modal dialog to close.
    bool resultWaiting() const { return m_finished.has_value(); }

private:
    struct FinishedSearch {
        Histogram searched;
        LineSearchSettings settings;
        LineSearchResult result;
    };

    // Takes the finished search's result into the table and the list, once no modal dialog is
    // open: one opened meanwhile (the smoothing dialog, say) works on the current histogram,
    // which the result's histograms would change under it.
    void takeFinishedSearch();
    // Fills the list; toFirstLine selects the first row and puts the cursor on it, otherwise
    // the selected row stays (held to the table).
    void rebuild(bool toFirstLine);
    void moveCursor();
    // Hands the selected line to the open calibration windows.
    void handSelectedLine();
    void addSelectedComponent();
    void deleteSelected();
    void copyTable();

    MainWindowServices& m_services;
    ControlMap<Control> m_controls;
    QLabel* m_header = nullptr;
    QListWidget* m_list = nullptr;
    LineSearchRunner m_runner;
    std::optional<FinishedSearch> m_finished;
};

} // namespace kv
