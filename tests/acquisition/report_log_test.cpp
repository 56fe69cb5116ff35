#include "acquisition/report_log.h"

#include "support/fake_ui_services.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace kv {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

TEST(ReportLog, KeepsTheNewest512AndCopiesThemNewestFirst) {
    ReportLog log;
    for (int i = 1; i <= 600; ++i) {
        log.append("line " + std::to_string(i), kReportBlack);
    }
    EXPECT_EQ(log.reportCount(), 600);
    const std::vector<ReportLine> lines = log.snapshot();
    ASSERT_EQ(lines.size(), 512u);
    EXPECT_EQ(lines.front().sequence, 88); // shown as 0089
    EXPECT_EQ(lines.back().text, "line 600");

    const std::vector<std::string> copied = linesOf(log.copyText());
    ASSERT_EQ(copied.size(), 512u);
    EXPECT_EQ(copied.front(), "0600: line 600");
    EXPECT_EQ(copied.back(), "0089: line 89");

    log.clear();
    EXPECT_EQ(log.copyText(), "");
    log.append("again", kReportRed, 2);
    EXPECT_EQ(log.copyText(), "\t\t0001: again\r\n");
}

TEST(ReportLog, CutsLongLinesByCharactersAndMapsColourFlags) {
    ReportLog log;
    log.append(std::string(200, 'x'), kReportBlack);
    std::string cyrillic;
    for (int i = 0; i < 200; ++i) {
        cyrillic += "ж";
    }
    log.append(cyrillic, kReportBlack);
    const std::vector<ReportLine> lines = log.snapshot();
    EXPECT_EQ(lines[0].text, std::string(127, 'x'));
    EXPECT_EQ(lines[1].text, cyrillic.substr(0, 2 * 127)); // 127 whole two-byte letters

    EXPECT_EQ(reportColour(kReportBlack), (ReportColour{0, 0, 0}));
    EXPECT_EQ(reportColour(kReportRed), (ReportColour{255, 0, 0}));
    EXPECT_EQ(reportColour(2), (ReportColour{0, 255, 0}));
    EXPECT_EQ(reportColour(kReportBlue), (ReportColour{0, 0, 255}));
    EXPECT_EQ(reportColour(kReportMagenta), (ReportColour{255, 0, 255}));
}

TEST(ReportLog, CopyAndSaveTakeTheTextOrNothingWhenEmpty) {
    ReportLog log;
    test::FakeUiServices ui;
    ui.clipboard = "kept";
    test::TempDir dir;
    EXPECT_FALSE(copyReportLog(log, ui));
    EXPECT_EQ(ui.clipboard, "kept");
    const WriteOutcome nothing = saveReportLog(log, dir.path("empty.dat"));
    EXPECT_FALSE(nothing.written);
    EXPECT_TRUE(nothing.reason.empty());
    EXPECT_TRUE(test::readBytes(dir.path("empty.dat")).empty());

    log.append("a", kReportBlue);
    log.append("b", kReportBlue, 1);
    EXPECT_TRUE(copyReportLog(log, ui));
    EXPECT_EQ(ui.clipboard, "\t0002: b\r\n0001: a\r\n");
    ASSERT_TRUE(saveReportLog(log, dir.path("report.dat")).written);
    const auto bytes = test::readBytes(dir.path("report.dat"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ui.clipboard);
    const WriteOutcome failed = saveReportLog(log, dir.path("missing/report.dat"));
    EXPECT_FALSE(failed.written);
    EXPECT_FALSE(failed.reason.empty());
}

// Workers append while the user-interface thread paints: every snapshot is one consistent
// run of consecutive sequence numbers, and every append notifies the listener.
TEST(ReportLog, AppendsFromManyThreadsWhileSnapshotsAreTaken) {
    ReportLog log;
    std::atomic<int> notified = 0;
    log.setChangeListener([&notified] { ++notified; });
    constexpr int kThreads = 4;
    constexpr int kLines = 2000;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i) {
                log.append("worker " + std::to_string(t), kReportBlack);
            }
        });
    }
    while (log.reportCount() < kThreads * kLines) {
        const std::vector<ReportLine> lines = log.snapshot();
        for (std::size_t i = 1; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].sequence, lines[i - 1].sequence + 1);
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(log.reportCount(), kThreads * kLines);
    EXPECT_EQ(notified.load(), kThreads * kLines);
}

} // namespace
} // namespace kv
