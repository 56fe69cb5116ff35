// The main window driven through its dispatcher with scripted dialogs, offscreen.

#include "app/command_table.h"
#include "app/display_dialog.h"
#include "app/histogram_drag.h"
#include "app/list_pane.h"
#include "app/main_window.h"
#include "app/name_dialog.h"
#include "app/plot_pane.h"
#include "app/toolbar.h"
#include "display/cursor.h"
#include "gui/app_state.h"
#include "gui/tool_window.h"
#include "model/configuration_file.h"
#include "model/cp1251.h"
#include "model/histogram_file.h"
#include "platform/files.h"
#include "support/fake_ui_services.h"
#include "support/main_window_tests.h"
#include "support/temp_dir.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPrinter>
#include <QSettings>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

namespace kv {
namespace {

struct AppFixture : ::testing::Test {
    test::TempDir home;
    AppState state{home.root() + "/"};
    test::FakeUiServices ui;
    MainWindow window{state, ui};

    void openDemo() {
        window.dispatch(Command::CommandLineOpen, std::string("\"") + KV_DEMO_FILE + "\"");
        ASSERT_GE(state.list.histogramCount(), 2);
    }
    // Drags payload over target and, when the main window takes it, drops it there.
    bool dropOn(QWidget* target, const QMimeData& payload) {
        QDragEnterEvent enter({10, 10}, Qt::CopyAction | Qt::MoveAction, &payload, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (enter.isAccepted()) {
            QDropEvent drop({10, 10}, Qt::CopyAction | Qt::MoveAction, &payload, Qt::LeftButton,
                            Qt::NoModifier);
            QApplication::sendEvent(&window, &drop);
        }
        QApplication::processEvents();
        return enter.isAccepted();
    }
    std::string rowName(int row) {
        return window.listPane().topLevelItem(row)->text(0).toStdString();
    }
    void showAndActivate() {
        window.show();
        window.activateWindow();
        for (int i = 0; i < 100 && QApplication::activeWindow() != &window; ++i) {
            QApplication::processEvents();
        }
        ASSERT_EQ(QApplication::activeWindow(), &window);
    }
    PlotPane& plotPane() {
        // Our widgets have no meta-objects of their own, so findChild cannot tell them apart.
        for (QWidget* child : window.findChildren<QWidget*>()) {
            if (auto* pane = dynamic_cast<PlotPane*>(child)) {
                return *pane;
            }
        }
        throw std::logic_error("the main window has no plot pane");
    }
    // Presses the mouse on the plot cursor, moves it to column toX unless that is where it is,
    // and lets go.
    void dragCursorTo(int toX) {
        PlotPane& pane = plotPane();
        const PlotView& view = state.plotView;
        const QPointF from(cursorColumn(view), (view.plotRect.top + view.plotRect.bottom) / 2);
        const QPointF to(toX, from.y());
        QMouseEvent down(QEvent::MouseButtonPress, from, pane.mapToGlobal(from), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, to, pane.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QMouseEvent up(QEvent::MouseButtonRelease, to, pane.mapToGlobal(to), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&pane, &down);
        if (to != from) { // a press and release in place moves nothing
            QApplication::sendEvent(&pane, &move);
        }
        QApplication::sendEvent(&pane, &up);
    }
    // The status-bar field whose text starts with prefix, or null.
    QLabel* statusField(const QString& prefix) {
        for (QLabel* field : window.statusBar()->findChildren<QLabel*>()) {
            if (field->text().startsWith(prefix)) {
                return field;
            }
        }
        return nullptr;
    }
    // Another analyser's spectrum of channels lines "channel,channel % modulo"; its path.
    std::string csvFile(const std::string& name, int channels, int modulo) {
        std::string rows;
        for (int i = 0; i < channels; ++i) {
            rows += std::to_string(i) + "," + std::to_string(i % modulo) + "\n";
        }
        test::writeText(home.path(name), rows);
        return home.path(name);
    }
    // An untitled list of one imported spectrum that nobody has saved yet.
    void importUnsavedSpectrum() {
        window.dispatch(Command::New);
        ui.openAnswers = {csvFile("unsaved.csv", 64, 3)};
        window.dispatch(Command::Import);
        ASSERT_EQ(state.list.histogramCount(), 1);
        ASSERT_TRUE(state.document.documentUntitled && !state.document.documentSaved);
    }
};

TEST_F(AppFixture, OpensTheQuotedCommandLineFileAndNumbersAppendedNames) {
    openDemo();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(window.windowTitle().toStdString(), "Multy channel kvantira: demo.hst");
    ASSERT_EQ(window.listPane().topLevelItemCount(), state.list.histogramCount());
    EXPECT_EQ(rowName(0).substr(0, 4), " 1. ");

    // The file's names carry numbers from 1 already; appended again they follow the list.
    const int count = state.list.histogramCount();
    ui.openAnswers = {KV_DEMO_FILE};
    window.dispatch(Command::Append);
    ASSERT_EQ(window.listPane().topLevelItemCount(), 2 * count);
    EXPECT_EQ(rowName(count).substr(0, 4),
              (count < 9 ? " " : "") + std::to_string(count + 1) + ". ");
    EXPECT_EQ(rowName(count).substr(4), rowName(0).substr(4));
}

TEST_F(AppFixture, ImportAppendsAnotherAnalysersSpectrumAndExportWritesTheCurrentOne) {
    openDemo();
    const int count = state.list.histogramCount();
    // Several files in one dialog: one that cannot be read is reported and the next still comes.
    ui.openAnswers = {csvFile("same.csv", state.list.channelCount(), 7) + "\n" +
                      home.path("missing.csv") + "\n" + csvFile("short.csv", 1, 7)};
    window.dispatch(Command::Import);
    EXPECT_EQ(ui.messageIds(),
              (std::vector{StringId::FileOpenFailed, StringId::DifferentChannelCounts}));
    ASSERT_EQ(window.listPane().topLevelItemCount(), count + 1);
    EXPECT_EQ(rowName(count).substr(4), "same.csv");

    ui.saveAnswers = {home.path("out.spe")};
    window.dispatch(Command::Export);
    EXPECT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_FALSE(test::readBytes(home.path("out.spe")).empty());
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(AppFixture, DuplicateAddsACurrentEntryAndTheCheckBoxTogglesItsMark) {
    openDemo();
    const int count = state.list.histogramCount();
    window.dispatch(Command::AddCopy);
    ASSERT_EQ(state.list.histogramCount(), count + 1);
    EXPECT_EQ(window.listPane().topLevelItemCount(), count + 1);
    EXPECT_EQ(window.listPane().currentItem(), window.listPane().topLevelItem(count));
    EXPECT_FALSE(state.document.documentSaved);

    const bool marked = state.list.isMarked(0);
    window.listPane().topLevelItem(0)->setCheckState(0, marked ? Qt::Unchecked : Qt::Checked);
    EXPECT_NE(state.list.isMarked(0), marked);
    window.listPane().setCurrentItem(window.listPane().topLevelItem(1));
    EXPECT_EQ(state.list.currentIndex(), 1);
}

TEST_F(AppFixture, CommandsNeedingHistogramsDoNothingWithAnEmptyList) {
    for (const Command command :
         {Command::SaveAsText, Command::Print, Command::NameAndComment, Command::Copy,
          Command::Paste, Command::AddCopy, Command::Delete, Command::SetLeftBoundary,
          Command::SetRightBoundary, Command::ClearBoundaries, Command::Smoothing,
          Command::PeakApproximation, Command::ExtractPeaks, Command::Calibration,
          Command::Arithmetic, Command::LineSearch, Command::SearchSettings, Command::PeakSearch}) {
        window.dispatch(command);
    }
    EXPECT_TRUE(state.list.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.openDialogs.empty() && ui.saveDialogs.empty() && ui.questions.empty());
}

TEST_F(AppFixture, CancelledSaveAsAfterYesKeepsTheListForNewOpenAndExit) {
    importUnsavedSpectrum();
    const std::string name = rowName(0);
    // "Да", then Cancel in the Save-as dialog: what the user asked to save stays.
    ui.answers = {Answer::Yes};
    ui.saveAnswers = {""};
    window.dispatch(Command::New);
    EXPECT_EQ(state.list.histogramCount(), 1);
    ui.answers = {Answer::Yes};
    ui.saveAnswers = {""};
    ui.openAnswers = {KV_DEMO_FILE};
    window.dispatch(Command::Open);
    EXPECT_EQ(ui.openDialogs.size(), 1u) << "only the import's dialog";
    ASSERT_EQ(state.list.histogramCount(), 1);
    EXPECT_EQ(rowName(0), name);
    EXPECT_FALSE(state.document.documentSaved);

    window.show();
    ui.answers = {Answer::Yes};
    ui.saveAnswers = {""};
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(home.path("confadc.cnf"))));
    EXPECT_EQ(ui.saveDialogs.size(), 3u);

    // A name chosen this time: saved, then the window closes.
    ui.answers = {Answer::Yes};
    ui.saveAnswers = {home.path("kept.hst")};
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(home.path("kept.hst"))));
}

TEST_F(AppFixture, StatusFieldsAreAtLeastTheirWidthAndWideEnoughForTheirText) {
    openDemo();
    // Energy and intensity: the longest cursor read-out.
    state.config.plot.xAxisMode = 1;
    state.config.plot.yAxisMode = 1;
    window.resize(1000, 600);
    window.show();
    plotPane().grab();
    QApplication::processEvents();
    QLabel* cursorField = statusField("Энергия = ");
    ASSERT_NE(cursorField, nullptr);
    EXPECT_TRUE(cursorField->text().contains("Интенсивность = "));
    EXPECT_GE(cursorField->width(), 240);
    EXPECT_GE(cursorField->width(), cursorField->sizeHint().width()) << "the text is cut";
    QLabel* rangeField = statusField("Интеграл = ");
    ASSERT_NE(rangeField, nullptr);
    EXPECT_GE(rangeField->width(), rangeField->sizeHint().width());
    EXPECT_GE(rangeField->x(), cursorField->x() + cursorField->width());

    // A shorter read-out leaves the fields where they are.
    const int wide = cursorField->width();
    state.config.plot.xAxisMode = 0;
    state.config.plot.yAxisMode = 0;
    plotPane().grab();
    QApplication::processEvents();
    ASSERT_TRUE(cursorField->text().startsWith("Канал = "));
    EXPECT_EQ(cursorField->width(), wide);
}

TEST_F(AppFixture, SavedConfigurationHoldsTheCurrentPlacementAndRestoringItPutsItBack) {
    openDemo();
    window.show();
    const QRect placed(40, 30, 640, 480);
    window.setGeometry(placed);
    QApplication::processEvents();
    ASSERT_EQ(window.geometry(), placed);
    ui.saveAnswers = {home.path("placed.cnf")};
    window.dispatch(Command::SaveConfigurationAs);
    AppConfig saved;
    ASSERT_TRUE(loadConfigurationFile(saved, home.path("placed.cnf")));
    EXPECT_EQ(saved.layout.windowPlacement.normalRect, (std::array{40, 30, 680, 510}));
    EXPECT_EQ(saved.layout.listPaneHeight, window.listPane().height());

    window.setGeometry(10, 20, 500, 400);
    ui.openAnswers = {home.path("placed.cnf")};
    window.dispatch(Command::RestoreConfiguration);
    QApplication::processEvents();
    EXPECT_EQ(window.geometry(), placed);
}

TEST_F(AppFixture, FirstStartOpensCentredAndAStoredPlacementComesBackOnAPresentScreen) {
    // No configuration file was found: the window is centred on the screen at a good size.
    window.showAsConfigured();
    QApplication::processEvents();
    const QRect screen = window.screen()->availableGeometry();
    const QRect first = window.geometry();
    EXPECT_LE(std::abs(first.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(first.center().y() - screen.center().y()), 1);
    EXPECT_GE(first.width(), screen.width() / 2);
    EXPECT_GE(first.height(), screen.height() / 2);
    EXPECT_TRUE(screen.contains(first));

    // Saved on a screen that is no longer there: the window keeps its size on a present one.
    AppConfig elsewhere;
    elsewhere.layout.windowPlacement.normalRect = {5000, 4000, 5400, 4300};
    const auto bytes = encodeAppConfig(elsewhere);
    test::writeBytes(home.path("elsewhere.cnf"), {bytes.begin(), bytes.end()});
    ui.openAnswers = {home.path("elsewhere.cnf")};
    window.dispatch(Command::RestoreConfiguration);
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(400, 300));
    EXPECT_TRUE(screen.contains(window.geometry()));

    // At start-up a stored placement is taken as it is.
    AppState configured(home.root() + "/");
    configured.configurationLoaded = true;
    configured.config.layout.windowPlacement.normalRect = {30, 20, 530, 420};
    MainWindow second(configured, ui);
    second.showAsConfigured();
    QApplication::processEvents();
    EXPECT_EQ(second.geometry(), QRect(30, 20, 500, 400));
}

TEST(DisplayDialog, EnablesTheChosenUnitsFieldsAndResetsRangesItCannotShow) {
    using C = DisplayDialog::Control;
    AppConfig config;
    config.plot.firstChannel = 99;
    config.plot.lastChannel = 199;
    test::FakeUiServices ui;
    const auto click = [](DisplayDialog& d, C id) {
        static_cast<QAbstractButton*>(d.control(id))->click();
    };
    {
        DisplayDialog dialog(config, 2048, ui);
        auto& first = static_cast<QSpinBox&>(*dialog.control(C::FirstChannel));
        auto& lastEnergy = static_cast<QLineEdit&>(*dialog.control(C::LastEnergy));
        EXPECT_EQ(first.value(), 100);
        EXPECT_EQ(lastEnergy.text().toStdString(), "199.00"); // uncalibrated: the channel
        EXPECT_TRUE(first.isEnabled() && !lastEnergy.isEnabled());
        click(dialog, C::Energy);
        EXPECT_TRUE(!first.isEnabled() && lastEnergy.isEnabled());
        click(dialog, C::Help);
        EXPECT_EQ(ui.helpContexts, std::vector{11});
        // Without a calibration both energies fall on channel 0: the full range.
        click(dialog, C::ShowMarked);
        click(dialog, C::Probability);
        click(dialog, C::Ok);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(
        std::tuple(config.plot.xAxisMode, config.plot.yAxisMode, config.plot.showSelectedOnly),
        std::tuple(1, 2, std::uint8_t{0}));
    EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(0, 2047));

    // 2 keV per channel: typed energies round half down to channels.
    config.energyCalibration.channelScale = 2048;
    config.energyCalibration.termCount = 2;
    config.energyCalibration.coefficients = {0.0, 2.0, 0.0, 0.0, 0.0};
    {
        DisplayDialog dialog(config, 2048, ui);
        static_cast<QLineEdit*>(dialog.control(C::FirstEnergy))->setText("201");
        static_cast<QLineEdit*>(dialog.control(C::LastEnergy))->setText("5000");
        click(dialog, C::Ok);
    }
    EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(100, 2047));

    // A last channel field of 0 (channel -1) resets the whole range, not just its end.
    for (const auto& [typedFirst, typedLast] : {std::pair(11, 0), std::pair(501, 301)}) {
        DisplayDialog dialog(config, 2048, ui);
        click(dialog, C::Channels);
        static_cast<QSpinBox*>(dialog.control(C::FirstChannel))->setValue(typedFirst);
        static_cast<QSpinBox*>(dialog.control(C::LastChannelUpDown))->setValue(typedLast);
        click(dialog, C::Ok);
        EXPECT_EQ(std::pair(config.plot.firstChannel, config.plot.lastChannel), std::pair(0, 2047));
    }
}

TEST(Toolbar, RestoresTheSavedLayoutAndResetsToTheStartLayout) {
    test::TempDir dir;
    const auto settings = [&] {
        return std::make_unique<QSettings>(QString::fromStdString(dir.path("kv.ini")),
                                           QSettings::IniFormat);
    };
    std::vector<Command> sent;
    ToolbarLayout customised;
    {
        Toolbar toolbar(settings(), [&](Command c) { sent.push_back(c); });
        ASSERT_EQ(toolbar.actions().size(), 24);
        EXPECT_EQ(toolbar.button(Command::LogScale)->text().toStdString(),
                  "Логарифмический масштаб");
        toolbar.button(Command::LogScale)->trigger();
        EXPECT_EQ(sent, std::vector{Command::LogScale});

        using T = ToolbarCustomiseDialog::Control;
        ToolbarCustomiseDialog dialog(toolbar);
        static_cast<QListWidget*>(dialog.control(T::Current))->setCurrentRow(0);
        dialog.command(T::Remove); // "Новый файл"
        dialog.command(T::MoveDown);
        customised = toolbar.currentLayout();
        ASSERT_EQ(customised.size(), 23u);
        EXPECT_EQ(customised[0], Command::Save);
        EXPECT_EQ(customised[1], Command::Open);
        EXPECT_EQ(static_cast<QListWidget*>(dialog.control(T::Available))->count(), 2);
        EXPECT_TRUE(toolbar.isChecked(Command::LogScale)); // still pressed
        toolbar.saveLayout(kToolbarKey);
    }
    {
        Toolbar toolbar(settings(), [](Command) {});
        EXPECT_EQ(toolbar.currentLayout(), customised);
        ToolbarCustomiseDialog(toolbar).command(ToolbarCustomiseDialog::Control::Reset);
        EXPECT_EQ(toolbar.currentLayout(), defaultToolbarLayout());
    }
    // A damaged value leaves the start layout.
    settings()->setValue("ToolBar", QStringList{"101", "101"});
    EXPECT_EQ(Toolbar(settings(), [](Command) {}).currentLayout(), defaultToolbarLayout());
    EXPECT_FALSE(toolbarLayoutFromStored({"999"}) || toolbarLayoutFromStored({"0", "x"}));
}

TEST_F(AppFixture, CheckButtonsFollowTheSettingsAndARestoredConfiguration) {
    Toolbar& toolbar = window.toolbar();
    EXPECT_EQ(toolbar.isChecked(Command::FromZero), state.config.plot.fromZero != 0);
    EXPECT_EQ(toolbar.isChecked(Command::ShowMarkedHistograms),
              state.config.plot.showSelectedOnly == 0);
    const std::uint8_t logScale = state.config.plot.logScale;
    toolbar.button(Command::LogScale)->trigger();
    EXPECT_NE(state.config.plot.logScale, logScale);
    toolbar.button(Command::ShowMarkedHistograms)->trigger();
    EXPECT_EQ(state.config.plot.showSelectedOnly, 0);

    ui.saveAnswers = {home.path("saved.cnf")};
    window.dispatch(Command::SaveConfigurationAs);
    toolbar.button(Command::LogScale)->trigger();
    toolbar.button(Command::ShowMarkedHistograms)->trigger();
    window.dispatch(Command::ToggleOrientation);
    EXPECT_TRUE(toolbar.isChecked(Command::ToggleOrientation));
    ui.openAnswers = {home.path("saved.cnf")};
    window.dispatch(Command::RestoreConfiguration);
    EXPECT_EQ(toolbar.isChecked(Command::LogScale), logScale == 0);
    EXPECT_TRUE(toolbar.isChecked(Command::ShowMarkedHistograms));
    EXPECT_FALSE(toolbar.isChecked(Command::ToggleOrientation));
}

TEST_F(AppFixture, ARangeLoadedForMoreChannelsIsClampedWhereItIsLoadedNotWhenPainted) {
    // At start-up: the configuration was saved while 4096-channel spectra were open.
    AppState loaded{home.root() + "/"};
    loaded.config.plot.firstChannel = 3000;
    loaded.config.plot.lastChannel = 4095;
    const MainWindow started{loaded, ui};
    EXPECT_EQ(loaded.config.plot.firstChannel, 0);
    EXPECT_EQ(loaded.config.plot.lastChannel, 2047);

    // Restoring such a configuration.
    AppConfig stored = state.config;
    stored.plot.firstChannel = 10;
    stored.plot.lastChannel = 4000;
    ASSERT_TRUE(writeFileReplacing(home.path("wide.cnf"), encodeAppConfig(stored)).written);
    ui.openAnswers = {home.path("wide.cnf")};
    window.dispatch(Command::RestoreConfiguration);
    EXPECT_EQ(state.config.plot.firstChannel, 10);
    EXPECT_EQ(state.config.plot.lastChannel, 2047);
}

TEST_F(AppFixture, ArrowKeysFromTheListBoundariesAndZoomDragMoveCursorAndRange) {
    openDemo();
    showAndActivate();
    window.listPane().setFocus();
    PlotView& view = state.plotView;
    auto press = [this](Qt::Key key) { QTest::keyClick(&window.listPane(), key); };
    const std::int32_t channel = cursorChannel(view, state.config.plot);
    press(Qt::Key_Right);
    EXPECT_EQ(cursorChannel(view, state.config.plot), channel + 1);
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    EXPECT_EQ(cursorChannel(view, state.config.plot), channel - 1);
    // The usual keys of desktop programs reach the menu's commands from the list too.
    QTest::keyClick(&window.listPane(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(ui.clipboard.empty());

    window.dispatch(Command::ClearBoundaries);
    const std::int32_t last = state.list.channelCount() - 1;
    ASSERT_EQ(std::pair(state.config.plot.firstChannel, state.config.plot.lastChannel),
              std::pair(0, last));
    window.dispatch(Command::SetLeftBoundary);
    EXPECT_EQ(std::pair(state.config.plot.firstChannel, state.config.plot.lastChannel),
              std::pair(last / 2, last));

    plotPane().grab(); // paints, which places the cursor and fills the status bar
    EXPECT_NE(statusField("Интеграл = "), nullptr);
    auto drag = [&](int toX) {
        window.toolbar().button(Command::Zoom)->trigger();
        ASSERT_TRUE(view.zoomArmed);
        dragCursorTo(toX);
        EXPECT_FALSE(view.zoomArmed || view.cursorDragging);
        EXPECT_FALSE(window.toolbar().isChecked(Command::Zoom));
    };
    drag(cursorColumn(view));
    EXPECT_EQ(std::pair(state.config.plot.firstChannel, state.config.plot.lastChannel),
              std::pair(last / 2, last));
    drag(view.plotRect.left);
    EXPECT_EQ(std::pair(state.config.plot.firstChannel, state.config.plot.lastChannel),
              std::pair(last / 2, last / 2 + (last - last / 2) / 2));
}

// Rows and list in step: names, check boxes and marks, and the current row.
void expectPaneShowsList(ListPane& pane, const HistogramList& list) {
    ASSERT_EQ(pane.topLevelItemCount(), list.histogramCount());
    for (int row = 0; row < list.histogramCount(); ++row) {
        const Histogram& h = *list.histogramAt(row);
        EXPECT_EQ(pane.topLevelItem(row)->text(0).toStdString(), utf8FromCp1251(h.name.view()));
        EXPECT_EQ(pane.topLevelItem(row)->checkState(0) == Qt::Checked, h.isMarked()) << row;
    }
    EXPECT_EQ(pane.indexOfTopLevelItem(pane.currentItem()), list.currentIndex());
}

void sendKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&widget, &event);
}

TEST_F(AppFixture, MarkCommandsSetClearAndInvertEveryEntry) {
    openDemo();
    window.dispatch(Command::AddCopy); // kind 245
    const int copy = state.list.currentIndex();
    window.dispatch(Command::ClearMarks);
    EXPECT_EQ(state.list.histogramAt(copy)->kind, 5);
    window.dispatch(Command::MarkAll);
    EXPECT_EQ(state.list.histogramAt(copy)->kind, 21);
    expectPaneShowsList(window.listPane(), state.list);

    state.list.toggleMark(0);
    state.document.documentSaved = true;
    window.dispatch(Command::InvertMarks);
    EXPECT_FALSE(state.document.documentSaved);
    EXPECT_TRUE(state.list.isMarked(0));
    EXPECT_FALSE(state.list.isMarked(copy));
    expectPaneShowsList(window.listPane(), state.list);
    window.dispatch(Command::InvertMarks);
    EXPECT_FALSE(state.list.isMarked(0));
    EXPECT_EQ(state.list.histogramAt(copy)->kind, 21);
}

TEST_F(AppFixture, CtrlDeleteRemovesTheCurrentEntryAndTheOneAboveBecomesCurrent) {
    openDemo();
    ListPane& pane = window.listPane();
    const std::string first = rowName(0);
    const std::string third = state.list.histogramCount() > 2 ? rowName(2) : "";
    const int count = state.list.histogramCount();
    pane.setCurrentItem(pane.topLevelItem(1));
    sendKey(pane, Qt::Key_Delete); // without Ctrl: nothing
    EXPECT_EQ(state.list.histogramCount(), count);
    state.document.documentSaved = true;
    sendKey(pane, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(state.list.histogramCount(), count - 1);
    EXPECT_EQ(state.list.currentIndex(), 0);
    EXPECT_EQ(rowName(0), first);
    if (count > 2) {
        EXPECT_EQ(rowName(1), third) << "the others keep their numbers";
    }
    EXPECT_FALSE(state.document.documentSaved);
    expectPaneShowsList(pane, state.list);

    // The first entry: the one below becomes current; the last: none is left.
    while (state.list.histogramCount() > 1) {
        window.dispatch(Command::Delete);
        EXPECT_EQ(state.list.currentIndex(), 0);
    }
    window.dispatch(Command::Delete);
    EXPECT_EQ(state.list.currentIndex(), -1);
    EXPECT_EQ(pane.topLevelItemCount(), 0);
}

TEST_F(AppFixture, EnterOpensTheNameDialogWhichStoresNameCommentAndExposure) {
    openDemo();
    Histogram& h = *state.list.currentHistogram();
    const std::uint32_t total = h.total;
    h.exposure = 12.5;
    state.document.documentSaved = true;
    test::answerNext<NameDialog>([](NameDialog& dialog) {
        EXPECT_EQ(dialog.field(NameDialogControl::Exposure)->text(), "12.50");
        dialog.field(NameDialogControl::Name)->setText(QString(130, QChar(0x0416))); // Ж
        dialog.field(NameDialogControl::Comment)->setText("Фон");
        dialog.field(NameDialogControl::Exposure)->setText("abc");
        dialog.button(NameDialogControl::Help)->click();
        dialog.button(NameDialogControl::Ok)->click();
    });
    sendKey(window.listPane(), Qt::Key_Return);
    EXPECT_EQ(ui.helpContexts, std::vector{9});
    EXPECT_EQ(h.name.str(), std::string(127, '\xC6')) << "cut to 127 bytes, not renumbered";
    EXPECT_EQ(h.comment.str(), "\xD4\xEE\xED");
    EXPECT_EQ(h.exposure, 0.0) << "letters store 0";
    EXPECT_EQ(h.total, total);
    EXPECT_FALSE(state.document.documentSaved);
    expectPaneShowsList(window.listPane(), state.list);
}

TEST_F(AppFixture, EnterEndingInPlaceRenamingKeepsTheNewNameAndOpensNoDialog) {
    openDemo();
    window.show();
    ListPane& pane = window.listPane();
    pane.setCurrentItem(pane.topLevelItem(1));
    QTest::keyClick(&pane, Qt::Key_F2);
    auto* editor = pane.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    // QTest::keyClicks knows only ASCII; a Russian name is typed as key events with text.
    for (const QChar letter : QStringLiteral("Проба 7")) {
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(letter), Qt::NoModifier);
    }
    // A name dialog, when one opens, is answered with OK as its user would.
    std::vector<QString> namesShown;
    QTimer okClicker;
    QObject::connect(&okClicker, &QTimer::timeout, [&namesShown] {
        if (auto* dialog = dynamic_cast<NameDialog*>(QApplication::activeModalWidget())) {
            namesShown.push_back(dialog->field(NameDialogControl::Name)->text());
            dialog->button(NameDialogControl::Ok)->click();
        }
    });
    okClicker.start(0);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(namesShown.empty());
    EXPECT_EQ(state.list.histogramAt(1)->name.str(), cp1251FromUtf8("Проба 7"));
    EXPECT_EQ(rowName(1), "Проба 7");

    // Enter on the entry, no longer edited, opens the dialog with the new name.
    sendKey(pane, Qt::Key_Return);
    okClicker.stop();
    EXPECT_EQ(namesShown, std::vector{QStringLiteral("Проба 7")});
    EXPECT_EQ(state.list.histogramAt(1)->name.str(), cp1251FromUtf8("Проба 7"));
}

TEST_F(AppFixture, EditedLabelRenamesWithoutRenumberingAndWidensTheNameColumn) {
    openDemo();
    ListPane& pane = window.listPane();
    const int width = pane.columnWidth(0);
    state.document.documentSaved = true;
    const QString longName = "7. " + QString(60, 'W');
    pane.topLevelItem(1)->setText(0, longName); // what the label editor commits
    EXPECT_EQ(state.list.histogramAt(1)->name.str(), longName.toStdString());
    EXPECT_FALSE(state.document.documentSaved);
    EXPECT_GE(pane.columnWidth(0), pane.fontMetrics().horizontalAdvance(longName) + 44);
    EXPECT_GT(pane.columnWidth(0), width);

    pane.topLevelItem(1)->setText(0, ""); // no text: cancelled
    EXPECT_EQ(rowName(1), longName.toStdString());
    EXPECT_EQ(state.list.histogramAt(1)->name.str(), longName.toStdString());
}

TEST_F(AppFixture, HeaderClickSortsAndADropMovesTheCurrentEntryWithoutChangingTheDocument) {
    openDemo();
    window.dispatch(Command::AddCopy);
    ListPane& pane = window.listPane();
    state.list.histogramAt(0)->total = 4000000000u;
    state.list.histogramAt(1)->total = 0;
    const Histogram* current = state.list.currentHistogram();
    state.document.documentSaved = true;
    emit pane.header()->sectionClicked(static_cast<int>(ListColumn::Total));
    for (int i = 1; i < state.list.histogramCount(); ++i) {
        EXPECT_LE(state.list.histogramAt(i - 1)->total, state.list.histogramAt(i)->total);
    }
    EXPECT_EQ(state.list.currentHistogram(), current);
    expectPaneShowsList(pane, state.list);

    window.resize(800, 600);
    window.show();
    pane.setCurrentItem(pane.topLevelItem(0));
    const Histogram* moved = state.list.histogramAt(0);
    const Histogram* target = state.list.histogramAt(1);
    std::unique_ptr<QMimeData> data(pane.model()->mimeData({pane.model()->index(0, 0)}));
    ASSERT_NE(data, nullptr);
    auto drop = [&](const QMimeData& payload, const QPoint& at) {
        // Qt delivers a drop only to the widget that accepted the drag's entry.
        QDragEnterEvent enter(at, Qt::MoveAction, &payload, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pane.viewport(), &enter);
        QDropEvent event(at, Qt::MoveAction, &payload, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pane.viewport(), &event);
    };
    const QPoint onSecond = pane.visualItemRect(pane.topLevelItem(1)).center();
    QMimeData foreign;
    foreign.setData(data->formats().value(0), "1");
    drop(foreign, onSecond); // another copy's entry: not a move
    EXPECT_EQ(state.list.histogramAt(0), moved);
    drop(*data, onSecond);
    EXPECT_EQ(state.list.histogramAt(0), target);
    EXPECT_EQ(state.list.histogramAt(1), moved);
    EXPECT_EQ(state.list.currentIndex(), 1);
    EXPECT_TRUE(state.document.documentSaved);
    expectPaneShowsList(pane, state.list);
}

TEST_F(AppFixture, AboutBoxClosesWithOk) {
    bool shown = false;
    test::answerNext<QDialog>([&shown](QDialog& box) {
        shown = box.windowTitle() == "О программе";
        box.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    window.dispatch(Command::About);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(AppFixture, MenuItemsNotAvailableYetAreExactlyThoseTheHelpAndTheReadmeList) {
    // A copy, so that no command can write over the shipped demo file.
    const std::string demo = home.path("demo.hst");
    ASSERT_TRUE(QFile::copy(KV_DEMO_FILE, QString::fromStdString(demo)));
    window.setPrintDialog([](QPrinter&, bool) { return false; });
    QTimer dialogCloser;
    QObject::connect(&dialogCloser, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->reject();
        }
    });
    dialogCloser.start(0);
    std::set<std::string> notAvailable;
    for (const QAction* menu : window.menuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            if (item->isSeparator()) {
                continue;
            }
            if (state.list.empty()) { // after New or Delete: most commands need histograms
                window.dispatch(Command::CommandLineOpen, demo);
            }
            ui.messages.clear();
            item->trigger();
            if (ui.messageIds() == std::vector{StringId::CommandNotAvailableYet}) {
                QString entry = menu->text() + " → " + item->text();
                notAvailable.insert(entry.remove('&').toStdString());
            }
        }
    }
    dialogCloser.stop();
    // Every menu item has its window now; the help and the README list none as missing.
    EXPECT_TRUE(notAvailable.empty()) << *notAvailable.begin();
    EXPECT_EQ(test::readText(KV_HELP_FILE).find("<ul class=\"not-yet\">"), std::string::npos);
    EXPECT_EQ(test::readText(KV_README_FILE).find("\nNot yet available:"), std::string::npos);
}

TEST_F(AppFixture, HistogramDroppedFromAnotherCopyIsAddedAndAnotherLengthRefused) {
    window.resize(800, 600);
    window.show();
    Histogram sent;
    sent.channels.assign(1024, 3);
    sent.kind = 4;
    const auto block = encodeHistogramBlock(sent);
    QMimeData foreign;
    foreign.setData(kEntryMimeType, "1"); // another process's id
    foreign.setData(kHistogramMimeType,
                    QByteArray(reinterpret_cast<const char*>(block.data()), block.size()));
    // Over the list the entry is not one of ours, so the main window takes it.
    EXPECT_TRUE(dropOn(window.listPane().viewport(), foreign));
    ASSERT_EQ(state.list.histogramCount(), 1);
    EXPECT_EQ(state.list.channelCount(), 1024);
    EXPECT_EQ(state.list.histogramAt(0)->kind, 4);
    EXPECT_EQ(window.listPane().topLevelItemCount(), 1);

    // Our own entry dropped outside the list moves nothing and adds nothing.
    std::unique_ptr<QMimeData> own(makeEntryDragData(sent));
    EXPECT_FALSE(dropOn(&window, *own));
    EXPECT_EQ(state.list.histogramCount(), 1);

    state.list.clearList();
    openDemo();
    EXPECT_TRUE(dropOn(&window, foreign));
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::DifferentChannelCounts});
    EXPECT_EQ(state.list.channelCount(), 2048);
}

TEST_F(AppFixture, DroppedFilesAreOpenedAppendedOrImportedAndTheCommandLineImportsToo) {
    window.resize(800, 600);
    window.show();
    const std::string csv = csvFile("rows.csv", 2048, 5);
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(KV_DEMO_FILE),
                   QUrl::fromLocalFile(QString::fromStdString(csv)),
                   QUrl::fromLocalFile(KV_DEMO_FILE)});
    // Into the empty list the histogram file is opened, then the others are added to it.
    EXPECT_TRUE(dropOn(window.listPane().viewport(), files));
    EXPECT_TRUE(window.windowTitle().endsWith("demo.hst"));
    const int demoCount = (state.list.histogramCount() - 1) / 2;
    ASSERT_GE(demoCount, 2);
    EXPECT_EQ(rowName(demoCount).substr(4), "rows.csv");
    EXPECT_FALSE(state.document.documentSaved);
    EXPECT_TRUE(ui.messages.empty());

    state.list.clearList();
    window.dispatch(Command::CommandLineOpen, "\"" + csv + "\"");
    EXPECT_EQ(state.list.histogramCount(), 1);
}

// A tool window that follows every notification, each with a command of its own.
class FollowingWindow : public ToolWindow {
public:
    enum Heard { Moved = 1, Settled, Current, List, Calibration };

    explicit FollowingWindow(QWidget* parent) : ToolWindow(parent) {
        follow(Notification::CursorMoved, Moved);
        follow(Notification::CursorSettled, Settled);
        follow(Notification::CurrentHistogramChanged, Current);
        follow(Notification::ListChanged, List);
        follow(Notification::CalibrationChanged, Calibration);
    }

    void command(int id) override { m_heard.push_back(id); }

    // What the window heard since the last call.
    std::vector<int> heard() { return std::exchange(m_heard, {}); }

private:
    std::vector<int> m_heard;
};

TEST_F(AppFixture, ToolWindowsHearWhatHappensInTheMainWindowAndCloseWithIt) {
    using H = FollowingWindow;
    const QPointer<H> tool = dynamic_cast<H*>(state.windows.open(
        WindowKind::NoiseTrack, [this] { return std::make_unique<H>(&window); }));
    ASSERT_TRUE(tool);
    // The file's trailer brings its calibration; the same file again brings no other.
    openDemo();
    EXPECT_EQ(tool->heard(), (std::vector<int>{H::List, H::Calibration}));
    openDemo();
    EXPECT_EQ(tool->heard(), std::vector<int>{H::List});

    window.resize(800, 600);
    showAndActivate();
    ListPane& pane = window.listPane();
    const int other = state.list.currentIndex() == 0 ? 1 : 0;
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, Qt::NoModifier,
                      pane.visualItemRect(pane.topLevelItem(other)).center());
    ASSERT_EQ(state.list.currentIndex(), other);
    EXPECT_EQ(tool->heard(), std::vector<int>{H::Current});
    QTest::keyClick(&pane, Qt::Key_Right);
    EXPECT_EQ(tool->heard(), std::vector<int>{H::Settled});
    plotPane().grab(); // places the cursor
    dragCursorTo(state.plotView.plotRect.left);
    EXPECT_EQ(tool->heard(), (std::vector<int>{H::Moved, H::Settled}));
    // A setting of the plot is no change of the list.
    window.toolbar().button(Command::LogScale)->trigger();
    EXPECT_TRUE(tool->heard().empty());

    // A window that adds an entry has the main window show it, and the others hear of it.
    const int count = state.list.histogramCount();
    state.list.duplicateCurrent();
    static_cast<MainWindowServices&>(window).refreshList();
    EXPECT_EQ(pane.topLevelItemCount(), count + 1);
    EXPECT_EQ(tool->heard(), std::vector<int>{H::List});

    // Cancel on closing keeps every window open and writes nothing; tool windows close only
    // once the user has not cancelled.
    const QString configuration = QString::fromStdString(home.path("confadc.cnf"));
    ui.answers = {Answer::Cancel};
    EXPECT_FALSE(window.close());
    EXPECT_EQ(ui.questions, std::vector{StringId::SaveFileQuestion});
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(state.windows.isOpen(WindowKind::NoiseTrack));
    EXPECT_FALSE(QFileInfo::exists(configuration));
    ui.answers = {Answer::No};
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(QFileInfo::exists(configuration));
    EXPECT_FALSE(state.windows.isOpen(WindowKind::NoiseTrack));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(tool);
}

TEST(CommandTable, HoldsEachCommandOnceAndATextForEveryMenuItem) {
    for (const CommandInfo& info : commandTable()) {
        EXPECT_EQ(findCommand(info.command), &info) << static_cast<int>(info.command);
        EXPECT_EQ(info.menu == MainMenu::None, info.text.empty()) << static_cast<int>(info.command);
    }
}

TEST_F(AppFixture, MenusFollowTheTableInItsOrderWithSeparatorsAndKeys) {
    QStringList titles;
    for (const QAction* menu : window.menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, QStringList({"Файл", "Гистограмма", "Графика", "Анализ", "Измерение", "Окно",
                                   "Помощь"}));
    QStringList file;
    for (const QAction* item : window.menuBar()->actions().at(0)->menu()->actions()) {
        file << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    EXPECT_EQ(file, QStringList({"Новый", "Открыть", "Присоединить", "Импорт...", "Экспорт...", "-",
                                 "Сохранить", "Сохранить как...", "Сохранить в текстовом формате",
                                 "-", "Сохранить конфигурацию как...", "Восстановить конфигурацию",
                                 "-", "Конфигурация принтера", "Параметры страницы", "Печать", "-",
                                 "Выход из программы"}));
    const QAction* saveAs = window.menuBar()->actions().at(0)->menu()->actions().at(7);
    EXPECT_EQ(saveAs->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
}

} // namespace
} // namespace kv

int main(int argc, char** argv) {
    return kv::test::runMainWindowTests(argc, argv);
}
