// "Отчет": the report log's lines in their colours, newest first, scrolled by lines and pages,
// copied and saved; lines a run adds appear while the window is open.

#include "acquisition/ui/measurement_fixture.h"

#include "acquisition/ui/report_window.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QScrollBar>

#include <algorithm>
#include <string>

namespace kv {
namespace {

using test::MeasurementFixture;
using M = ReportWindow::MenuCommand;

ReportWindow* reportWindow(AppState& state) {
    return dynamic_cast<ReportWindow*>(state.windows.find(WindowKind::ReportLog));
}

TEST_F(MeasurementFixture, ReportWindowShowsNewestFirstInColourAndScrollsByLinesAndPages) {
    for (int i = 1; i <= 600; ++i) {
        state.reportLog.append("line " + std::to_string(i), i == 600 ? kReportMagenta : 0);
    }
    window->dispatch(Command::ReportWindow);
    ReportWindow* report = reportWindow(state);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->windowTitle(), QString::fromUtf8("Отчет"));
    report->resize(500, 300);
    std::vector<ReportWindow::ShownLine> shown = report->shownLines();
    ASSERT_GT(shown.size(), 5u);
    EXPECT_EQ(shown[0].text, "0600. line 600");
    EXPECT_EQ(shown[0].colour, QColor(255, 0, 255));
    EXPECT_EQ(shown[0].top, 0);
    EXPECT_EQ(shown[1].text, "0599. line 599");
    EXPECT_EQ(shown[1].colour, QColor(0, 0, 0));
    EXPECT_GT(shown[1].top, shown[0].top);

    // The range ends where the oldest retained line, 0089, is the last one in view.
    QScrollBar& bar = report->scrollBar();
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(report->shownLines()[0].text, "0599. line 599");
    bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(report->shownLines()[0].text, "0579. line 579");
    bar.triggerAction(QAbstractSlider::SliderToMaximum);
    shown = report->shownLines();
    EXPECT_EQ(shown.back().text, "0089. line 89");
    EXPECT_EQ(bar.maximum(), 512 - static_cast<int>(shown.size()));

    // Clear: the next line is 0001 again, and the only one.
    report->command(static_cast<int>(M::Clear));
    state.reportLog.append("after clear", kReportBlue);
    report->command(kRefreshCommand);
    shown = report->shownLines();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "0001. after clear");
    EXPECT_EQ(shown[0].colour, QColor(0, 0, 255));
}

// At the size the system is left to choose, the longest line the program writes (72
// characters: an expanded X-ray result) is whole in view: glyphs advance by fractions of a pixel.
TEST_F(MeasurementFixture, ReportWindowOpensWideEnoughForTheLongestResultLine) {
    state.reportLog.append(std::string(72, '8'), 0);
    window->dispatch(Command::ReportWindow);
    ReportWindow* report = reportWindow(state);
    ASSERT_NE(report, nullptr);
    const QImage view = report->findChild<QAbstractScrollArea*>()->viewport()->grab().toImage();
    // The lines start one character in, so the leftmost ink measures a character's width.
    int leftmostInk = view.width();
    int rightmostInk = -1;
    for (int y = 0; y < view.height(); ++y) {
        for (int x = 0; x < view.width(); ++x) {
            if (qGray(view.pixel(x, y)) < 128) {
                leftmostInk = std::min(leftmostInk, x);
                rightmostInk = std::max(rightmostInk, x);
            }
        }
    }
    ASSERT_GT(rightmostInk, view.width() / 2);
    EXPECT_GT(view.width() - rightmostInk, leftmostInk / 2)
        << "the line runs into the edge of the view, cut off";
}

TEST_F(MeasurementFixture, ReportWindowCopiesAndSavesNewestFirstAndReopensInItsPlace) {
    window->dispatch(Command::ReportWindow);
    ReportWindow* report = reportWindow(state);
    ASSERT_NE(report, nullptr);
    // Nothing to copy or save yet.
    report->command(static_cast<int>(M::Copy));
    report->command(static_cast<int>(M::Save));
    EXPECT_TRUE(ui.clipboard.empty());
    EXPECT_TRUE(ui.saveDialogs.empty());

    state.reportLog.append("first", 0);
    state.reportLog.append("second", kReportRed);
    report->command(static_cast<int>(M::Copy));
    EXPECT_EQ(ui.clipboard, "0002: second\r\n0001: first\r\n");

    state.config.lastDirectory = home.root() + "/";
    ui.saveAnswers = {home.path("report.dat")};
    report->command(static_cast<int>(M::Save));
    ASSERT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_EQ(ui.saveDialogs[0].title, StringId::SaveReportTitle);
    EXPECT_EQ(ui.saveDialogs[0].initialName, "spectrum.dat");
    EXPECT_EQ(ui.saveDialogs[0].defaultExtension, "DAT");
    EXPECT_EQ(test::readText(home.path("report.dat")), "0002: second\r\n0001: first\r\n");
    EXPECT_EQ(state.config.textExport.exportPath, home.path("report.dat"));

    // A file that cannot be written is reported.
    ui.saveAnswers = {home.path("no such directory/report.dat")};
    report->command(static_cast<int>(M::Save));
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::FileWriteFailed});

    // 406 again closes it; once more reopens it where it was, with the same lines.
    report->setGeometry(120, 90, 420, 260);
    window->dispatch(Command::ReportWindow);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(reportWindow(state), nullptr);
    window->dispatch(Command::ReportWindow);
    report = reportWindow(state);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->geometry(), QRect(120, 90, 420, 260));
    EXPECT_EQ(report->shownLines().size(), 2u);
}

TEST_F(MeasurementFixture, LinesARunReportsAppearInTheOpenReportWindow) {
    window->dispatch(Command::ReportWindow);
    ReportWindow* report = reportWindow(state);
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(window->runs()
                    .start([](RunHost& host, RunFlags&) {
                        host.reportLine("               1.000               2.000", kReportMagenta,
                                        0);
                    })
                    .started());
    ASSERT_TRUE(waitForRunEnd());
    const std::vector<ReportWindow::ShownLine> shown = report->shownLines();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "0001.                1.000               2.000");
    EXPECT_EQ(shown[0].colour, QColor(255, 0, 255));
}

} // namespace
} // namespace kv
