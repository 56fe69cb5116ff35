#include "model/text_export.h"

#include "model/append_format.h"
#include "support/fake_ui_services.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

namespace kv {
namespace {

struct ScriptedQuestions : TextExportQuestions {
    bool accept = true;
    bool oneFile = true;
    bool withNames = false;
    std::deque<OverwriteAnswer> answers;
    std::vector<std::string> asked;

    bool chooseOptions(bool& chosenOneFile, bool& chosenNames) override {
        chosenOneFile = oneFile;
        chosenNames = withNames;
        return accept;
    }
    OverwriteAnswer askOverwrite(const std::string& path) override {
        asked.push_back(path);
        const OverwriteAnswer a = answers.empty() ? OverwriteAnswer::Cancel : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return a;
    }
};

std::string contentOf(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class TextExportTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeUiServices ui;
    ScriptedQuestions questions;
    AppConfig config;
    DocumentState state;
    HistogramList list{state};

    // Five 4-channel histograms whose channel j holds 10 * (p + 1) + j, marked where asked.
    void fill(std::initializer_list<int> marked) {
        list.setChannelCount(4);
        for (int p = 0; p < 5; ++p) {
            auto h = list.newHistogram();
            for (int j = 0; j < 4; ++j) {
                h->channels[static_cast<std::size_t>(j)] = 10 * (p + 1) + j;
            }
            h->kind = std::find(marked.begin(), marked.end(), p) != marked.end() ? kMarkedBit : 0;
            list.addHistogram(std::move(h));
        }
    }
};

TEST(FormatText, ShortAndLongFormsAndTheShortestDouble) {
    EXPECT_EQ(formatText("%0.2f\t%d", 2.5, 7), "2.50\t7");
    // Past the small buffer the whole text still comes back.
    const std::string large = formatText("%f", 1e300);
    EXPECT_EQ(large.size(), 308u);
    EXPECT_EQ(large.substr(large.size() - 7), ".000000");
    EXPECT_EQ(shortestNumberText(0.1827531), "0.1827531");
    EXPECT_EQ(shortestNumberText(1.7723e-08), "1.7723e-08");
}

TEST_F(TextExportTest, OneFileOfMarkedEntriesLabelsThemByListPosition) {
    fill({0, 2});
    ui.saveAnswers = {dir.path("all.dat")};
    const TextExportResult result = exportText(list, config, ui, questions);
    ASSERT_EQ(result.written, std::vector{dir.path("all.dat")});
    EXPECT_EQ(contentOf(dir.path("all.dat")), "   Канал\t         1*\t         3\r\n"
                                              "       1\t1.0000E+01\t3.0000E+01\r\n"
                                              "       2\t1.1000E+01\t3.1000E+01\r\n"
                                              "       3\t1.2000E+01\t3.2000E+01\r\n"
                                              "       4\t1.3000E+01\t3.3000E+01\r\n");
    // The dialog's choices, the path and its directory are kept; the save dialog offers *.DAT.
    EXPECT_EQ(config.textExport.exportPath, dir.path("all.dat"));
    EXPECT_EQ(config.lastDirectory, dir.root() + "/");
    EXPECT_EQ(config.textExport.exportNames, 0);
    ASSERT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_EQ(ui.saveDialogs[0].initialName, "spectrum.dat");
    EXPECT_EQ(ui.saveDialogs[0].filterIndex, 1);
}

TEST_F(TextExportTest, SeparateFilesAreNumberedByListPositionAndSplitAtTheNameOnly) {
    fill({1, 4});
    questions.oneFile = false;
    questions.withNames = true;
    ui.saveAnswers = {dir.path("report.txt")};
    EXPECT_EQ(exportText(list, config, ui, questions).written,
              (std::vector{dir.path("report0002.txt"), dir.path("report0005.txt")}));
    EXPECT_EQ(config.textExport.exportOneFile, 0);
    const std::string text = contentOf(dir.path("report0002.txt"));
    EXPECT_EQ(text.substr(text.find("\r\n") + 2), "\r\n       1\t2.0000E+01\r\n"
                                                  "       2\t2.1000E+01\r\n"
                                                  "       3\t2.2000E+01\r\n"
                                                  "       4\t2.3000E+01\r\n");

    // A dot in a directory name does not start the extension.
    std::filesystem::create_directory(dir.path("data.old"));
    ui.saveAnswers = {dir.path("data.old/run")};
    exportText(list, config, ui, questions);
    EXPECT_TRUE(std::filesystem::exists(dir.path("data.old/run0002")));
    EXPECT_TRUE(std::filesystem::exists(dir.path("data.old/run0005")));
}

TEST_F(TextExportTest, CancelAtTheOverwriteQuestionKeepsTheFilesWrittenBefore) {
    fill({0, 1, 2});
    config.textExport.exportOneFile = 0;
    config.textExport.exportPath = dir.path("s.dat");
    const std::vector<int> positions = exportedPositions(list, false);
    ASSERT_EQ(writeTextExport(list, config, positions, nullptr).written.size(), 3u);

    questions.answers = {OverwriteAnswer::Overwrite, OverwriteAnswer::Cancel};
    const TextExportResult stopped = writeTextExport(list, config, positions, &questions);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.written, std::vector{dir.path("s0001.dat")});
    EXPECT_EQ(questions.asked.size(), 2u);
}

TEST_F(TextExportTest, NothingIsWrittenWithoutMarksOrOnCancelAndAFailedWriteIsReported) {
    fill({});
    ui.saveAnswers = {dir.path("none.dat")};
    EXPECT_TRUE(exportText(list, config, ui, questions).written.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path("none.dat")));

    list.toggleMark(0);
    questions.accept = false;
    EXPECT_TRUE(exportText(list, config, ui, questions).written.empty());
    EXPECT_EQ(ui.saveDialogs.size(), 1u) << "Cancel in the options dialog ends the export";

    questions.accept = true;
    ui.saveAnswers = {dir.path("missing/x.dat")};
    const TextExportResult failed = exportText(list, config, ui, questions);
    EXPECT_EQ(failed.failedPath, dir.path("missing/x.dat"));
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::FileWriteFailed});

    // An empty name is a file that cannot be written, not a success that wrote nothing.
    config.textExport.exportOneFile = 1;
    config.textExport.exportPath.clear();
    const TextExportResult unnamed = writeTextExport(list, config, std::vector{0}, nullptr);
    EXPECT_EQ(unnamed.failedPath, std::string());
    EXPECT_TRUE(unnamed.written.empty());
}

} // namespace
} // namespace kv
