#include "model/clipboard_text.h"

#include "model/cp1251.h"
#include "support/fake_ui_services.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

class ClipboardTextTest : public ::testing::Test {
protected:
    test::FakeUiServices ui;
    AppConfig config;
    DocumentState state;
    HistogramList list{state};

    Histogram& addCounts(std::int32_t channels) {
        list.setChannelCount(channels);
        auto h = list.newHistogram();
        for (std::int32_t j = 0; j < channels; ++j) {
            h->channels[static_cast<std::size_t>(j)] = (j * 37) % 101 - 5;
        }
        h->total = sumChannels(*h, 0, channels - 1);
        h->exposure = 4.0;
        list.addHistogram(std::move(h));
        return *list.currentHistogram();
    }
};

std::string numberedLines(int n, const char* lineEnd) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        text += std::to_string(i) + ".5\t" + std::to_string(i + 1) + lineEnd;
    }
    return text;
}

TEST_F(ClipboardTextTest, CopyThenPasteInCountsModeGivesTheSameCountsUnderANewName) {
    const Histogram& copied = addCounts(2048);
    copyToClipboard(list, config, ui);
    EXPECT_EQ(ui.clipboard.substr(0, ui.clipboard.find("\r\n") + 2), "0\t-5\r\n");
    const std::size_t lastLine = ui.clipboard.rfind("\r\n", ui.clipboard.size() - 3) + 2;
    EXPECT_EQ(ui.clipboard.substr(lastLine, 5), "2047\t");

    const Histogram* pasted = pasteFromClipboard(list, ui);
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->channels, copied.channels);
    EXPECT_EQ(pasted->total, copied.total);
    EXPECT_EQ(pasted->exposure, 100.0);
    EXPECT_EQ(pasted->kind, kKindPasted);
    EXPECT_TRUE(pasted->isMarked());
    EXPECT_NE(utf8FromCp1251(pasted->name.view()).find("Без названия"), std::string::npos);
    EXPECT_EQ(utf8FromCp1251(pasted->comment.view()), "Данные из буфера обмена");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ClipboardTextTest, CopyFormsFollowTheAxisModes) {
    Histogram& h = addCounts(3);
    h.channels = {8, 2, 0};
    h.total = 10;
    config.plot.yAxisMode = 1;
    EXPECT_EQ(histogramClipboardText(h, config),
              "0\t2\r\n1\t0\r\n2\t0\r\n"); // 8 / 4 s, 0.5 rounds to even
    config.plot.yAxisMode = 2;
    config.plot.xAxisMode = 1;
    config.energyCalibration.termCount = 2;
    config.energyCalibration.coefficients = {10.0, 2.0, 0.0, 0.0, 0.0};
    config.energyCalibration.channelScale = 3;
    EXPECT_EQ(histogramClipboardText(h, config),
              "10.00\t0.800\r\n12.00\t0.200\r\n14.00\t0.000\r\n");
}

TEST_F(ClipboardTextTest, PasteFillsAtMostTheChannelCountAndNeedsThreeCrLfLines) {
    addCounts(2048);
    ui.clipboard = numberedLines(10, "\r\n");
    const Histogram* ten = pasteFromClipboard(list, ui);
    ASSERT_NE(ten, nullptr);
    EXPECT_EQ(ten->channels[9], 10);
    EXPECT_EQ(ten->channels[10], 0);
    EXPECT_EQ(ten->total, 55u);

    // Line feeds alone: only the first line is counted, so the text is refused.
    ui.clipboard = numberedLines(10, "\n");
    EXPECT_EQ(pasteFromClipboard(list, ui), nullptr);
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::WrongDataFormat});
    EXPECT_EQ(list.histogramCount(), 2);
}

TEST(ParsePastedCounts, ReadsAsScanfDoes) {
    // Signs, exponents and blanks before the numbers; the line after the first unreadable one
    // does not count.
    EXPECT_EQ(parsePastedCounts("  -1e2 +7\r\n.5\t-3 trailing\r\n2 4\r\nx 1\r\n5 5\r\n", 8),
              (std::vector<std::int32_t>{7, -3, 4}));
    EXPECT_FALSE(parsePastedCounts("1 2\r\n3 4\r\n", 8)) << "two lines";
    EXPECT_FALSE(parsePastedCounts("1 2\r\n3 4\r\n5 99999999999\r\n", 8)) << "count beyond int32";
    // A count with a fraction is read up to its '.'.
    EXPECT_EQ(parsePastedCounts("1.5\t2.5\r\n3 4\r\n5 6\r\n", 8),
              (std::vector<std::int32_t>{2, 4, 6}));
    // A last line without CR LF still counts.
    EXPECT_EQ(parsePastedCounts("1 2\r\n3 4\r\n5 6", 2), (std::vector<std::int32_t>{2, 4}));
}

} // namespace
} // namespace kv
