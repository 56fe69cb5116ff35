#pragma once

// The one acquisition worker thread of the program and the flags that steer it. A new run never
// reaches the ports while an earlier worker is still reading out: start refuses while a worker
// is alive and joins the finished one before it starts the next.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace kv {

// Set by the user-interface thread, polled by the worker.
struct RunFlags {
    std::atomic<std::uint8_t> abort{0};
    std::atomic<std::uint8_t> readOutRequest{0}; // interim read-out ("Контроль")
};

enum class StartStatus {
    Started,
    Busy,        // a worker is still running; nothing changed
    ThreadFailed // no thread could be made; the run's inputs are dropped, nothing started
};

struct StartOutcome {
    StartStatus status = StartStatus::Started;
    std::string reason; // the system's description when the thread failed

    bool started() const { return status == StartStatus::Started; }
};

class RunController {
public:
    // Makes the worker thread; the default is std::thread. Tests replace it to fail a start.
    using ThreadLauncher = std::function<std::thread(std::function<void()>)>;

    RunController();
    explicit RunController(ThreadLauncher launcher);
    // Aborts and joins a worker still running.
    ~RunController();

    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Runs work(flags) on a new thread with both flags cleared, so an abort given before the
    // worker begins is not lost. Refused while a worker is alive. ended, if given, runs last on
    // the worker's thread, once running() is false: whoever it tells of the end may start the
    // next run at once.
    StartOutcome start(std::function<void(RunFlags&)> work, std::function<void()> ended = {});

    // True from a successful start until the worker's function has returned.
    bool running() const { return m_running.load() != 0; }

    void abort() { m_flags.abort.store(1); }
    void requestReadOut() { m_flags.readOutRequest.store(1); }

    // Waits for the worker to end. The worker waits for its host, so the thread that carries
    // out the host's requests must not call this while the worker may still make one (abort
    // first and keep serving requests until running() is false).
    void join();

private:
    ThreadLauncher m_launcher;
    RunFlags m_flags;
    std::atomic<std::uint8_t> m_running{0};
    std::thread m_thread;
};

} // namespace kv
