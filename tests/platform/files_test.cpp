#include "platform/files.h"

#include "platform/program_directory.h"

#include "support/fifo_guard.h"
#include "support/temp_dir.h"
#include "support/write_limit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// Names the system cannot take come back as a failure with its reason; nothing is written and
// a symbolic-link loop stays a loop.
TEST(Files, ImpossibleNamesAreRefusedWithTheSystemsReason) {
    test::TempDir dir;
    std::filesystem::create_symlink("loop2", dir.path("loop1"));
    std::filesystem::create_symlink("loop1", dir.path("loop2"));
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    for (const std::string& path :
         {dir.path(std::string(256, 'a')), dir.path("loop1"), dir.path("loop1/a.hst")}) {
        const WriteOutcome outcome = writeFileReplacing(path, bytes);
        EXPECT_FALSE(outcome.written) << path;
        EXPECT_FALSE(outcome.reason.empty()) << path;
        const LockAttempt lock = FileLock::acquire(path, LockWait::No);
        EXPECT_TRUE(lock.state == LockState::Failed && !lock.reason.empty()) << path;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("loop1")));
    EXPECT_EQ(entriesIn(dir.root()), 2u);
}

// A temporary name longer than the target's would make the longest legal names unsaveable.
TEST(Files, TheLongestLegalNamesCanBeSaved) {
    test::TempDir dir;
    std::string cyrillic;
    while (cyrillic.size() < 254) {
        cyrillic += "\xD0\xB6"; // "ж", two bytes in UTF-8
    }
    for (const std::string& name : {std::string(255, 'b'), std::string(248, 'c'), "d" + cyrillic}) {
        const std::vector<std::uint8_t> bytes(name.begin(), name.begin() + 40);
        ASSERT_TRUE(writeFileReplacing(dir.path(name), bytes).written) << name.size();
        ASSERT_TRUE(writeFileReplacing(dir.path(name), bytes).written) << "replacing it";
        EXPECT_EQ(readWholeFile(dir.path(name)), bytes);
    }
    EXPECT_EQ(entriesIn(dir.root()), 3u) << "no temporary file left";
}

// Only regular files are read or replaced: a FIFO, a socket or a directory is refused at once
// (a FIFO without a writer would block a plain open) and left as it is, also behind a link.
TEST(Files, SpecialFilesAreNeitherReplacedNorWaitedFor) {
    test::TempDir dir;
    const test::FifoGuard fifo(dir.path("fifo"));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.path("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_directory(dir.path("directory"));
    std::filesystem::create_symlink("fifo", dir.path("to-fifo"));

    for (const std::string name : {"fifo", "socket", "directory", "to-fifo"}) {
        const auto type = std::filesystem::symlink_status(dir.path(name)).type();
        const WriteOutcome outcome = writeFileReplacing(dir.path(name), {{7}});
        EXPECT_FALSE(outcome.written) << name;
        EXPECT_FALSE(outcome.reason.empty()) << name;
        EXPECT_EQ(std::filesystem::symlink_status(dir.path(name)).type(), type) << name;
        EXPECT_EQ(FileLock::acquire(dir.path(name), LockWait::Yes).state, LockState::Failed);

        std::string reason;
        EXPECT_FALSE(FileReader::open(dir.path(name), &reason)) << name;
        EXPECT_FALSE(reason.empty()) << name;
        EXPECT_FALSE(readWholeFile(dir.path(name))) << name;
    }
    EXPECT_FALSE(readWholeFile("/dev/null")) << "a device";
    EXPECT_FALSE(fifo.rescuedAReader()) << "a reader blocked on the FIFO";
    EXPECT_EQ(entriesIn(dir.root()), 4u);
    ::close(socket);
}

// Saving through a link replaces the file it points to and keeps the link; a link to nothing
// creates the file it names.
TEST(Files, SymbolicLinksAreWrittenThrough) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.path("data"));
    test::writeBytes(dir.path("data/a.hst"), {1});
    std::filesystem::create_symlink("data/a.hst", dir.path("link"));
    std::filesystem::create_symlink("../link", dir.path("data/link2"));
    std::filesystem::create_symlink("new.hst", dir.path("data/dangling"));

    ASSERT_TRUE(writeFileReplacing(dir.path("data/link2"), {{2, 2}}).written);
    EXPECT_EQ(test::readBytes(dir.path("data/a.hst")), (std::vector<std::uint8_t>{2, 2}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("data/link2")));
    ASSERT_TRUE(writeFileReplacing(dir.path("data/dangling"), {{3}}).written);
    EXPECT_EQ(test::readBytes(dir.path("data/new.hst")), std::vector<std::uint8_t>{3});
    EXPECT_EQ(entriesIn(dir.path("data")), 4u);
}

// What an interrupted save left beside its target goes with the next save of that target,
// unless a writer still holds it; hidden files of other targets stay.
TEST(Files, LeftoversOfInterruptedSavesGoWithTheNextSave) {
    test::TempDir dir;
    const std::string target = dir.path("a.hst");
    const std::string other = dir.path("a.hst.bak");
    for (const int slot : {0, 3}) {
        test::writeBytes(temporaryPathOf(target, slot), std::vector<std::uint8_t>(1000, 9));
    }
    test::writeBytes(temporaryPathOf(other, 0), {5});
    ASSERT_TRUE(writeFileReplacing(target, {{1}}).written);
    EXPECT_EQ(entriesIn(dir.root()), 2u);
    EXPECT_EQ(test::readBytes(target), std::vector<std::uint8_t>{1});

    // Slot 0 held by a writer still at work: the save takes another and leaves it alone.
    test::writeBytes(temporaryPathOf(target, 0), {4});
    const int held = ::open(temporaryPathOf(target, 0).c_str(), O_RDWR);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_TRUE(writeFileReplacing(target, {{2}}).written);
    EXPECT_EQ(test::readBytes(temporaryPathOf(target, 0)), std::vector<std::uint8_t>{4});
    EXPECT_EQ(test::readBytes(target), std::vector<std::uint8_t>{2});
    ::close(held);
    ASSERT_TRUE(writeFileReplacing(target, {{3}}).written);
    EXPECT_EQ(entriesIn(dir.root()), 2u);
    EXPECT_EQ(test::readBytes(target), std::vector<std::uint8_t>{3});
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
