#include "platform/stop_signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace kv {
namespace {

std::atomic<int> gEarlierHandlerRan{0};

extern "C" void earlierHandler(int) {
    gEarlierHandlerRan.store(1);
}

TEST(StopSignals, ASignalIsOnlyRecordedAndTheEarlierHandlerComesBackAfterwards) {
    const auto saved = std::signal(SIGTERM, earlierHandler);
    {
        const StopSignals stop;
        EXPECT_EQ(stop.received(), 0);
        std::raise(SIGTERM);
        EXPECT_EQ(stop.received(), SIGTERM);
    }
    const StopSignals again;
    EXPECT_EQ(again.received(), 0); // each starts clear
    EXPECT_EQ(gEarlierHandlerRan.load(), 0);
    std::signal(SIGTERM, saved);
}

TEST(StopSignals, AfterTheEarlierHandlerIsBackItRuns) {
    const auto saved = std::signal(SIGINT, earlierHandler);
    { const StopSignals stop; }
    std::raise(SIGINT);
    EXPECT_EQ(gEarlierHandlerRan.exchange(0), 1);
    std::signal(SIGINT, saved);
}

// A process that does not stop can still be ended: the same signal again takes its default
// action, while a signal of the other kind is still only recorded.
TEST(StopSignals, TheSameSignalAgainEndsTheProcess) {
    EXPECT_EXIT(
        {
            const StopSignals stop;
            std::raise(SIGINT);
            std::raise(SIGTERM);
            if (stop.received() != SIGTERM) {
                std::_Exit(1);
            }
            std::raise(SIGINT);
            std::_Exit(2);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

} // namespace
} // namespace kv
