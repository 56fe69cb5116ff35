#pragma once

// The main window: menu bar, status bar, the list pane and the plot pane in a splitter, and the
// one dispatcher every menu item and every command from another window goes through. The tool
// windows reach it through MainWindowServices and hear through the window registry what
// happens here.

#include "acquisition/ui/acquisition_runs.h"
#include "app/command_table.h"
#include "app/print_job.h"
#include "gui/app_state.h"
#include "gui/command.h"
#include "gui/main_window_services.h"
#include "model/app_config.h"
#include "model/document.h"
#include "model/print_settings.h"
#include "platform/ui_services.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

class QLabel;
class QSplitter;

namespace kv {

class ListPane;
class PlotPane;
class Toolbar;

class MainWindow : public QMainWindow, public MainWindowServices {
public:
    // Takes its window placement (when state.configurationLoaded; centred on the screen
    // otherwise) and list form from state.config. ui: message boxes and file dialogs, injected
    // so tests can script them.
    MainWindow(AppState& state, UiServices& ui, QWidget* parent = nullptr);
    // A run still active is stopped, and its last read-out listed, before the window goes.
    ~MainWindow() override;

    // Runs one command and brings up to date what its row in the command table names.
    // commandLine is the text of CommandLineOpen (a path, possibly quoted); other commands
    // ignore it. Commands that need histograms do nothing with an empty list.
    void dispatch(Command command, const std::string& commandLine = {});

    AppState& state() override { return m_state; }
    UiServices& ui() override { return m_ui; }
    void repaintPlot() override;
    void refreshList() override;
    void runCommand(Command command) override;

    // Shows the window in the state stored in the configuration (normal or maximised).
    void showAsConfigured();

    // Replaces the print dialog, so tests can choose the printer (a PDF file) without it.
    void setPrintDialog(PrintDialogRunner runner) { m_printDialog = std::move(runner); }
    const PrintSettings& printSettings() const { return m_printSettings; }

    // The measurement runs started from this window.
    AcquisitionRuns& runs() { return *m_runs; }

    ListPane& listPane() { return *m_listPane; }
    Toolbar& toolbar() { return *m_toolbar; }

protected:
    // During a run asks whether to stop it (No keeps the window open) and lists what it
    // counted; then asks to save unsaved histograms (Cancel keeps the window open), stores the
    // placement and pane size and writes the configuration file silently.
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // A list entry dragged from another running copy is added to the list when dropped; files
    // dropped from a file manager are opened, appended or imported as their kind asks.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The menus, and the keys of the commands without a menu item, from the command table.
    void buildMenus();
    // The operation of a command; false for a command without one.
    bool run(Command command, const std::string& commandLine);
    // Commands whose windows and dialogs this version does not have yet.
    void commandNotAvailableYet(const CommandInfo& info);
    void setAllMarks(Command mode);
    // "Конфигурация принтера" (setupOnly) and "Печать": the print dialog, then the page.
    void print(bool setupOnly);
    void toggleListOrientation();
    // Presses the check buttons of the settings that are on (Zoom is left as it is).
    void syncToolbarChecks();
    void applyListOrientation();
    void applyPlacement();
    void storePlacement();
    // Brings the parts named up to date with the state and tells the open tool windows what
    // changed: the list (with Refresh::List), the calibrations (whenever they differ from
    // what the last refresh saw).
    void refresh(Refresh what);

    AppState& m_state;
    UiServices& m_ui;
    Document m_document;
    // The calibrations the windows were last told of, in their stored form.
    std::array<std::uint8_t, kTrailerSize> m_calibrations;
    // The visible range the tool windows were last told of.
    std::pair<std::int32_t, std::int32_t> m_visibleRange;
    QSplitter* m_splitter = nullptr;
    ListPane* m_listPane = nullptr;
    PlotPane* m_plotPane = nullptr;
    Toolbar* m_toolbar = nullptr;
    QLabel* m_analyserField = nullptr;
    PrintSettings m_printSettings;
    PrintDialogRunner m_printDialog;
    // Last: its worker reports through everything above.
    std::unique_ptr<AcquisitionRuns> m_runs;
};

} // namespace kv
