#include "platform/files.h"

#include "platform/program_directory.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace kv {
namespace {

std::size_t entriesIn(const std::string& directory) {
    const std::filesystem::directory_iterator it(directory);
    return static_cast<std::size_t>(std::distance(begin(it), end(it)));
}

TEST(Files, WriteReplacesTheTargetAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir.path("a.hst");
    test::writeBytes(path, {1, 2, 3, 4, 5});
    const std::vector<std::uint8_t> bytes = {9, 8};
    EXPECT_TRUE(writeFileReplacing(path, bytes).written);
    EXPECT_EQ(test::readBytes(path), bytes);
    EXPECT_EQ(readWholeFile(path), bytes);
    EXPECT_EQ(entriesIn(dir.root()), 1u);
}

// A write that fails half way (here the file-size limit, which even root cannot pass) must
// leave the previous file as it was.
TEST(Files, FailedWriteLeavesThePreviousFileIntact) {
    test::TempDir dir;
    const std::string path = dir.path("a.hst");
    const std::vector<std::uint8_t> previous(100, 7);
    test::writeBytes(path, previous);

    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 50;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const WriteOutcome outcome = writeFileReplacing(path, std::vector<std::uint8_t>(200, 1));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_EQ(test::readBytes(path), previous);
    EXPECT_EQ(entriesIn(dir.root()), 1u);
}

TEST(Files, UnwritablePlacesFailWithAReason) {
    test::TempDir dir;
    EXPECT_FALSE(writeFileReplacing(dir.path("missing/a.hst"), {}).written);
    std::filesystem::create_directory(dir.path("d"));
    const WriteOutcome onDirectory = writeFileReplacing(dir.path("d"), std::vector<std::uint8_t>{1});
    EXPECT_FALSE(onDirectory.written);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("d")));
    EXPECT_EQ(entriesIn(dir.root()), 1u);
}

TEST(Files, ReadingMissingFilesOrDirectoriesGivesNothing) {
    test::TempDir dir;
    EXPECT_FALSE(readWholeFile(dir.path("none")));
    EXPECT_FALSE(readWholeFile(dir.root()));
    test::writeBytes(dir.path("empty"), {});
    EXPECT_EQ(readWholeFile(dir.path("empty")), std::vector<std::uint8_t>{});
}

// Reads of many sizes, lent and copied, across the reader's buffer boundaries and past it,
// must give back the file's bytes in order.
TEST(FileReader, MixedReadsAndLoansReturnTheBytesInOrder) {
    test::TempDir dir;
    std::vector<std::uint8_t> bytes(3 * 1024 * 1024 + 123);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    }
    test::writeBytes(dir.path("f"), bytes);
    auto reader = FileReader::open(dir.path("f"));
    ASSERT_TRUE(reader);
    std::vector<std::uint8_t> back;
    const std::size_t sizes[] = {12, 4, 296, 8192, 1 << 20, 700000, 3, (1 << 20) + 5, 65536};
    for (std::size_t k = 0; back.size() < bytes.size(); ++k) {
        const std::size_t n = std::min(sizes[k % std::size(sizes)], bytes.size() - back.size());
        EXPECT_EQ(reader->remaining(), bytes.size() - back.size());
        const auto lent = k % 2 ? reader->borrow(n) : std::span<const std::uint8_t>{};
        if (!lent.empty()) {
            back.insert(back.end(), lent.begin(), lent.end());
            continue;
        }
        std::vector<std::uint8_t> part(n);
        ASSERT_TRUE(reader->read(part)) << k;
        back.insert(back.end(), part.begin(), part.end());
    }
    EXPECT_EQ(back, bytes);
    std::uint8_t one = 0;
    EXPECT_FALSE(reader->read(std::span(&one, 1)));
    EXPECT_TRUE(reader->borrow(1).empty());
}

TEST(Files, PathParts) {
    EXPECT_EQ(directoryOf("/data/x/a.hst"), "/data/x/");
    EXPECT_EQ(directoryOf("a.hst"), "");
    EXPECT_EQ(fileNameOf("/data/x/a.hst"), "a.hst");
    EXPECT_EQ(fileNameOf("noname.hst"), "noname.hst");
}

TEST(ProgramDirectory, HomeVariableWinsAndAlwaysEndsWithASlash) {
    ::setenv("KVANTIRA_HOME", "/opt/kv", 1);
    EXPECT_EQ(findProgramDirectory(), "/opt/kv/");
    ::setenv("KVANTIRA_HOME", "/opt/kv/", 1);
    EXPECT_EQ(findProgramDirectory(), "/opt/kv/");
    ::unsetenv("KVANTIRA_HOME");
    const std::string found = findProgramDirectory();
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(found));
}

} // namespace
} // namespace kv
