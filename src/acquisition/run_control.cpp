#include "acquisition/run_control.h"

#include <system_error>
#include <utility>

namespace kv {

RunController::RunController()
    : RunController([](std::function<void()> body) { return std::thread(std::move(body)); }) {}

RunController::RunController(ThreadLauncher launcher) : m_launcher(std::move(launcher)) {}

RunController::~RunController() {
    abort();
    join();
}

StartOutcome RunController::start(std::function<void(RunFlags&)> work,
                                  std::function<void()> ended) {
    if (running()) {
        return {StartStatus::Busy, {}};
    }
    // The previous worker has returned from its function; joining it cannot wait on the host.
    join();
    m_flags.abort.store(0);
    m_flags.readOutRequest.store(0);
    m_running.store(1);
    try {
        m_thread = m_launcher([this, work = std::move(work), ended = std::move(ended)] {
            work(m_flags);
            m_running.store(0);
            if (ended) {
                ended();
            }
        });
    } catch (const std::system_error& error) {
        m_running.store(0);
        return {StartStatus::ThreadFailed, error.what()};
    }
    return {};
}

void RunController::join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace kv
