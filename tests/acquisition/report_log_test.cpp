#include "acquisition/report_log.h"

#include "support/fake_ui_services.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace kv {
namespace {

TEST(ReportLog, KeepsTheNewest512NewestFirstCutsLongLinesAndMapsColours) {
    ReportLog log;
    for (int i = 1; i <= 600; ++i) {
        log.append("line " + std::to_string(i), kReportBlack);
    }
    EXPECT_EQ(log.reportCount(), 600);
    const std::string copied = log.copyText();
    EXPECT_EQ(std::count(copied.begin(), copied.end(), '\n'), 512);
    EXPECT_TRUE(copied.starts_with("0600: line 600\r\n0599: line 599\r\n"));
    EXPECT_TRUE(copied.ends_with("\r\n0089: line 89\r\n"));

    log.clear();
    EXPECT_EQ(log.copyText(), "");
    log.append("again", kReportRed, 2);
    EXPECT_EQ(log.copyText(), "\t\t0001: again\r\n");

    std::string cyrillic;
    while (cyrillic.size() < 400) {
        cyrillic += "ж";
    }
    log.append(std::string(200, 'x'), kReportBlack);
    log.append(cyrillic, kReportBlack);
    const std::vector<ReportLine> lines = log.snapshot();
    EXPECT_EQ(lines[1].text, std::string(127, 'x'));
    EXPECT_EQ(lines[2].text, cyrillic.substr(0, 2 * 127)); // 127 whole two-byte letters

    std::vector<ReportColour> colours;
    for (const int flags : {kReportBlack, kReportRed, 2, kReportBlue, kReportMagenta}) {
        colours.push_back(reportColour(flags));
    }
    EXPECT_EQ(colours, (std::vector<ReportColour>{
                           {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 0, 255}}));
}

TEST(ReportLog, CopyAndSaveTakeTheTextOrNothingWhenEmpty) {
    ReportLog log;
    test::FakeUiServices ui;
    ui.clipboard = "kept";
    test::TempDir dir;
    EXPECT_FALSE(copyReportLog(log, ui));
    EXPECT_EQ(ui.clipboard, "kept");
    const WriteOutcome nothing = saveReportLog(log, dir.path("empty.dat"));
    EXPECT_TRUE(!nothing.written && nothing.reason.empty());

    log.append("a", kReportBlue);
    log.append("b", kReportBlue, 1);
    EXPECT_TRUE(copyReportLog(log, ui));
    EXPECT_EQ(ui.clipboard, "\t0002: b\r\n0001: a\r\n");
    ASSERT_TRUE(saveReportLog(log, dir.path("report.dat")).written);
    const auto bytes = test::readBytes(dir.path("report.dat"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ui.clipboard);
    const WriteOutcome failed = saveReportLog(log, dir.path("missing/report.dat"));
    EXPECT_TRUE(!failed.written && !failed.reason.empty());
}

// Workers append while the user-interface thread paints: every snapshot is one consistent
// run of consecutive sequence numbers, and every append notifies the listener.
TEST(ReportLog, AppendsFromManyThreadsWhileSnapshotsAreTaken) {
    ReportLog log;
    std::atomic<int> notified = 0;
    log.setChangeListener([&notified] { ++notified; });
    constexpr int kLines = 4 * 2000;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&log] {
            for (int i = 0; i < kLines / 4; ++i) {
                log.append("worker", kReportBlack);
            }
        });
    }
    while (log.reportCount() < kLines) {
        const std::vector<ReportLine> lines = log.snapshot();
        for (std::size_t i = 1; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].sequence, lines[i - 1].sequence + 1);
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(notified.load(), kLines);
}

} // namespace
} // namespace kv
