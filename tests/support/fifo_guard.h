#pragma once

// A FIFO for tests of code that must refuse it without blocking. A reader that blocks in
// open() or read() on it would hang the test; after a grace period the guard opens the writing
// end itself, so such a reader returns (with nothing) and the test fails on rescuedAReader()
// instead of hanging.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kv::test {

class FifoGuard {
public:
    explicit FifoGuard(std::string path);
    ~FifoGuard();
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    const std::string& path() const { return m_path; }
    bool rescuedAReader() const { return m_rescued.load(); }

private:
    void watch();

    std::string m_path;
    std::atomic<bool> m_rescued{false};
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_stopping = false;
    std::thread m_watcher;
};

} // namespace kv::test
