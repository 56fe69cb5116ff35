// A list of 10,000 histograms: opening it, sorting it by each column and scrolling through it
// must never hold the user-interface thread for more than 100 ms.

#include "app/list_pane.h"
#include "app/main_window.h"
#include "gui/app_state.h"
#include "model/histogram_file.h"
#include "model/histogram_list.h"
#include "support/fake_ui_services.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace kv {
namespace {

constexpr int kHistograms = 10000;
constexpr auto kLongestPause = std::chrono::milliseconds(100);

// Runs an action of the user and every event it leaves (repaints included) and returns how long
// the thread worked on them: what the user waits for is the thread's own work.
template <typename Action> std::chrono::nanoseconds pauseOf(Action action) {
    const auto start = test::threadCpuTime();
    action();
    QApplication::processEvents();
    const auto pause = test::threadCpuTime() - start;
    // The figures go with the test's results (--gtest_output).
    ::testing::Test::RecordProperty("pause_us_" + std::to_string(::testing::UnitTest::GetInstance()
                                                                     ->current_test_info()
                                                                     ->result()
                                                                     ->test_property_count()),
                                    static_cast<int>(pause.count() / 1000));
    return pause;
}

std::vector<std::uint8_t> largeFile() {
    DocumentState document;
    HistogramList list(document);
    list.setChannelCount(1024);
    for (int k = 0; k < kHistograms; ++k) {
        auto h = list.newHistogram();
        // Names, times, totals, exposures and comments in orders of their own.
        h->name.assign("Spectrum " + std::to_string(k * 7919 % kHistograms));
        h->comment.assign(k % 3 ? "sample " + std::to_string(k % 97) : "");
        h->created = {static_cast<std::uint16_t>(2000 + k % 30),
                      static_cast<std::uint16_t>(1 + k % 12),
                      0,
                      static_cast<std::uint16_t>(1 + k % 28),
                      static_cast<std::uint16_t>(k % 24),
                      static_cast<std::uint16_t>(k % 60),
                      0,
                      0};
        h->exposure = 1.0 + (k * 104729 % 100000) / 10.0;
        for (std::size_t c = 0; c < h->channels.size(); ++c) {
            h->channels[c] = static_cast<std::int32_t>((c * 31 + k) % 200);
        }
        h->total = sumChannels(*h, 0, 1023);
        h->kind = k % 1000 == 0 ? kMarkedBit : 0;
        list.addHistogram(std::move(h));
    }
    return encodeHistogramFile(list, AppConfig{});
}

TEST(LargeList, OpensSortsAndScrollsWithoutLongPauses) {
    test::TempDir home;
    test::writeBytes(home.path("large.hst"), largeFile());
    AppState state{home.root() + "/"};
    test::FakeUiServices ui;
    MainWindow window{state, ui};
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();

    const auto open =
        pauseOf([&] { window.dispatch(Command::CommandLineOpen, home.path("large.hst")); });
    ASSERT_EQ(state.list.histogramCount(), kHistograms);
    ListPane& pane = window.listPane();
    ASSERT_EQ(pane.topLevelItemCount(), kHistograms);
    EXPECT_LT(open, kLongestPause) << "opening";

    QHeaderView& header = *pane.header();
    for (int column = 0; column < header.count(); ++column) {
        const QPoint onHeader(header.sectionViewportPosition(column) + 4, header.height() / 2);
        const auto sort =
            pauseOf([&] { QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, onHeader); });
        EXPECT_LT(sort, kLongestPause) << "sorting by column " << column;
    }
    // The last column sorted is the comment: the empty ones first.
    EXPECT_EQ(pane.topLevelItem(0)->text(4), "");
    EXPECT_EQ(pane.topLevelItem(kHistograms - 1)->text(4).left(7), "sample ");

    QScrollBar& scroll = *pane.verticalScrollBar();
    ASSERT_GT(scroll.maximum(), 1000);
    for (int step = 0; step <= 20; ++step) {
        const auto move =
            pauseOf([&] { scroll.setValue(scroll.maximum() * (step * 7 % 21) / 20); });
        EXPECT_LT(move, kLongestPause) << "scrolling, step " << step;
    }
}

} // namespace
} // namespace kv
