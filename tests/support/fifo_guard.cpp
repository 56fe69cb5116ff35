#include "support/fifo_guard.h"

#include <chrono>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::test {

FifoGuard::FifoGuard(std::string path) : m_path(std::move(path)) {
    if (::mkfifo(m_path.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot create the FIFO " + m_path);
    }
    m_watcher = std::thread([this] { watch(); });
}

FifoGuard::~FifoGuard() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_done.notify_one();
    m_watcher.join();
}

void FifoGuard::watch() {
    // Code that refuses the FIFO never gets here; the period only bounds how long a faulty
    // reader holds up the suite.
    constexpr auto kGrace = std::chrono::seconds(10);
    std::unique_lock lock(m_mutex);
    while (!m_done.wait_for(lock, kGrace, [this] { return m_stopping; })) {
        // Opening the writing end without blocking succeeds only when a reader waits.
        const int writer = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) {
            m_rescued = true;
            ::close(writer);
        }
    }
}

} // namespace kv::test
