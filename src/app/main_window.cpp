#include "app/main_window.h"

#include "analysis/channel_filter.h"
#include "analysis/line_search.h"
#include "app/about_dialog.h"
#include "app/display_dialog.h"
#include "app/histogram_drag.h"
#include "app/list_pane.h"
#include "app/name_dialog.h"
#include "app/page_setup_dialog.h"
#include "app/plot_pane.h"
#include "app/text_export_dialogs.h"
#include "app/toolbar.h"
#include "display/cursor.h"
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
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

namespace {

// One entry of the main menu; a null text is a separator.
struct MenuItem {
    Command command;
    const char* text;
};

constexpr MenuItem kSeparator{Command::New, nullptr};

struct Menu {
    const char* title;
    std::vector<MenuItem> items;
};

const std::array<Menu, 7> kMainMenu{{
    {"Файл",
     {{Command::New, "Новый"},
      {Command::Open, "Открыть"},
      {Command::Append, "Присоединить"},
      {Command::Import, "Импорт..."},
      {Command::Export, "Экспорт..."},
      kSeparator,
      {Command::Save, "Сохранить"},
      {Command::SaveAs, "Сохранить как..."},
      {Command::SaveAsText, "Сохранить в текстовом формате"},
      kSeparator,
      {Command::SaveConfigurationAs, "Сохранить конфигурацию как..."},
      {Command::RestoreConfiguration, "Восстановить конфигурацию"},
      kSeparator,
      {Command::PrinterSetup, "Конфигурация принтера"},
      {Command::PageSetup, "Параметры страницы"},
      {Command::Print, "Печать"},
      kSeparator,
      {Command::Exit, "Выход из программы"}}},
    {"Гистограмма",
     {{Command::NameAndComment, "Имя и комментарий"},
      kSeparator,
      {Command::Copy, "Копировать"},
      {Command::Paste, "Вставить"},
      {Command::AddCopy, "Добавить копию"},
      {Command::Delete, "Удалить"}}},
    {"Графика",
     {{Command::DisplaySettings, "Конфигурация изображения"},
      kSeparator,
      {Command::SetLeftBoundary, "Установить левую границу"},
      {Command::SetRightBoundary, "Установить правую границу"},
      {Command::ClearBoundaries, "Отменить границы"},
      kSeparator,
      {Command::MarkAll, "Отметить все"},
      {Command::InvertMarks, "Инвертировать отметки"},
      {Command::ClearMarks, "Убрать все отметки"}}},
    {"Анализ",
     {{Command::Smoothing, "Сглаживание"},
      {Command::Approximation, "Аппроксимация"},
      {Command::PeakApproximation, "Аппроксимация пика"},
      {Command::ExtractPeaks, "Выделение пиков"},
      {Command::Calibration, "Калибровка"},
      {Command::Arithmetic, "Математика"},
      {Command::PeakSearch, "Поиск пиков"},
      {Command::NoiseParameters, "Параметры шума"},
      kSeparator,
      {Command::SearchSettings, "Параметры поиска"},
      {Command::IsotopeDatabase, "База данных изотопов"}}},
    {"Измерение",
     {{Command::Start, "Старт"},
      {Command::ModeSelection, "Выбор режима"},
      kSeparator,
      {Command::CyclicMeasurement, "Циклическое измерение"},
      {Command::XrayMeasurement, "Рентгеновские измерения"},
      {Command::XraySeries, "Серия рентгеновских измерений"},
      kSeparator,
      {Command::CountWindowParameters, "Параметры счетных окон"},
      {Command::ReportWindow, "Отчет"}}},
    {"Окно",
     {{Command::NewWindow, "Новое окно"}, {Command::ToggleOrientation, "Изменить ориентацию"}}},
    {"Помощь", {{Command::Help, "Помощь"}, {Command::About, "О программе"}}},
}};

// The help topic of the main window.
constexpr int kMainHelpContext = 28;

// The status bar's first field (cursor read-out) ends this far from the left.
constexpr int kCursorFieldWidth = 240;

// WINDOWPLACEMENT show states.
constexpr std::int32_t kShowNormal = 1;
constexpr std::int32_t kShowMaximized = 3;

// listOrientation: 0 = list pane at the bottom in table form, 1 = at the left, names only.
constexpr std::int32_t kListAtLeft = 1;

// The menu item's text of a command; empty for a command without one.
std::string_view menuText(Command command) {
    for (const Menu& menu : kMainMenu) {
        for (const MenuItem& item : menu.items) {
            if (item.text && item.command == command) {
                return item.text;
            }
        }
    }
    return {};
}

// The keys desktop programs use for these commands.
QKeySequence shortcutOf(Command command) {
    switch (command) {
    case Command::New:
        return QKeySequence::New;
    case Command::Open:
        return QKeySequence::Open;
    case Command::Save:
        return QKeySequence::Save;
    case Command::SaveAs:
        // Not every desktop's key theme has one.
        return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    case Command::Print:
        return QKeySequence::Print;
    case Command::Exit:
        return QKeySequence::Quit;
    case Command::Copy:
        return QKeySequence::Copy;
    case Command::Paste:
        return QKeySequence::Paste;
    case Command::Help:
        return QKeySequence::HelpContents;
    default:
        return {};
    }
}

} // namespace

MainWindow::MainWindow(AppState& state, UiServices& ui, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_ui(ui),
      m_document(state.list, state.config, state.document, ui),
      m_printSettings(loadPrintSettings(state.programDirectory)),
      m_printDialog([this](QPrinter& printer, bool setupOnly) {
          return runPrintDialog(printer, setupOnly, this);
      }) {
    buildMenus();
    m_toolbar = new Toolbar(
        std::make_unique<QSettings>("Velmar", "Nuklidor"),
        [this](Command command) { dispatch(command); }, this);
    addToolBar(m_toolbar);

    auto* cursorField = new QLabel(this);
    cursorField->setFixedWidth(kCursorFieldWidth);
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
        refresh();
    });
    // The arrow keys step the cursor whichever widget has the focus; a text field keeps them.
    for (const auto& [command, key] : {std::pair{Command::CursorLeft, Qt::Key_Left},
                                       std::pair{Command::CursorRight, Qt::Key_Right}}) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::ApplicationShortcut);
        connect(action, &QAction::triggered, this, [this, command] { dispatch(command); });
        addAction(action);
    }
    m_listPane = new ListPane(
        state.list, [this] { m_plotPane->update(); },
        [this](Command command) { dispatch(command); }, m_splitter);
    setCentralWidget(m_splitter);
    setAcceptDrops(true);

    applyPlacement();
    applyListOrientation();
    syncToolbarChecks();
    refresh();
}

void MainWindow::buildMenus() {
    for (const Menu& menu : kMainMenu) {
        QMenu* items = menuBar()->addMenu(QString::fromUtf8(menu.title));
        for (const MenuItem& item : menu.items) {
            if (!item.text) {
                items->addSeparator();
                continue;
            }
            const Command command = item.command;
            QAction* action = items->addAction(QString::fromUtf8(item.text), this,
                                               [this, command] { dispatch(command); });
            action->setShortcut(shortcutOf(command));
        }
    }
}

void MainWindow::dispatch(Command command, const std::string& commandLine) {
    if (needsHistograms(command) && m_state.list.empty()) {
        return;
    }
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
        return;
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
        saveConfigurationAs(config, m_ui);
        break;
    case Command::RestoreConfiguration:
        if (restoreConfiguration(config, m_ui)) {
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
        return;
    case Command::PageSetup: {
        PageSetupDialog dialog(m_printSettings, this);
        dialog.exec();
        return;
    }
    case Command::Print:
        print(false);
        return;
    case Command::Copy:
        copyToClipboard(list, config, m_ui);
        return;
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
        return;
    case Command::SetLeftBoundary:
        setBoundary(m_state.plotView, config, list.channelCount(), Boundary::Left);
        break;
    case Command::SetRightBoundary:
        setBoundary(m_state.plotView, config, list.channelCount(), Boundary::Right);
        break;
    case Command::ClearBoundaries:
        setBoundary(m_state.plotView, config, list.channelCount(), Boundary::None);
        break;
    case Command::CursorLeft:
        m_plotPane->stepCursor(-1);
        return;
    case Command::CursorRight:
        m_plotPane->stepCursor(+1);
        return;
    case Command::Exit:
        close();
        return;
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
        // The smoothing dialog will ask for the settings first; until then the stored ones apply.
        smoothCurrentHistogram(list, config.filters);
        break;
    case Command::ExtractPeaks:
        extractPeaks(list, config.lineSearch);
        break;
    case Command::LineSearch:
        if (auto result = runLineSearch(list, config.lineSearch, config.energyCalibration)) {
            m_state.foundLines = std::move(result->lines);
        }
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
    case Command::NewWindow:
        // A copy that does not start is not reported.
        m_ui.startAnotherCopy({});
        return;
    case Command::Help:
        m_ui.showHelp(kMainHelpContext);
        return;
    case Command::About:
        showAboutBox(this);
        return;
    default:
        commandNotAvailableYet(command);
        return;
    }
    refresh();
}

void MainWindow::commandNotAvailableYet(Command command) {
    m_ui.showMessage(StringId::CommandNotAvailableYet, StringId::News, menuText(command));
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
    const int width = rect[2] - rect[0];
    const int height = rect[3] - rect[1];
    // A stored rectangle of no size (a damaged file) keeps the size the window has.
    if (width > 0 && height > 0) {
        setGeometry(rect[0], rect[1], width, height);
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

void MainWindow::refresh() {
    m_listPane->refresh();
    m_plotPane->update();
    setWindowTitle(QString::fromStdString(m_document.titleText()));
    // The mode dialog may move the real ports to another base.
    m_analyserField->setText(
        QString::fromStdString(analyserStatusText(m_state.analyser.kind, m_state.config.analyser)));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_document.askToSave()) {
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
        refresh();
    });
}

void MainWindow::moveEvent(QMoveEvent* event) {
    const QRect frame = frameGeometry();
    m_state.config.layout.windowRect = {frame.left(), frame.top(), frame.right() + 1,
                                        frame.bottom() + 1};
    QMainWindow::moveEvent(event);
}

} // namespace kv
