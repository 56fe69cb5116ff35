#include "model/document.h"

#include "model/configuration_file.h"
#include "model/histogram_file.h"
#include "support/allocation_limit.h"
#include "support/fake_ui_services.h"
#include "support/fifo_guard.h"
#include "support/temp_dir.h"
#include "support/write_limit.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace kv {
namespace {

using test::FakeUiServices;

// One copy of the program: a document over its own list and configuration.
struct Session {
    FakeUiServices ui;
    AppConfig config;
    DocumentState state;
    HistogramList list{state};
    Document document{list, config, state, ui};
};

class DocumentTest : public ::testing::Test, protected Session {
protected:
    test::TempDir dir;

    // Writes a histogram file with histograms of the given stored names and channel count.
    std::string makeFile(const std::string& name, const std::vector<std::string>& names,
                         std::int32_t channels = 16, const AppConfig& trailer = AppConfig{}) {
        DocumentState otherState;
        HistogramList other(otherState);
        other.setChannelCount(channels);
        for (const auto& n : names) {
            auto h = other.newHistogram();
            h->channels[1] = 5, h->total = 5;
            other.addHistogram(std::move(h));
            other.rename(other.currentIndex(), n);
        }
        const std::string path = dir.path(name);
        test::writeBytes(path, encodeHistogramFile(other, trailer));
        return path;
    }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (int i = 0; i < list.histogramCount(); ++i) {
            result.push_back(list.histogramAt(i)->name.str());
        }
        return result;
    }

    void openPath(const std::string& path) { ui.openAnswers.push_back(path), document.open(); }
};

TEST_F(DocumentTest, OpenRenumbersNamesAndTitlesTheDocument) {
    const auto path = makeFile("three.hst", {"7. Co-60", "abc. x", "1.5 MeV"});
    config.lastDirectory = "/somewhere/", config.documentPath = "noname.hst";
    EXPECT_EQ(document.open(), ReadOutcome::Cancelled) << "no answer queued: cancelled";
    ui.openAnswers.push_back(path);
    EXPECT_EQ(document.open(), ReadOutcome::Read);

    EXPECT_EQ(names(), (std::vector<std::string>{" 1. Co-60", " 2. abc. x", " 3. 5 MeV"}));
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(config.documentPath, path);
    EXPECT_EQ(config.lastDirectory, dir.root() + "/");
    EXPECT_EQ(document.titleText(), "Multy channel kvantira: three.hst");
    EXPECT_TRUE(state.documentSaved && !state.documentUntitled);
    const FileDialogRequest& d = ui.openDialogs.back();
    EXPECT_TRUE(d.title == StringId::OpenFileTitle && d.filter == StringId::HistogramFilter);
    EXPECT_EQ(d.initialName + d.initialDirectory + d.defaultExtension, "noname.hst/somewhere/HST");

    ui.openAnswers.push_back("");
    EXPECT_EQ(document.open(), ReadOutcome::Cancelled);
    EXPECT_EQ(list.histogramCount(), 3) << "cancelling the dialog keeps the list";
}

TEST_F(DocumentTest, FileReadAndWrittenBackIsByteIdenticalOnlyWhenChanged) {
    AppConfig trailer;
    trailer.energyCalibration.channelScale = 2048,
    trailer.energyCalibration.coefficients = {1.5, 2.5, 0.001, 0, 0};
    trailer.plot.firstChannel = 3, trailer.plot.lastChannel = 9, trailer.plot.roundRange = 0;
    const auto path = makeFile("a.hst", {" 1. first", " 2. second"}, 16, trailer);
    const auto original = test::readBytes(path);
    openPath(path);
    std::filesystem::remove(path);
    EXPECT_EQ(document.save(), SaveOutcome::NothingToSave);
    EXPECT_FALSE(std::filesystem::exists(path)) << "save with nothing changed writes nothing";
    list.markChanged();
    EXPECT_EQ(document.save(), SaveOutcome::Written);
    EXPECT_EQ(test::readBytes(path), original);
}

TEST_F(DocumentTest, RealSpectrumSurvivesOpenAndSaveAs) {
    openPath(KV_TEST_DATA_DIR "/cs137_nai.hst");
    EXPECT_EQ(list.channelCount(), 1024);
    EXPECT_DOUBLE_EQ(config.energyCalibration.coefficients[1], 2.44);
    ui.saveAnswers.push_back(dir.path("copy.hst"));
    ASSERT_EQ(document.saveAs(), SaveOutcome::Written);
    auto original = test::readBytes(KV_TEST_DATA_DIR "/cs137_nai.hst");
    auto copy = test::readBytes(dir.path("copy.hst"));
    ASSERT_EQ(copy.size(), original.size());
    // Only the name changed: it now carries its list number.
    const std::size_t name = 16 + 4 + 4; // the first histogram's name
    EXPECT_EQ(std::string(copy.begin() + name, copy.begin() + name + 14), " 1. Cs-137 NaI");
    std::fill_n(copy.begin() + name, 128, 0), std::fill_n(original.begin() + name, 128, 0);
    EXPECT_EQ(copy, original);
    EXPECT_EQ(config.documentPath, dir.path("copy.hst"));
}

TEST_F(DocumentTest, QuestionBeforeDiscardingUnsavedWork) {
    const auto path = makeFile("a.hst", {"x"});
    openPath(path);
    list.toggleMark(0);
    ui.answers = {Answer::Cancel};
    EXPECT_FALSE(document.newDocument());
    EXPECT_EQ(list.histogramCount(), 1);
    EXPECT_EQ(ui.questions, std::vector<StringId>{StringId::SaveFileQuestion});

    ui.answers = {Answer::Yes};
    EXPECT_TRUE(document.newDocument());
    EXPECT_TRUE(parseHistogramFile(test::readBytes(path)).histograms[0]->isMarked())
        << "Yes saved the change first";

    openPath(path);
    list.toggleMark(0);
    ui.answers = {Answer::No};
    EXPECT_TRUE(document.newDocument());
    EXPECT_TRUE(list.empty());

    // Yes on an untitled document asks for a name; cancelling that keeps the list.
    list.addHistogram(list.newHistogram());
    ui.answers = {Answer::Yes};
    ui.saveAnswers = {""};
    EXPECT_FALSE(document.newDocument());
    EXPECT_EQ(list.histogramCount(), 1);
    ASSERT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_EQ(ui.saveDialogs[0].title, StringId::SaveFileAsTitle);
    ui.answers = {Answer::Yes};
    ui.saveAnswers = {dir.path("named.hst")};
    EXPECT_TRUE(document.newDocument());
    EXPECT_EQ(parseHistogramFile(test::readBytes(dir.path("named.hst"))).histograms.size(), 1u);
}

TEST_F(DocumentTest, NewAndWrongMagicLeaveAnUntitledDocument) {
    const auto path = dir.path("text.hst");
    test::writeBytes(path, {'h', 'e', 'l', 'l', 'o'});
    document.newDocument();
    EXPECT_EQ(document.titleText(), "Multy channel kvantira: noname.hst");
    EXPECT_TRUE(state.documentSaved && state.documentUntitled && ui.questions.empty());
    openPath(path);
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::UnknownFileFormat});
    EXPECT_EQ(ui.messages[0].caption, StringId::BadNews);
    EXPECT_EQ(config.documentPath, "noname.hst");
    EXPECT_TRUE(state.documentUntitled && !state.documentSaved && list.empty());
}

TEST_F(DocumentTest, DamagedFileKeepsCompleteHistogramsButNotItsTrailerOrPath) {
    AppConfig trailer;
    trailer.energyCalibration.channelScale = 999;
    const auto path = makeFile("d.hst", {"a", "b", "c"}, 16, trailer);
    auto bytes = test::readBytes(path);
    bytes.resize(16 + 2 * (4 + 292 + 64) + 30);
    test::writeBytes(path, bytes);
    openPath(path);
    EXPECT_EQ(names(), (std::vector<std::string>{" 1. a", " 2. b"}));
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::UnknownFileFormat});
    EXPECT_EQ(config.energyCalibration.channelScale, 0) << "no trailer was taken";
    EXPECT_TRUE(state.documentUntitled) << "Save must not replace the damaged file";
    ui.saveAnswers.push_back("");
    list.markChanged(), document.save();
    EXPECT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_EQ(test::readBytes(path), bytes);
}

TEST_F(DocumentTest, AFileTooLargeForTheMemoryIsSaidSoAndKeepsWhatWasRead) {
    const auto path = makeFile("large.hst", {"a", "b", "c"}, 1 << 18); // 1 MiB a histogram
    {
        // The reader's buffer, one histogram and a half.
        const test::AllocationLimit limit((std::size_t{1} << 20) + (std::size_t{3} << 19));
        ui.openAnswers.push_back(path);
        EXPECT_EQ(document.open(), ReadOutcome::Damaged);
    }
    EXPECT_EQ(names(), (std::vector<std::string>{" 1. a"}));
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::FileTooLargeForMemory});
    EXPECT_EQ(ui.messages[0].detail, path);
    EXPECT_TRUE(state.documentUntitled) << "Save must not replace the file with a part of it";
}

TEST_F(DocumentTest, AppendContinuesNumberingAndKeepsTheDocumentPath) {
    const auto first = makeFile("first.hst", {"a", "b"}, 1024);
    std::filesystem::create_directory(dir.path("sub"));
    const auto second = makeFile("sub/second.hst", {"c"}, 1024);
    openPath(first);
    ui.openAnswers.push_back(second);
    EXPECT_EQ(document.append(), ReadOutcome::Read);
    EXPECT_EQ(names(), (std::vector<std::string>{" 1. a", " 2. b", " 3. c"}));
    EXPECT_EQ(config.documentPath, first);
    EXPECT_EQ(config.lastDirectory, dir.path("sub/"));
    EXPECT_FALSE(state.documentSaved);
    EXPECT_EQ(ui.openDialogs.back().title, StringId::AppendFileTitle);
    EXPECT_EQ(document.save(), SaveOutcome::Written);
    EXPECT_EQ(parseHistogramFile(test::readBytes(first)).histograms.size(), 3u);

    // Another channel count adds nothing and keeps the calibrations.
    AppConfig trailer;
    trailer.energyCalibration.channelScale = 4096;
    ui.openAnswers.push_back(makeFile("b.hst", {"b", "c"}, 32, trailer));
    EXPECT_EQ(document.append(), ReadOutcome::DifferentChannelCount);
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::DifferentChannelCounts});
    EXPECT_EQ(list.histogramCount(), 3);
    EXPECT_EQ(config.energyCalibration.channelScale, 0);

    // The channel count follows the opened file and survives New.
    document.newDocument();
    EXPECT_EQ(list.newHistogram()->channels.size(), 1024u);
}

TEST_F(DocumentTest, ReceivedHistogramKeepsItsKindAndRefusesAnotherLength) {
    Histogram sent;
    sent.channels.assign(1024, 7);
    sent.channels[1023] = 9;
    sent.kind = 2;
    sent.exposure = 12.5f;
    sent.name.assign("from the other copy");
    const auto block = encodeHistogramBlock(sent);
    ASSERT_EQ(block.size(), 4 + 292 + 4 * 1024u);

    // An empty list takes the sender's channel count.
    EXPECT_TRUE(document.receiveHistogram(block));
    EXPECT_EQ(list.channelCount(), 1024);
    ASSERT_EQ(list.histogramCount(), 1);
    const Histogram& got = *list.histogramAt(0);
    EXPECT_EQ(got.channels, sent.channels);
    EXPECT_EQ(got.kind, 2);
    EXPECT_EQ(got.exposure, 12.5f);
    EXPECT_FALSE(state.documentSaved);
    EXPECT_EQ(config.plot.lastChannel, 1023);

    Histogram shorter;
    shorter.channels.assign(512, 1);
    EXPECT_FALSE(document.receiveHistogram(encodeHistogramBlock(shorter)));
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::DifferentChannelCounts});
    // A cut block or a wild channel count adds nothing and asks nothing.
    EXPECT_FALSE(document.receiveHistogram(std::span(block).first(block.size() - 1)));
    auto wild = block;
    wild[3] = 0x7f;
    EXPECT_FALSE(document.receiveHistogram(wild));
    EXPECT_EQ(list.histogramCount(), 1);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(DocumentTest, VisibleRangeIsCheckedAfterReading) {
    for (auto [first, last, wantFirst, wantLast] : {std::array{10, 12, 0, 15},
                                                    {10, 13, 10, 13},
                                                    {-1, 5, 0, 15},
                                                    {3, 16, 0, 15},
                                                    {16, 15, 0, 15}}) {
        AppConfig trailer;
        trailer.plot.firstChannel = first, trailer.plot.lastChannel = last;
        openPath(makeFile("r.hst", {"a"}, 16, trailer));
        EXPECT_EQ(config.plot.firstChannel, wantFirst) << first << ".." << last;
        EXPECT_EQ(config.plot.lastChannel, wantLast) << first << ".." << last;
    }
}

TEST_F(DocumentTest, EmptyFileStillCarriesItsTrailerUnlessRestoringIsOff) {
    openPath(makeFile("a.hst", {"a", "b"}));
    AppConfig trailer;
    trailer.energyCalibration.pointCount = 2, trailer.energyCalibration.channelScale = 2048;
    openPath(makeFile("empty.hst", {}, 16, trailer));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(config.energyCalibration.pointCount, 2);
    EXPECT_EQ(config.energyCalibration.channelScale, 2048);

    config.restoreFromDataFile = 0;
    trailer.energyCalibration.channelScale = 4096;
    openPath(makeFile("b.hst", {"a"}, 16, trailer));
    EXPECT_EQ(config.energyCalibration.channelScale, 2048)
        << "the trailer is ignored when restoring is off";
    config.energyCalibration.channelScale = 512;
    list.markChanged(), document.save();
    EXPECT_EQ(*parseHistogramFile(test::readBytes(config.documentPath)).trailer, trailerOf(config))
        << "the trailer is always written from the configuration";
}

TEST_F(DocumentTest, FileThatCannotBeOpenedIsReportedAndChangesNothing) {
    const auto path = makeFile("a.hst", {"a"});
    EXPECT_EQ(document.openFromCommandLine("\"" + path + "\""), ReadOutcome::Read) << "quoted";
    EXPECT_EQ(config.documentPath, path);
    const std::string missing = dir.path("missing.hst");
    EXPECT_EQ(document.openFromCommandLine(missing), ReadOutcome::NotOpened);
    const test::FifoGuard fifo(dir.path("fifo.hst"));
    ui.openAnswers = {dir.root(), missing, fifo.path()};
    EXPECT_EQ(document.open(), ReadOutcome::NotOpened) << "a directory";
    EXPECT_EQ(document.append(), ReadOutcome::NotOpened);
    EXPECT_EQ(document.open(), ReadOutcome::NotOpened) << "a FIFO, refused without waiting";
    EXPECT_FALSE(fifo.rescuedAReader());
    EXPECT_EQ(list.histogramCount(), 1);
    EXPECT_EQ(config.documentPath, path);
    EXPECT_TRUE(state.documentSaved);
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>(4, StringId::FileOpenFailed));
    EXPECT_TRUE(ui.messages[0].detail.starts_with(missing + "\n")) << "the system's reason below";
    EXPECT_GT(ui.messages[0].detail.size(), missing.size() + 1);
}

TEST_F(DocumentTest, FailedSaveIsReportedAndNothingIsLost) {
    const auto path = makeFile("a.hst", {"a", "b"});
    const auto before = test::readBytes(path);
    openPath(path);
    list.toggleMark(0);
    {
        test::WriteLimit limit;
        EXPECT_EQ(document.save(), SaveOutcome::Failed);
        ui.answers = {Answer::Yes};
        EXPECT_FALSE(document.newDocument()) << "a failed save must not discard the list";
    }
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>(2, StringId::FileWriteFailed));
    EXPECT_NE(ui.messages[0].detail.find(path), std::string::npos);
    EXPECT_FALSE(state.documentSaved);
    EXPECT_EQ(list.histogramCount(), 2);
    EXPECT_EQ(test::readBytes(path), before);

    ui.saveAnswers.push_back(dir.path("elsewhere.hst"));
    {
        test::WriteLimit limit;
        EXPECT_EQ(document.saveAs(), SaveOutcome::Failed);
    }
    EXPECT_EQ(config.documentPath, path) << "the title still names the file Save writes";
}

// Names that can never be written and files that are not regular files are refused with the
// reason; the list stays unsaved and the special file stays what it was.
TEST_F(DocumentTest, SaveRefusesImpossibleNamesAndSpecialFiles) {
    openPath(makeFile("a.hst", {"a"}));
    list.toggleMark(0);
    std::filesystem::create_symlink("loop", dir.path("loop"));
    const test::FifoGuard fifo(dir.path("fifo.hst"));
    ui.saveAnswers = {dir.path(std::string(256, 'n')), dir.path("loop"), fifo.path(), dir.root()};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(document.saveAs(), SaveOutcome::Failed) << i;
        ASSERT_EQ(ui.messages.size(), i + 1);
        EXPECT_EQ(ui.messages[i].text, StringId::FileWriteFailed);
        EXPECT_NE(ui.messages[i].detail.find('\n'), std::string::npos) << "path, then reason";
    }
    EXPECT_FALSE(state.documentSaved);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.path()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("loop")));
    EXPECT_FALSE(fifo.rescuedAReader());
}

// Another copy of the program working on the same file: what either saved is never replaced
// without asking, and a file being written is left alone.
TEST_F(DocumentTest, SaveOfAFileChangedOnDiskAsksAndABusyFileIsNotTouched) {
    Session other;
    const std::string path = makeFile("shared.hst", {"a", "b"});
    openPath(path);
    other.ui.openAnswers.push_back(path), other.document.open();
    list.toggleMark(0);
    ASSERT_EQ(document.save(), SaveOutcome::Written) << "unchanged on disk: no question";
    EXPECT_TRUE(ui.questions.empty());

    other.list.toggleMark(1);
    ASSERT_EQ(other.document.save(), SaveOutcome::Cancelled) << "the other copy is asked";
    EXPECT_EQ(other.ui.questions, std::vector{StringId::FileChangedOnDisk});
    other.ui.answers = {Answer::Yes};
    ASSERT_EQ(other.document.save(), SaveOutcome::Written);
    const auto othersFile = test::readBytes(path);

    list.toggleMark(1);
    EXPECT_EQ(document.save(), SaveOutcome::Cancelled);
    EXPECT_EQ(test::readBytes(path), othersFile);
    EXPECT_FALSE(state.documentSaved);
    ui.answers = {Answer::No};
    ui.saveAnswers = {dir.path("mine.hst")};
    EXPECT_EQ(document.save(), SaveOutcome::Written) << "No saves under another name";
    EXPECT_EQ(config.documentPath, dir.path("mine.hst"));
    EXPECT_EQ(test::readBytes(path), othersFile);
    EXPECT_EQ(ui.questions, std::vector<StringId>(2, StringId::FileChangedOnDisk));

    LockAttempt writer = FileLock::acquire(dir.path("mine.hst"), LockWait::No);
    ASSERT_EQ(writer.state, LockState::Locked);
    list.toggleMark(0);
    const auto mine = test::readBytes(dir.path("mine.hst"));
    EXPECT_EQ(document.save(), SaveOutcome::Failed);
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::FileBusy});
    EXPECT_EQ(test::readBytes(dir.path("mine.hst")), mine);
    document.holdLock(std::move(*writer.lock));
    EXPECT_EQ(document.save(), SaveOutcome::Written) << "under the lock the document holds";
    EXPECT_EQ(FileLock::acquire(dir.path("mine.hst"), LockWait::No).state, LockState::Busy)
        << "still held after the save";
}

class ConfigurationFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    FakeUiServices ui;
};

TEST_F(ConfigurationFileTest, SilentSaveAndLoadRoundTrip) {
    AppConfig config;
    config.filters.smoothRadius = 7, config.countWindows.legacyWindowCoefficients[0] = 0.0;
    ASSERT_TRUE(saveConfiguration(config, dir.root() + "/"));
    EXPECT_EQ(test::readBytes(dir.path("confadc.cnf")).size(), kAppConfigSize);
    AppConfig loaded;
    loaded.countWindows.legacyWindowCoefficients[0] = 0.0;
    ASSERT_TRUE(loadConfiguration(loaded, dir.root() + "/"));
    EXPECT_EQ(loaded, config);

    AppConfig untouched;
    EXPECT_FALSE(loadConfiguration(untouched, dir.path("missing") + "/"));
    EXPECT_EQ(untouched, AppConfig{});

    // Legacy values move on every load until saved.
    AppConfig written;
    written.countWindows.legacyWindowCoefficients = {2.5, 3.5, 4.5, 5.5, 6.5, 7.5};
    const auto bytes = encodeAppConfig(written);
    test::writeBytes(dir.path("confadc.cnf"), {bytes.begin(), bytes.end()});
    loadConfiguration(config, dir.root() + "/");
    EXPECT_EQ(config.countWindows.calibrationCoefficients[0], 2.5);
    EXPECT_EQ(config.countWindows.countCoefficients[2], 7.5);
    EXPECT_EQ(config.countWindows.legacyWindowCoefficients[0], 0.0);
    EXPECT_EQ(test::readBytes(dir.path("confadc.cnf"))[1558 + 7], 0x40) << "the file keeps 2.5";
}

TEST_F(ConfigurationFileTest, OnlyTheRecordOfALongerFileIsReadIntoMemory) {
    AppConfig stored;
    stored.filters.smoothRadius = 9;
    const auto record = encodeAppConfig(stored);
    std::vector<std::uint8_t> bytes(record.begin(), record.end());
    bytes.resize(bytes.size() + (std::size_t{8} << 20), 0xAB);
    test::writeBytes(dir.path("confadc.cnf"), bytes);
    AppConfig loaded;
    {
        const test::AllocationLimit limit(std::size_t{2} << 20); // the reader's buffer and more
        ASSERT_TRUE(loadConfiguration(loaded, dir.root() + "/"));
    }
    EXPECT_EQ(loaded.filters.smoothRadius, 9);
}

TEST_F(ConfigurationFileTest, RestoreKeepsTheDocumentPathAndSaveAsWritesTheRecord) {
    AppConfig stored;
    stored.documentPath = "/elsewhere/other.hst", stored.lastDirectory = "/elsewhere/";
    stored.filters.smoothRadius = 9;
    const auto bytes = encodeAppConfig(stored);
    test::writeBytes(dir.path("mine.cnf"), {bytes.begin(), bytes.end()});
    AppConfig config;
    config.documentPath = "/data/current.hst", config.lastDirectory = "/data/";
    ui.openAnswers = {"", dir.path("mine.cnf")};
    EXPECT_FALSE(restoreConfiguration(config, ui));
    EXPECT_EQ(config.filters.smoothRadius, 1);
    EXPECT_TRUE(restoreConfiguration(config, ui));
    EXPECT_EQ(config.filters.smoothRadius, 9);
    EXPECT_EQ(config.lastDirectory, "/elsewhere/");
    EXPECT_EQ(config.documentPath, "/data/current.hst");
    const FileDialogRequest& d = ui.openDialogs[0];
    EXPECT_EQ(d.title, StringId::RestoreConfigurationTitle);
    EXPECT_EQ(d.initialDirectory + d.initialName, "/data/confadc.cnf");

    // Save as writes the record and reports failure.
    ui.saveAnswers = {dir.path("copy.cnf"), dir.path("missing/x.cnf")};
    EXPECT_TRUE(saveConfigurationAs(config, ui));
    const auto expected = encodeAppConfig(config);
    EXPECT_EQ(test::readBytes(dir.path("copy.cnf")),
              std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_FALSE(saveConfigurationAs(config, ui));
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::FileWriteFailed});
    EXPECT_EQ(ui.saveDialogs[0].title, StringId::SaveConfigurationTitle);
}

} // namespace
} // namespace kv
