#include "platform/stop_signals.h"

#include <array>
#include <atomic>
#include <signal.h>

namespace kv {

namespace {

// A lock-free atomic is safe to store from a signal handler.
std::atomic<int> gReceived{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr std::array kStopSignals{SIGINT, SIGTERM};

extern "C" void onStopSignal(int signal) {
    gReceived.store(signal);
}

} // namespace

struct StopSignals::Previous {
    std::array<struct sigaction, kStopSignals.size()> actions;
};

StopSignals::StopSignals() : m_previous(std::make_unique<Previous>()) {
    gReceived.store(0);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarting keeps a save's writes from failing with EINTR; resetting lets a second signal
    // end a process that does not stop.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &action, &m_previous->actions[i]);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &m_previous->actions[i], nullptr);
    }
}

int StopSignals::received() const {
    return gReceived.load();
}

} // namespace kv
