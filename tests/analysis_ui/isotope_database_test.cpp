// The isotope database window and its editor, driven through their controls, and the lines of
// the selected isotope over the plot.

#include "analysis/isotope_text.h"
#include "analysis/ui/isotope_database_window.h"
#include "analysis/ui/isotope_editor_dialog.h"
#include "analysis_ui_fixture.h"
#include "support/temp_dir.h"

#include <QAbstractButton>
#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <map>
#include <vector>

namespace kv {
namespace {

using C = IsotopeDatabaseWindow::Control;
using E = IsotopeEditorDialog::Control;

IsotopeRecord cs137() {
    return {.name = "Cs-137", .enabled = 1, .lines = {{661.6553, 0.8501}}};
}

class DatabaseWindow : public test::AnalysisWindows {
protected:
    void SetUp() override { writeDatabase({cs137()}); }

    IsotopeDatabaseWindow* database() {
        return openWindow<IsotopeDatabaseWindow>(WindowKind::IsotopeDatabase);
    }

    void press(C id) { click(database()->control(id)); }

    std::vector<std::string> listed() {
        auto* list = static_cast<QListWidget*>(database()->control(C::List));
        std::vector<std::string> names;
        for (int i = 0; i < list->count(); ++i) {
            names.push_back(list->item(i)->text().toStdString());
        }
        return names;
    }

    std::string markButtonText() {
        return static_cast<QAbstractButton*>(database()->control(C::Mark))->text().toStdString();
    }

    // Clicks the button that opens the editor and hands the editor to act.
    bool inEditor(C button, const std::function<void(IsotopeEditorDialog&)>& act) {
        return whileModal<IsotopeEditorDialog>([&] { press(button); }, act);
    }

    static QPlainTextEdit& text(IsotopeEditorDialog& editor) {
        return *static_cast<QPlainTextEdit*>(editor.control(E::Text));
    }

    static void press(IsotopeEditorDialog& editor, E id) { click(editor.control(id)); }
};

TEST_F(DatabaseWindow, EditorRoundTripsARecordIntoTheFile) {
    window.dispatch(Command::IsotopeDatabase);
    ASSERT_NE(database(), nullptr);
    EXPECT_EQ(listed(), std::vector<std::string>{"Cs-137*"});
    EXPECT_EQ(markButtonText(), "Запретить");

    ASSERT_TRUE(inEditor(C::Add, [](IsotopeEditorDialog& editor) {
        EXPECT_EQ(editor.windowTitle(), "Новый спектр");
        EXPECT_TRUE(text(editor).toPlainText().isEmpty());
        text(editor).setPlainText("Zn-65\n1115.539\t0.5004\n511.000 0.0284\n");
        press(editor, E::Ok);
    }));
    EXPECT_EQ(listed(), (std::vector<std::string>{"Cs-137*", "Zn-65"})) << "sorted, disabled";
    EXPECT_EQ(database()->selectedIndex(), 1u) << "the new record is selected";
    EXPECT_EQ(markButtonText(), "Разрешить");

    ASSERT_TRUE(inEditor(C::Edit, [](IsotopeEditorDialog& editor) {
        EXPECT_EQ(editor.windowTitle(), "Редактирование");
        EXPECT_EQ(text(editor).toPlainText(), "Zn-65\n511.000\t2.840E-02\n1115.539\t5.004E-01\n")
            << "ascending energy";
        press(editor, E::Ok);
    }));
    press(C::Mark);
    EXPECT_EQ(listed(), (std::vector<std::string>{"Cs-137*", "Zn-65*"}));
    EXPECT_EQ(markButtonText(), "Запретить");

    // Escape closes the window as "Закрыть" does, saving the table.
    QTest::keyClick(database(), Qt::Key_Escape);
    EXPECT_EQ(database(), nullptr);
    const LoadedDatabase saved = loadDatabase(databasePath());
    ASSERT_EQ(saved.condition, DatabaseCondition::Complete);
    ASSERT_EQ(saved.database.size(), 2u);
    EXPECT_EQ(saved.database[0], cs137());
    EXPECT_EQ(saved.database[1],
              (IsotopeRecord{
                  .name = "Zn-65", .enabled = 1, .lines = {{1115.539, 0.5004}, {511.0, 0.0284}}}))
        << "the file keeps the strongest line first";
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DatabaseWindow, EditorRefusesTextWithoutALineAndCopiesAndPastes) {
    const std::vector<std::uint8_t> before = test::readBytes(databasePath());
    window.dispatch(Command::IsotopeDatabase);
    ASSERT_TRUE(inEditor(C::Edit, [this](IsotopeEditorDialog& editor) {
        text(editor).selectAll();
        press(editor, E::Copy);
        EXPECT_EQ(ui.clipboard, "Cs-137\r\n661.655\t8.501E-01\r\n");
        text(editor).setPlainText("Cs-137\nno lines here");
        press(editor, E::Ok);
        EXPECT_EQ(ui.messageIds(), std::vector{StringId::IsotopeTextWithoutLines});
        EXPECT_TRUE(editor.isVisible()) << "the text stays to be mended";
        ui.clipboard = "661.7 0.85\r\n";
        text(editor).moveCursor(QTextCursor::End);
        press(editor, E::Paste);
        EXPECT_EQ(text(editor).toPlainText(), "Cs-137\nno lines here661.7 0.85\n");
        press(editor, E::Cancel);
    }));
    EXPECT_EQ(database()->database()[0], cs137());
    EXPECT_FALSE(database()->database().changed());
    database()->close();
    EXPECT_EQ(test::readBytes(databasePath()), before) << "nothing changed, nothing written";
}

TEST_F(DatabaseWindow, DeleteAsksAndAnEmptiedTableNeverReplacesTheFile) {
    const std::vector<std::uint8_t> before = test::readBytes(databasePath());
    window.dispatch(Command::IsotopeDatabase);
    ui.answers = {Answer::No, Answer::Yes};
    press(C::Delete);
    EXPECT_EQ(listed().size(), 1u);
    press(C::Delete);
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(ui.questions,
              (std::vector{StringId::DeleteHistogramQuestion, StringId::DeleteHistogramQuestion}));
    for (const C id : {C::Edit, C::Delete, C::Mark}) {
        EXPECT_FALSE(database()->control(id)->isEnabled());
    }
    database()->close();
    EXPECT_EQ(test::readBytes(databasePath()), before);
}

TEST_F(DatabaseWindow, ADamagedFileIsSaidAndReplacedOnlyWhenTheUserSaysSo) {
    std::vector<std::uint8_t> damaged = test::readBytes(databasePath());
    damaged.insert(damaged.end(), {5, 0, 'X'}); // a record of five lines cut short
    test::writeBytes(databasePath(), damaged);
    for (const Answer answer : {Answer::No, Answer::Yes}) {
        ui.messages.clear();
        window.dispatch(Command::IsotopeDatabase);
        EXPECT_EQ(ui.messageIds(), std::vector{StringId::IsotopeDatabaseNotReadWhole});
        press(C::Mark);
        ui.answers = {answer};
        database()->close();
        const std::vector<std::uint8_t> now = test::readBytes(databasePath());
        if (answer == Answer::No) {
            EXPECT_EQ(now, damaged);
        } else {
            const LoadedDatabase saved = loadDatabase(databasePath());
            EXPECT_EQ(saved.condition, DatabaseCondition::Complete);
            EXPECT_FALSE(saved.database[0].isEnabled());
        }
    }
    EXPECT_EQ(ui.questions,
              (std::vector{StringId::ReplaceDamagedDatabase, StringId::ReplaceDamagedDatabase}));
}

// The magenta pixels of each column of an image.
std::map<int, std::vector<int>> magentaColumns(const QImage& image) {
    std::map<int, std::vector<int>> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) == qRgb(255, 0, 255)) {
                columns[x].push_back(y);
            }
        }
    }
    return columns;
}

TEST_F(DatabaseWindow, SelectedIsotopesLinesStandAtTheirEnergiesOverThePlot) {
    // keV = 10 + 0.5 channel on 2048 channels: 200, 500 and 900 keV at channels 380, 980 and
    // 1780; 1100 keV lies beyond the last channel.
    writeDatabase({cs137(),
                   {.name = "Qq-1",
                    .enabled = 1,
                    .lines = {{500.0, 0.5}, {200.0, 1.0}, {900.0, 0.25}, {1100, 0.9}}}});
    EnergyCalibration& calibration = state.config.energyCalibration;
    calibration.channelScale = 2048, calibration.termCount = 2;
    calibration.coefficients = {10.0, 0.5, 0, 0, 0};
    add(std::vector<std::int32_t>(2048, 100));
    state.config.plot.firstChannel = 0, state.config.plot.lastChannel = 2047;
    state.plotView.cursorFraction = 0.0;
    ASSERT_EQ(state.config.plot.xAxisMode, 0);
    ASSERT_EQ(state.config.plot.fromZero, 1);
    window.resize(1000, 700);
    window.show();

    window.dispatch(Command::IsotopeDatabase);
    EXPECT_EQ(state.config.plot.xAxisMode, 1) << "the axis shows energies";
    static_cast<QListWidget*>(database()->control(C::List))->setCurrentRow(1);
    const std::map<int, std::vector<int>> columns = magentaColumns(plotImage());
    const PixelRect& r = state.plotView.plotRect;
    ASSERT_EQ(columns.size(), 3u);
    const std::vector<std::pair<double, double>> expected{{380, 1.0}, {980, 0.5}, {1780, 0.25}};
    auto column = columns.begin();
    for (const auto& [channel, share] : expected) {
        const double x = r.left + channel * (r.right - r.left) / 2047.0;
        EXPECT_NEAR(column->first, x, 1.0) << channel;
        // From the bottom of the plot (0 counts) up to the share of the top of the range.
        const auto [top, bottom] =
            std::minmax_element(column->second.begin(), column->second.end());
        EXPECT_NEAR(*bottom, r.bottom, 1.0) << channel;
        EXPECT_NEAR(r.bottom - *top, (r.bottom - r.top) * share, 2.0) << channel;
        ++column;
    }

    database()->close();
    EXPECT_TRUE(magentaColumns(plotImage()).empty()) << "gone with the window";
    EXPECT_EQ(state.config.plot.xAxisMode, 1) << "the axis stays on energies";
}

} // namespace
} // namespace kv
