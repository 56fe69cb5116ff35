#include "platform/files.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace kv {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// One writer at a time: a second one is told the file is busy or waits, also before the file
// exists, and the lock stays with the file when its holder replaces it.
TEST(FileLock, KeepsOtherWritersOutAndStaysWithTheFileItReplaces) {
    test::TempDir dir;
    const std::string target = dir.path("a.hst");
    LockAttempt first = FileLock::acquire(target, LockWait::No);
    ASSERT_EQ(first.state, LockState::Locked);
    EXPECT_EQ(FileLock::acquire(target, LockWait::No).state, LockState::Busy) << "no file yet";

    ASSERT_TRUE(writeFileReplacing(target, bytesOf("one"), &*first.lock).written);
    EXPECT_EQ(FileLock::acquire(target, LockWait::No).state, LockState::Busy) << "the new file";
    ASSERT_TRUE(writeFileReplacing(target, bytesOf("two"), &*first.lock).written);
    EXPECT_EQ(FileLock::acquire(target, LockWait::No).state, LockState::Busy);

    LockAttempt waiting;
    std::thread waiter([&] { waiting = FileLock::acquire(target, LockWait::Yes); });
    first.lock.reset();
    waiter.join();
    ASSERT_EQ(waiting.state, LockState::Locked);
    EXPECT_TRUE(waiting.lock->isFor(target));
    waiting.lock.reset();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root()),
                            std::filesystem::directory_iterator()),
              1)
        << "the lock file of the new name is gone";
}

// Writers that read, change and write back under the lock lose nothing between them, whether
// the file exists when they start or not.
TEST(FileLock, ConcurrentReadModifyWriteLosesNoUpdate) {
    test::TempDir dir;
    const std::string counter = dir.path("counter");
    constexpr int kWriters = 4;
    constexpr int kUpdates = 25;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&counter] {
            for (int i = 0; i < kUpdates; ++i) {
                LockAttempt attempt = FileLock::acquire(counter, LockWait::Yes);
                ASSERT_EQ(attempt.state, LockState::Locked);
                const auto bytes = readWholeFile(counter);
                const int value = bytes ? std::stoi(std::string(bytes->begin(), bytes->end())) : 0;
                ASSERT_TRUE(
                    writeFileReplacing(counter, bytesOf(std::to_string(value + 1)), &*attempt.lock)
                        .written);
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const auto bytes = readWholeFile(counter);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), std::to_string(kWriters * kUpdates));
}

} // namespace
} // namespace kv
