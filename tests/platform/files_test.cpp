#include "platform/files.h"

#include "platform/program_directory.h"

#include "support/temp_dir.h"
#include "support/write_limit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kv {
namespace {

std::size_t entriesIn(const std::string& directory) {
    const std::filesystem::directory_iterator it(directory);
    return static_cast<std::size_t>(std::distance(begin(it), end(it)));
}

// A write replaces the whole file or, failing half way (here at the file-size limit), leaves the
// previous one as it was; either way no temporary file is left behind.
TEST(Files, WriteReplacesTheTargetOrFailsLeavingItIntact) {
    test::TempDir dir;
    const std::string path = dir.path("a.hst");
    test::writeBytes(path, {1, 2, 3, 4, 5});
    const std::vector<std::uint8_t> bytes = {9, 8};
    EXPECT_TRUE(writeFileReplacing(path, bytes).written);
    EXPECT_EQ(readWholeFile(path), bytes);

    const WriteOutcome outcome = [&] {
        const test::WriteLimit limit(50);
        return writeFileReplacing(path, std::vector<std::uint8_t>(200, 1));
    }();
    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_EQ(test::readBytes(path), bytes);

    EXPECT_FALSE(writeFileReplacing(dir.path("missing/a.hst"), {}).written);
    std::filesystem::create_directory(dir.path("d"));
    EXPECT_FALSE(writeFileReplacing(dir.path("d"), bytes).written);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("d")));
    EXPECT_EQ(entriesIn(dir.root()), 2u);
}

// A new file never takes the place of anything, not even of a link to nowhere, and a failed
// write leaves no part of itself.
TEST(Files, NewFileIsWrittenOnlyWhereNothingIsYet) {
    test::TempDir dir;
    const std::vector<std::uint8_t> bytes = {7, 6, 5};
    EXPECT_TRUE(writeNewFile(dir.path("new.hst"), bytes).written);
    EXPECT_EQ(readWholeFile(dir.path("new.hst")), bytes);
    EXPECT_FALSE(writeNewFile(dir.path("new.hst"), std::vector<std::uint8_t>{1}).written);
    EXPECT_EQ(readWholeFile(dir.path("new.hst")), bytes);
    std::filesystem::create_symlink(dir.path("nowhere"), dir.path("link.hst"));
    EXPECT_FALSE(writeNewFile(dir.path("link.hst"), bytes).written);
    EXPECT_FALSE(std::filesystem::exists(dir.path("nowhere")));

    const WriteOutcome outcome = [&] {
        const test::WriteLimit limit(50);
        return writeNewFile(dir.path("big.hst"), std::vector<std::uint8_t>(200, 1));
    }();
    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_EQ(entriesIn(dir.root()), 2u);
}

TEST(Files, ReadingMissingFilesOrDirectoriesGivesNothing) {
    test::TempDir dir;
    EXPECT_FALSE(readWholeFile(dir.path("none")));
    EXPECT_FALSE(readWholeFile(dir.root()));
    test::writeBytes(dir.path("empty"), {});
    EXPECT_EQ(readWholeFile(dir.path("empty")), std::vector<std::uint8_t>{});
    EXPECT_EQ(directoryOf("a.hst") + fileNameOf("a.hst"), "a.hst") << "no directory";
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
