// The main window driven through its dispatcher with scripted dialogs, offscreen.

#include "app/app_state.h"
#include "app/list_pane.h"
#include "app/main_window.h"
#include "support/fake_ui_services.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QFileInfo>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <string>

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
    std::string rowName(int row) {
        return window.listPane().topLevelItem(row)->text(0).toStdString();
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
          Command::Arithmetic, Command::LineSearch, Command::SearchSettings}) {
        window.dispatch(command);
    }
    EXPECT_TRUE(state.list.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.openDialogs.empty() && ui.saveDialogs.empty() && ui.questions.empty());

    // A command whose window is still to come says so rather than doing nothing.
    window.dispatch(Command::About);
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::CommandNotAvailableYet});
}

TEST_F(AppFixture, CancelOnClosingKeepsTheWindowOpenAndWritesNothing) {
    openDemo();
    window.dispatch(Command::AddCopy);
    window.show();
    ui.answers = {Answer::Cancel};
    EXPECT_FALSE(window.close());
    EXPECT_EQ(ui.questions, std::vector{StringId::SaveFileQuestion});
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(home.path("confadc.cnf"))));

    ui.answers = {Answer::No};
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(home.path("confadc.cnf"))));
}

} // namespace
} // namespace kv

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
