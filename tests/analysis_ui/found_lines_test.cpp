// The found-lines window: the search it runs, its table, the clipboard text, its edits and the
// cursor, with a real spectrum and with synthetic ones.

#include "analysis/ui/found_lines_window.h"
#include "analysis/ui/search_settings_dialog.h"
#include "analysis/ui/smoothing_dialog.h"
#include "analysis_ui_fixture.h"
#include "app/print_job.h"
#include "model/append_format.h"
#include "model/cp1251.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QListWidget>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kv {
namespace {

using C = FoundLinesWindow::Control;

const std::string kSpectrum = KV_SPECTRA_DIR "/hst/mix2neq6.hst";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

class FoundLines : public test::AnalysisWindows {
protected:
    FoundLinesWindow* found() { return openWindow<FoundLinesWindow>(WindowKind::FoundLines); }

    void press(C id) { click(found()->control(id)); }

    QListWidget& list() { return *static_cast<QListWidget*>(found()->control(C::List)); }

    // The window's header and rows, one line each.
    std::vector<std::string> shownTable() {
        std::vector<std::string> rows{
            static_cast<QLabel*>(found()->control(C::Header))->text().toStdString()};
        for (int i = 0; i < list().count(); ++i) {
            rows.push_back(list().item(i)->text().toStdString());
        }
        return rows;
    }

    void waitForSearch() {
        ASSERT_NE(found(), nullptr);
        ASSERT_TRUE(waitUntil([this] { return !found()->searching(); }));
    }

    // Starts the search of two lines on a falling continuum, no calibration: energies are
    // channels.
    void searchTwoLines(double exposure = 100.0) {
        std::vector<std::int32_t> counts(2048);
        for (std::size_t i = 0; i < counts.size(); ++i) {
            const double x = static_cast<double>(i);
            counts[i] = static_cast<std::int32_t>(
                2000 * std::exp(-x / 600) + 4000 * std::exp(-(x - 300.3) * (x - 300.3) / 12.5) +
                2000 * std::exp(-(x - 900.7) * (x - 900.7) / 12.5));
        }
        add(counts, exposure);
        window.dispatch(Command::LineSearch);
    }

    // A real spectrum opened with the shipped database beside the program.
    void openRealSpectrum() {
        ASSERT_TRUE(QFile::copy(KV_DATABASE_PATH, QString::fromStdString(databasePath())));
        open(kSpectrum);
    }

    // The lines kvantira-cli search prints for that spectrum.
    std::vector<std::string> cliSearch(QStringList options) {
        options << "--db" << QString::fromStdString(databasePath());
        return linesOf(
            cliOutput(QStringList{"search", QString::fromStdString(kSpectrum)} << options)
                .toStdString());
    }
};

TEST_F(FoundLines, SearchOnARealSpectrumListsTheLinesAndIsotopesTheCommandLineLists) {
    openRealSpectrum();
    ASSERT_EQ(state.list.histogramCount(), 1);
    triggerAnalysisItem("Поиск линий");
    ASSERT_NE(found(), nullptr) << "the menu item opens the window";
    EXPECT_TRUE(found()->searching()) << "the search runs while the windows go on";
    waitForSearch();

    const std::vector<std::string> printed = cliSearch({});
    ASSERT_GT(printed.size(), 30u);
    EXPECT_EQ(shownTable(), printed);
    std::string all;
    for (const std::string& row : printed) {
        all += row + "\n";
    }
    for (const char* isotope : {" Th-234\n", " Ac-228\n", " Bi-214\n", " Pb-214\n", " K-40\n"}) {
        EXPECT_NE(all.find(isotope), std::string::npos) << isotope << " in\n" << all;
    }

    // The diagnostic histograms follow the searched one; the window shows the first line with
    // the cursor on it.
    ASSERT_EQ(state.list.histogramCount(), 4);
    EXPECT_EQ(utf8FromCp1251(state.list.histogramAt(3)->comment.view()), "Результат");
    EXPECT_EQ(list().currentRow(), 0);
    const double channel = state.foundLines.lines()[0].position;
    EXPECT_NEAR(state.plotView.cursorFraction,
                (channel - state.config.plot.firstChannel) /
                    (state.config.plot.lastChannel - state.config.plot.firstChannel),
                1e-3);
}

TEST_F(FoundLines, CopyPutsTheTableWithTheDatabaseLinesOnTheClipboard) {
    writeDatabase({{.name = "Aa-1", .enabled = 1, .lines = {{300.0, 1.0}}},
                   {.name = "Bb-2", .enabled = 1, .lines = {{900.5, 0.5}}}});
    searchTwoLines();
    waitForSearch();
    ASSERT_EQ(state.foundLines.size(), 2u);
    const FoundLine first = state.foundLines.lines()[0];
    const FoundLine second = state.foundLines.lines()[1];
    EXPECT_NEAR(first.energy, 300.3, 0.1);
    EXPECT_NEAR(second.energy, 900.7, 0.1);

    press(C::Copy);
    EXPECT_EQ(ui.clipboard,
              "Эн.(кэВ)\tСчет(ч/с)\tЛиния(кэВ)\tИзотоп\r\n" +
                  formatText("%0.2f\t%0.2f\t300.00\tAa-1\r\n", first.energy, first.rate) +
                  formatText("%0.2f\t%0.2f\t900.50\tBb-2\r\n", second.energy, second.rate));

    // With the efficiency correction (no efficiency points: 1 everywhere) the rate per
    // emission and the activity join; Bb-2's line is emitted in half the decays.
    press(C::EfficiencyCorrection);
    EXPECT_EQ(state.config.identification.efficiencyCorrection, 1);
    EXPECT_EQ(shownTable()[0], "  E(кэВ)    I(ч/с)    A(р/с) Изотоп");
    EXPECT_EQ(shownTable()[2],
              formatText("%8.2f %9.2f %9.2f Bb-2", second.energy, second.rate, 2 * second.rate));
    press(C::Copy);
    EXPECT_EQ(linesOf(ui.clipboard)[0],
              "Энергия,кэВ\tСчет, ч/сек\tИнтеграл,ч/сек\tАктивность,Бк\tЛиния,кэВ\tИзотоп\r");
    EXPECT_EQ(linesOf(ui.clipboard)[2],
              formatText("%0.2f\t%0.2f\t%0.2f\t%0.2f\t900.50\tBb-2\r", second.energy, second.rate,
                         second.rate, 2 * second.rate));
}

TEST_F(FoundLines, SelectionMovesTheCursorAndDeleteRemovesTheSelectedLine) {
    state.config.plot.firstChannel = 0;
    state.config.plot.lastChannel = 2047;
    searchTwoLines();
    waitForSearch();
    ASSERT_EQ(list().count(), 2);
    list().setCurrentRow(1);
    EXPECT_NEAR(state.plotView.cursorFraction, 900.7 / 2047, 1e-4);

    press(C::Delete);
    ASSERT_EQ(state.foundLines.size(), 1u);
    EXPECT_NEAR(state.foundLines.lines()[0].energy, 300.3, 0.1);
    EXPECT_EQ(list().count(), 1);
    EXPECT_NEAR(state.plotView.cursorFraction, 300.3 / 2047, 1e-4) << "on the line left";
    press(C::Delete);
    press(C::Delete); // nothing left to delete
    EXPECT_EQ(state.foundLines.size(), 0u);
    EXPECT_EQ(list().count(), 0);
}

// The approximation window of the fitting windows, as far as the found lines see it.
class ApproximationStandIn : public ToolWindow {
public:
    ApproximationStandIn() : ToolWindow(nullptr) {}
    void command(int) override {}
};

TEST_F(FoundLines, AddTakesTheApproximationsSelectedPeakOnlyWhileThatWindowIsOpen) {
    searchTwoLines(50.0);
    waitForSearch();
    EXPECT_FALSE(found()->control(C::Add)->isEnabled());

    ToolWindow* approximation = state.windows.open(
        WindowKind::Approximation, [] { return std::make_unique<ApproximationStandIn>(); });
    ASSERT_TRUE(state.components.addComponent(ComponentKind::Gaussian,
                                              state.list.currentHistogram(), {550, 650}));
    const std::span<double> p = state.components.parameters(0);
    p[0] = 1000.0; // area
    p[1] = 600.5;  // centre
    found()->command(kRefreshCommand);
    ASSERT_TRUE(found()->control(C::Add)->isEnabled());
    press(C::Add);
    ASSERT_EQ(state.foundLines.size(), 3u);
    EXPECT_EQ(state.foundLines.lines()[1], (FoundLine{600.5, 1000.0 / 50.0, 600.5}))
        << "between the others by energy";
    EXPECT_EQ(list().count(), 3);

    approximation->close();
    found()->command(kRefreshCommand);
    EXPECT_FALSE(found()->control(C::Add)->isEnabled());
}

TEST_F(FoundLines, SearchOfASpectrumGoneMeanwhileIsDroppedAndClosingStopsIt) {
    searchTwoLines();
    ASSERT_TRUE(found()->searching());
    state.list.deleteAt(0); // before the result comes back
    window.refreshList();
    waitForSearch();
    EXPECT_EQ(state.foundLines.size(), 0u);
    EXPECT_TRUE(state.list.empty()) << "no diagnostic histograms for a spectrum not listed";

    add(std::vector<std::int32_t>(1 << 20, 7)); // a long flat spectrum
    window.dispatch(Command::LineSearch);
    ASSERT_TRUE(found()->searching());
    found()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(found(), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(state.list.histogramCount(), 1) << "a stopped search adds nothing";
}

TEST_F(FoundLines, AResultWaitsUntilAModalDialogOpenedMeanwhileHasClosed) {
    searchTwoLines();
    ASSERT_TRUE(withDialog<SmoothingDialog>(Command::Smoothing, [this](SmoothingDialog& dialog) {
        ASSERT_TRUE(waitUntil([this] { return found()->resultWaiting(); }));
        EXPECT_EQ(state.list.histogramCount(), 1) << "the list stays as the dialog found it";
        click(dialog.control(SmoothingDialog::Control::Ok));
    }));
    waitForSearch();
    ASSERT_EQ(state.list.histogramCount(), 5);
    EXPECT_EQ(utf8FromCp1251(state.list.histogramAt(1)->comment.view()), "Результат фильтрации")
        << "the spectrum the user had chosen was smoothed";
    EXPECT_EQ(utf8FromCp1251(state.list.histogramAt(2)->comment.view()), "Оригинал");
    EXPECT_EQ(state.foundLines.size(), 2u);
}

TEST_F(FoundLines, ThePrintedTableFollowsTheOpenWindow) {
    writeDatabase({{.name = "Aa-1", .enabled = 1, .lines = {{300.0, 1.0}}}});
    searchTwoLines();
    waitForSearch();
    const std::vector<std::string> rows = printedLineRows(state);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[0].find("(Aa-1)"), std::string::npos) << rows[0];

    found()->close();
    EXPECT_TRUE(printedLineRows(state).empty()) << "the lines stay, but the window is closed";
    EXPECT_EQ(state.foundLines.size(), 2u);
}

// "Уточнять площади" in the search settings: the next search refits the areas, and the table,
// its copy and the printout carry the errors, as kvantira-cli search --refine prints them. The
// switch lives for the session only: the stored configuration does not change.
TEST_F(FoundLines, RefinedAreasShowTheirErrorsInTheTableTheCopyAndThePrintout) {
    openRealSpectrum();
    const AppConfig before = state.config;
    using S = SearchSettingsDialog;
    const auto toggle = [](S& dialog) {
        click(dialog.control(S::PeaksControl::RefineAreas));
        click(dialog.control(S::Control::Ok));
    };
    ASSERT_TRUE(withDialog<S>(Command::SearchSettings, [&toggle](S& dialog) {
        const auto* box =
            static_cast<QAbstractButton*>(dialog.control(S::PeaksControl::RefineAreas));
        EXPECT_EQ(box->text(), "Уточнять площади");
        EXPECT_FALSE(box->isChecked()) << "off at start";
        toggle(dialog);
    }));
    EXPECT_TRUE(state.refineAreas);
    EXPECT_EQ(state.config, before);
    window.dispatch(Command::LineSearch);
    waitForSearch();

    std::vector<std::string> printed = cliSearch({"--refine"});
    const std::vector<std::string> shown = shownTable();
    ASSERT_GT(shown.size(), 30u);
    ASSERT_GT(printed.size(), shown.size());
    printed.resize(shown.size()); // the footnote and the detection limits follow the table
    EXPECT_EQ(shown, printed);
    EXPECT_EQ(shown[0], "  E(кэВ)  C(имп/с)         ± Изотоп");

    press(C::Copy);
    const std::vector<std::string> copied = linesOf(ui.clipboard);
    EXPECT_EQ(copied[0], "Эн.(кэВ)\tСчет(ч/с)\t±\tЛиния(кэВ)\tИзотоп\r");
    const FoundLine& first = state.foundLines.lines()[0];
    ASSERT_TRUE(state.foundLines.rateError(0));
    EXPECT_TRUE(copied[1].starts_with(formatText("%0.2f\t%0.2f\t%0.2f\t", first.energy, first.rate,
                                                 *state.foundLines.rateError(0))))
        << copied[1];
    const std::vector<std::string> rows = printedLineRows(state);
    ASSERT_EQ(rows.size(), state.foundLines.size());
    EXPECT_NE(rows[0].find(formatText(" ±%8.2f", *state.foundLines.rateError(0))),
              std::string::npos)
        << rows[0];

    // Switched off again: the same lines without the error columns.
    ASSERT_TRUE(withDialog<S>(Command::SearchSettings, toggle));
    EXPECT_FALSE(state.refineAreas);
    EXPECT_EQ(shownTable()[0], "  E(кэВ)  C(имп/с) Изотоп");
    EXPECT_EQ(printedLineRows(state)[0].find("±"), std::string::npos);
}

} // namespace
} // namespace kv
