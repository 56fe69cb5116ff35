// A save killed at any moment leaves the target as it was or complete, and what it left
// beside the target goes with the next save.

#include "platform/files.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kv {
namespace {

using Clock = std::chrono::steady_clock;

// Versions differ in length and in every byte, so any mixture or cut shows.
std::vector<std::uint8_t> version(int v) {
    std::vector<std::uint8_t> bytes((std::size_t{2} << 20) + static_cast<std::size_t>(v) * 4096);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(v) * 13 + 1);
    }
    return bytes;
}

// Saves as the program does, under the lock, in a child process; the child's pid.
pid_t startSave(const std::string& target, const std::vector<std::uint8_t>& bytes) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        LockAttempt attempt = FileLock::acquire(target, LockWait::Yes);
        const bool written =
            attempt.lock && writeFileReplacing(target, bytes, &*attempt.lock).written;
        ::_exit(written ? 0 : 1);
    }
    return pid;
}

struct Leftovers {
    int temporaries = 0;
    int lockFiles = 0;
    int others = 0;
};

Leftovers leftoversBeside(const std::string& target) {
    Leftovers found;
    for (const auto& entry : std::filesystem::directory_iterator(directoryOf(target))) {
        const std::string name = entry.path().string();
        if (name == target) {
            continue;
        }
        bool temporary = false;
        for (int slot = 0; slot < kTemporarySlots; ++slot) {
            temporary = temporary || name == temporaryPathOf(target, slot);
        }
        (temporary                 ? found.temporaries
         : name.ends_with(".lock") ? found.lockFiles
                                   : found.others)++;
    }
    return found;
}

TEST(InterruptedSave, TargetIsTheOldOrTheNewFileAndLeftoversGoWithTheNextSave) {
    test::TempDir dir;
    const std::string target = dir.path("big.hst");
    constexpr int kVersions = 4;
    std::vector<std::vector<std::uint8_t>> versions;
    for (int v = 0; v < kVersions; ++v) {
        versions.push_back(version(v));
    }

    // How long an uninterrupted save takes here and now: kills are spread over it.
    const auto started = Clock::now();
    int waited = 0;
    ::waitpid(startSave(dir.path("timing.hst"), versions[0]), &waited, 0);
    ASSERT_TRUE(WIFEXITED(waited) && WEXITSTATUS(waited) == 0);
    std::chrono::duration<double, std::micro> window = Clock::now() - started;
    std::filesystem::remove(dir.path("timing.hst"));

    // Kill until at least 100 saves were cut between creating their temporary file and the
    // rename, with delays swept over the time a save takes; the window follows what the kills
    // meet on a busy machine. Bounded in attempts.
    constexpr int kWanted = 100;
    constexpr int kMaxAttempts = 600;
    constexpr int kSweep = 20;
    std::optional<int> current; // the version the target holds; none before the first save
    int attempts = 0;
    int cutMidSave = 0;
    int cutBefore = 0;
    int cutAfter = 0;
    int finished = 0;
    for (; attempts < kMaxAttempts && cutMidSave < kWanted; ++attempts) {
        const int next = (current.value_or(0) + 1) % kVersions;
        const double share = static_cast<double>(attempts % kSweep) / kSweep;
        const pid_t child = startSave(target, versions[static_cast<std::size_t>(next)]);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(window * share);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        const Leftovers left = leftoversBeside(target);
        EXPECT_LE(left.temporaries, 1) << "each save clears what the one before left";
        EXPECT_LE(left.lockFiles, 1);
        EXPECT_EQ(left.others, 0);
        std::error_code missing;
        if (!std::filesystem::exists(target, missing)) {
            ASSERT_FALSE(current) << "the target vanished after attempt " << attempts;
            ++(left.temporaries > 0 ? cutMidSave : cutBefore);
            continue;
        }
        const std::vector<std::uint8_t> now = test::readBytes(target);
        if (now == versions[static_cast<std::size_t>(next)]) {
            current = next;
            if (WIFSIGNALED(status)) {
                ++cutAfter;
            } else {
                ++finished;
                window *= 0.8;
            }
            continue;
        }
        ASSERT_TRUE(current && now == versions[static_cast<std::size_t>(*current)])
            << "the target is neither the old nor the new file after attempt " << attempts;
        if (left.temporaries > 0) {
            ++cutMidSave;
        } else if (++cutBefore, share >= 0.5) {
            window *= 1.25;
        }
    }
    std::printf("kills: %d; cut mid-save %d, before it began %d, after the rename %d; saves "
                "done first %d; kills spread over %.1f ms at the end\n",
                attempts, cutMidSave, cutBefore, cutAfter, finished, window.count() / 1000);

    int status = 0;
    ::waitpid(startSave(target, versions[0]), &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test::readBytes(target), versions[0]);
    const Leftovers left = leftoversBeside(target);
    EXPECT_EQ(left.temporaries + left.lockFiles + left.others, 0) << "nothing left after a save";
}

} // namespace
} // namespace kv
