#include "app/main_window.h"

#include "acquisition/ui/measurement_commands.h"
#include "acquisition/ui/series_commands.h"
#include "analysis/ui/analysis_commands.h"
#include "analysis/ui/arithmetic_window.h"
#include "analysis/ui/noise_track_window.h"
#include "analysis/ui/efficiency_window.h"
#include "analysis/ui/energy_calibration_window.h"
#include "app/about_dialog.h"
#include "app/display_dialog.h"
#include "app/histogram_drag.h"
#include "app/list_pane.h"
#include "app/name_dialog.h"
#include "app/page_setup_dialog.h"
#include "app/plot_pane.h"
#include "app/text_export_dialogs.h"
#include "app/toolbar.h"
#include "app/window_placement.h"
#include "display/cursor.h"
#include "fitting/ui/approximation_window.h"
#include "fitting/ui/peak_search_dialog.h"
#include "fitting/ui/single_peak_window.h"
#include "formats/spectrum_exchange.h"
#include "model/clipboard_text.h"
#include "model/configuration_file.h"
#include "model/strings.h"

#include <QAction>
#include <QCloseEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace kv {

namespace {

// The help topic of the main window.
constexpr int kMainHelpContext = 28;

// The status bar's first field (cursor read-out) is at least this wide.
constexpr int kCursorFieldWidth = 240;

// WINDOWPLACEMENT show states.
constexpr std::int32_t kShowNormal = 1;
constexpr std::int32_t kShowMaximized = 3;

// listOrientation: 0 = list pane at the bottom in table form, 1 = at the left, names only.
constexpr std::int32_t kListAtLeft = 1;

// The energy and efficiency calibrations in their stored form, where a damaged value (not a
// number) still equals itself.
std::array<std::uint8_t, kTrailerSize> storedCalibrations(const AppConfig& config) {
    return encodeTrailer({config.energyCalibration, config.efficiency});
}

} // namespace

MainWindow::MainWindow(AppState& state, UiServices& ui, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_ui(ui),
      m_document(state.list, state.config, state.document, ui),
      m_calibrations(storedCalibrations(state.config)),
      m_visibleRange(state.config.plot.firstChannel, state.config.plot.lastChannel),
      m_printSettings(loadPrintSettings(state.programDirectory)),
      m_printDialog([this](QPrinter& printer, bool setupOnly) {
          return runPrintDialog(printer, setupOnly, this);
      }),
      m_runs(std::make_unique<AcquisitionRuns>(*this)) {
    buildMenus();
    m_toolbar = new Toolbar(
        std::make_unique<QSettings>("Velmar", "Nuklidor"),
        [this](Command command) { dispatch(command); }, this);
    addToolBar(m_toolbar);

    auto* cursorField = new QLabel(this);
    // Wider when its text needs it (the plot pane widens it); the range field takes the rest.
    cursorField->setMinimumWidth(kCursorFieldWidth);
    cursorField->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    statusBar()->addWidget(cursorField);
    auto* rangeField = new QLabel(this);
    statusBar()->addWidget(rangeField, 1);
    m_analyserField = new QLabel(this);
    m_analyserField->setObjectName(QStringLiteral("analyserField"));
    statusBar()->addPermanentWidget(m_analyserField);

    m_splitter = new QSplitter(this);
    m_splitter->setChildrenCollapsible(false);
    m_plotPane = new PlotPane(state, m_splitter);
    m_plotPane->setStatusFields(cursorField, rangeField);
    m_plotPane->setZoomEndedHandler([this] {
        m_toolbar->setChecked(Command::Zoom, false);
        refresh(Refresh::Plot);
    });
    m_listPane = new ListPane(
        state.list,
        [this](ListPaneChange change) {
            m_plotPane->update();
            m_state.windows.notify(change == ListPaneChange::Current
                                       ? Notification::CurrentHistogramChanged
                                       : Notification::ListChanged);
        },
        [this](Command command) { dispatch(command); }, m_splitter);
    setCentralWidget(m_splitter);
    setAcceptDrops(true);

    if (state.configurationLoaded) {
        applyPlacement();
    } else if (const QScreen* start = screen()) {
        // The record's default, 600 x 400 in the corner, would squeeze the plot to a strip.
        setGeometry(firstStartGeometry(*start));
    }
    applyListOrientation();
    // The loaded range may be that of spectra with more channels.
    clampVisibleRange(state.config.plot, state.list.channelCount());
    syncToolbarChecks();
    refresh(Refresh::All);
}

MainWindow::~MainWindow() {
    // Its requests still reach the panes and the tool windows.
    m_runs->stopAndWait();
}

void MainWindow::buildMenus() {
    std::map<MainMenu, QMenu*> menus;
    for (const CommandInfo& info : commandTable()) {
        const Command command = info.command;
        QAction* action = nullptr;
        if (info.menu == MainMenu::None) {
            if (info.shortcut.sequence().isEmpty()) {
                continue;
            }
            // The arrow keys step the cursor whichever widget has the focus; a text field
            // keeps them.
            action = new QAction(this);
            action->setShortcutContext(Qt::ApplicationShortcut);
            connect(action, &QAction::triggered, this, [this, command] { dispatch(command); });
            addAction(action);
        } else {
            QMenu*& menu = menus[info.menu];
            if (!menu) {
                menu = menuBar()->addMenu(QString::fromUtf8(menuTitle(info.menu)));
            }
            if (info.separatorBefore) {
                menu->addSeparator();
            }
            action = menu->addAction(QString::fromUtf8(info.text), this,
                                     [this, command] { dispatch(command); });
        }
        action->setShortcut(info.shortcut.sequence());
    }
}

void MainWindow::dispatch(Command command, const std::string& commandLine) {
    const CommandInfo* info = findCommand(command);
    if (!info || (info->needsHistograms && m_state.list.empty())) {
        return;
    }
    if (!run(command, commandLine)) {
        commandNotAvailableYet(*info);
        return;
    }
    refresh(info->refresh);
}

bool MainWindow::run(Command command, const std::string& commandLine) {
    AppConfig& config = m_state.config;
    HistogramList& list = m_state.list;
    switch (command) {
    case Command::New:
        m_document.newDocument();
        break;
    case Command::Open:
        m_document.open();
        break;
    case Command::Append:
        m_document.append();
        break;
    case Command::Import:
        importSpectra(m_document, config, m_ui);
        break;
    case Command::Export:
        exportCurrentHistogram(list, config, m_ui);
        break;
    case Command::Save:
        m_document.save();
        break;
    case Command::SaveAs:
        m_document.saveAs();
        break;
    case Command::CommandLineOpen:
        addNamedFile(m_document, config, m_ui, unquotedPath(commandLine), true);
        break;
    case Command::SaveConfigurationAs:
        // The file keeps the window as it is now, not as it was placed at start-up.
        storePlacement();
        saveConfigurationAs(config, m_ui);
        break;
    case Command::RestoreConfiguration:
        if (restoreConfiguration(config, m_ui)) {
            clampVisibleRange(config.plot, list.channelCount());
            applyPlacement();
            applyListOrientation();
            showAsConfigured();
            syncToolbarChecks();
        }
        break;
    case Command::SaveAsText: {
        TextExportDialogs questions(m_ui, this);
        exportText(list, config, m_ui, questions);
        break;
    }
    case Command::PrinterSetup:
        print(true);
        break;
    case Command::PageSetup: {
        PageSetupDialog dialog(m_printSettings, this);
        dialog.exec();
        break;
    }
    case Command::Print:
        print(false);
        break;
    case Command::Copy:
        copyToClipboard(list, config, m_ui);
        break;
    case Command::Paste:
        pasteFromClipboard(list, m_ui);
        break;
    case Command::DisplaySettings: {
        DisplayDialog dialog(config, list.channelCount(), m_ui, this);
        if (dialog.exec() == QDialog::Accepted) {
            syncToolbarChecks();
        }
        break;
    }
    case Command::ShowMarkedHistograms:
        config.plot.showSelectedOnly = m_toolbar->isChecked(command) ? 0 : 1;
        break;
    case Command::LogScale:
    case Command::FromZero:
        config.plot.logScale = m_toolbar->isChecked(Command::LogScale) ? 1 : 0;
        config.plot.fromZero = m_toolbar->isChecked(Command::FromZero) ? 1 : 0;
        break;
    case Command::Zoom:
        m_state.plotView.zoomArmed = m_toolbar->isChecked(command);
        break;
    case Command::SetLeftBoundary:
        setBoundary(m_state.plotView, config.plot, list.channelCount(), Boundary::Left);
        break;
    case Command::SetRightBoundary:
        setBoundary(m_state.plotView, config.plot, list.channelCount(), Boundary::Right);
        break;
    case Command::ClearBoundaries:
        setBoundary(m_state.plotView, config.plot, list.channelCount(), Boundary::None);
        break;
    case Command::CursorLeft:
        m_plotPane->stepCursor(-1);
        break;
    case Command::CursorRight:
        m_plotPane->stepCursor(+1);
        break;
    case Command::Exit:
        close();
        break;
    case Command::AddCopy:
        list.duplicateCurrent();
        break;
    case Command::NameAndComment:
        if (Histogram* h = list.currentHistogram()) {
            NameDialog dialog(*h, m_ui, this);
            if (dialog.exec() == QDialog::Accepted) {
                list.markChanged();
            }
        }
        break;
    case Command::Delete:
        // No confirmation: the entry above becomes current.
        list.deleteAt(list.currentIndex());
        break;
    case Command::Smoothing:
        smoothWithDialog(*this, this);
        break;
    case Command::ExtractPeaks:
        extractPeaksWithDialog(*this, this);
        break;
    case Command::LineSearch:
        searchLinesInWindow(*this, this);
        break;
    case Command::SearchSettings:
        editSearchSettings(*this, this);
        break;
    case Command::IsotopeDatabase:
        openIsotopeDatabase(*this, this);
        break;
    case Command::Arithmetic:
        openArithmetic(*this, this);
        break;
    case Command::NoiseParameters:
        openNoiseTrack(*this, this);
        break;
    case Command::PeakSearch:
        searchPeaksWithDialog(*this, this);
        break;
    case Command::Approximation:
        openApproximation(*this, this);
        break;
    case Command::PeakApproximation:
        openSinglePeak(*this, this);
        break;
    case Command::Calibration:
        openEnergyCalibration(*this, this);
        break;
    case Command::EfficiencyCalibration:
        openEfficiencyCalibration(*this, this);
        break;
    case Command::MarkAll:
    case Command::ClearMarks:
    case Command::InvertMarks:
        setAllMarks(command);
        break;
    case Command::ToggleOrientation:
        toggleListOrientation();
        syncToolbarChecks();
        break;
    case Command::Start:
        openStartDialog(*this, *m_runs, this);
        break;
    case Command::ModeSelection:
        openModeDialog(*this, *m_runs, this);
        break;
    case Command::ReportWindow:
        toggleReportWindow(*this, this);
        break;
    case Command::CyclicMeasurement:
        openCyclicDialog(*this, *m_runs, this);
        break;
    case Command::XrayMeasurement:
        openXrayDialog(*this, *m_runs, this);
        break;
    case Command::XraySeries:
        openXraySeriesDialog(*this, *m_runs, this);
        break;
    case Command::CountWindowParameters:
        openCountWindowParameters(*this, this);
        break;
    case Command::NewWindow:
        // A copy that does not start is not reported.
        m_ui.startAnotherCopy({});
        break;
    case Command::Help:
        m_ui.showHelp(kMainHelpContext);
        break;
    case Command::About:
        showAboutBox(this);
        break;
    default:
        return false;
    }
    return true;
}

void MainWindow::commandNotAvailableYet(const CommandInfo& info) {
    m_ui.showMessage(StringId::CommandNotAvailableYet, StringId::News, info.text);
}

void MainWindow::print(bool setupOnly) {
    QPrinter printer(QPrinter::HighResolution);
    applyPrinterDescription(printer, m_printSettings);
    if (!m_printDialog(printer, setupOnly)) {
        return;
    }
    m_printSettings.printer = encodePrinterDescription(describePrinter(printer));
    if (!setupOnly) {
        printPlotPage(printer, m_printSettings, m_state, printedLineRows(m_state), m_ui);
    }
}

void MainWindow::setAllMarks(Command mode) {
    HistogramList& list = m_state.list;
    for (int i = 0; i < list.histogramCount(); ++i) {
        Histogram& h = *list.histogramAt(i);
        if (mode == Command::InvertMarks) {
            list.toggleMark(i);
        } else if (mode == Command::MarkAll) {
            h.kind |= kMarkedBit;
        } else {
            h.kind &= kKindNumberMask;
        }
        list.markChanged();
    }
}

void MainWindow::toggleListOrientation() {
    m_state.config.layout.listOrientation =
        m_state.config.layout.listOrientation == kListAtLeft ? 0 : kListAtLeft;
    applyListOrientation();
}

void MainWindow::syncToolbarChecks() {
    const AppConfig& config = m_state.config;
    m_toolbar->setChecked(Command::ToggleOrientation, config.layout.listOrientation == kListAtLeft);
    m_toolbar->setChecked(Command::FromZero, config.plot.fromZero != 0);
    m_toolbar->setChecked(Command::LogScale, config.plot.logScale != 0);
    m_toolbar->setChecked(Command::ShowMarkedHistograms, config.plot.showSelectedOnly == 0);
}

void MainWindow::applyListOrientation() {
    // A stored value other than 1 shows the table at the bottom, the default.
    const AppConfig& config = m_state.config;
    const bool atLeft = config.layout.listOrientation == kListAtLeft;
    m_splitter->setOrientation(atLeft ? Qt::Horizontal : Qt::Vertical);
    m_splitter->insertWidget(atLeft ? 0 : 1, m_listPane);
    const int listIndex = m_splitter->indexOf(m_listPane);
    const int plotIndex = m_splitter->indexOf(m_plotPane);
    // A larger window gives its extra room to the plot.
    m_splitter->setStretchFactor(listIndex, 0);
    m_splitter->setStretchFactor(plotIndex, 1);
    m_listPane->setTableForm(!atLeft);
    m_listPane->scrollToItem(m_listPane->currentItem());
    const int listSize =
        std::max(atLeft ? config.layout.listPaneWidth : config.layout.listPaneHeight, 0);
    const int total = atLeft ? m_splitter->width() : m_splitter->height();
    QList<int> sizes(2);
    sizes[listIndex] = listSize;
    sizes[plotIndex] = std::max(total - listSize, 1);
    m_splitter->setSizes(sizes);
}

void MainWindow::applyPlacement() {
    const auto& rect = m_state.config.layout.windowPlacement.normalRect;
    const std::int64_t width = std::int64_t{rect[2]} - rect[0];
    const std::int64_t height = std::int64_t{rect[3]} - rect[1];
    // A stored rectangle of no size or of an impossible one (a damaged file) keeps the size
    // the window has.
    if (width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX) {
        setGeometry(placedOnPresentScreens(
            QRect(rect[0], rect[1], static_cast<int>(width), static_cast<int>(height))));
    }
}

void MainWindow::showAsConfigured() {
    // A window closed while minimised comes back normal rather than as an icon.
    if (m_state.config.layout.windowPlacement.showState == kShowMaximized) {
        showMaximized();
    } else {
        showNormal();
    }
}

void MainWindow::storePlacement() {
    AppConfig& config = m_state.config;
    const QRect normal = normalGeometry();
    config.layout.windowPlacement.showState = isMaximized() ? kShowMaximized : kShowNormal;
    config.layout.windowPlacement.normalRect = {normal.left(), normal.top(), normal.right() + 1,
                                                normal.bottom() + 1};
    if (config.layout.listOrientation == kListAtLeft) {
        config.layout.listPaneWidth = m_listPane->width();
    } else {
        config.layout.listPaneHeight = m_listPane->height();
    }
}

void MainWindow::refresh(Refresh what) {
    if (includes(what, Refresh::List)) {
        m_listPane->refresh();
    }
    if (includes(what, Refresh::Plot)) {
        m_plotPane->update();
    }
    if (includes(what, Refresh::Title)) {
        setWindowTitle(QString::fromStdString(m_document.titleText()));
    }
    // The tool windows hear of a change once the main window shows it.
    if (includes(what, Refresh::List)) {
        m_state.windows.notify(Notification::ListChanged);
    }
    if (const auto calibrations = storedCalibrations(m_state.config);
        calibrations != m_calibrations) {
        m_calibrations = calibrations;
        m_state.windows.notify(Notification::CalibrationChanged);
    }
    if (const std::pair range(m_state.config.plot.firstChannel, m_state.config.plot.lastChannel);
        range != m_visibleRange) {
        m_visibleRange = range;
        m_state.windows.notify(Notification::VisibleRangeChanged);
    }
    // The mode dialog may move the real ports to another base.
    m_analyserField->setText(
        QString::fromStdString(analyserStatusText(m_state.analyser.kind, m_state.config.analyser)));
}

void MainWindow::repaintPlot() {
    refresh(Refresh::Plot);
}

void MainWindow::refreshList() {
    refresh(Refresh::List | Refresh::Plot);
}

void MainWindow::runCommand(Command command) {
    dispatch(command);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_runs->active()) {
        if (m_ui.ask(StringId::StopRunToClose, StringId::Question, QuestionButtons::YesNo) !=
            Answer::Yes) {
            event->ignore();
            return;
        }
        // The spectrum counted so far is listed (and saved, with autosave) before the question
        // about unsaved histograms, which then covers it.
        m_runs->stopAndWait();
    }
    // A tool window may still ask about its own unsaved changes, and may refuse.
    if (!m_document.askToSave() || !m_state.windows.closeAll()) {
        event->ignore();
        return;
    }
    storePlacement();
    saveConfiguration(m_state.config, m_state.programDirectory);
    savePrintSettings(m_printSettings, m_state.programDirectory);
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

namespace {

std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    for (const QUrl& url : data ? data->urls() : QList<QUrl>{}) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toStdString());
        }
    }
    return paths;
}

} // namespace

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (foreignHistogramBlock(event->mimeData()).isEmpty() &&
        droppedFiles(event->mimeData()).empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QByteArray block = foreignHistogramBlock(event->mimeData());
    std::vector<std::string> files = droppedFiles(event->mimeData());
    if (block.isEmpty() && files.empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Taken after the drop has ended, so a message about it never holds up the sending program.
    QTimer::singleShot(0, this, [this, block, files = std::move(files)] {
        if (!block.isEmpty()) {
            m_document.receiveHistogram(
                std::span(reinterpret_cast<const std::uint8_t*>(block.constData()),
                          static_cast<std::size_t>(block.size())));
        }
        for (const std::string& path : files) {
            // Into an empty list a histogram file is opened, so Save writes back to it.
            const ReadOutcome outcome =
                addNamedFile(m_document, m_state.config, m_ui, path, m_state.list.empty());
            if (outcome == ReadOutcome::DifferentChannelCount) {
                break;
            }
        }
        refresh(Refresh::All);
    });
}

void MainWindow::moveEvent(QMoveEvent* event) {
    const QRect frame = frameGeometry();
    m_state.config.layout.windowRect = {frame.left(), frame.top(), frame.right() + 1,
                                        frame.bottom() + 1};
    QMainWindow::moveEvent(event);
}

} // namespace kv
