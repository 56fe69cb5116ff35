#include "acquisition/ui/ui_thread_requests.h"

namespace kv {

void UiThreadRequests::call(const std::function<void()>& request) {
    std::unique_lock lock(m_mutex);
    m_waiting = &request;
    m_served = false;
    // Served by whichever comes first: this event, or a user-interface thread waiting for the
    // worker to end. The other then finds nothing waiting.
    post(this, &UiThreadRequests::serve);
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_served; });
}

void UiThreadRequests::workerStarting() {
    const std::lock_guard lock(m_mutex);
    m_workerEnded = false;
}

void UiThreadRequests::workerEnded() {
    const std::lock_guard lock(m_mutex);
    m_workerEnded = true;
    m_changed.notify_all();
}

void UiThreadRequests::serve() {
    std::unique_lock lock(m_mutex);
    const std::function<void()>* request = std::exchange(m_waiting, nullptr);
    if (request == nullptr) {
        return;
    }
    // The worker waits, so its request stays valid; unlocked, because the request may take as
    // long as a file dialog.
    lock.unlock();
    (*request)();
    lock.lock();
    m_served = true;
    m_changed.notify_all();
}

void UiThreadRequests::serveUntilWorkerEnded() {
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_waiting != nullptr || m_workerEnded; });
            if (m_waiting == nullptr) {
                return;
            }
        }
        serve();
    }
}

} // namespace kv
