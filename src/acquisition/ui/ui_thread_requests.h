#pragma once

// Carries an acquisition worker's requests to the user-interface thread: the worker never
// touches the list, the document or a window itself, it hands each request over and waits until
// the user-interface thread has carried it out. A worker makes one request at a time, so one
// slot serves. The requests are announced through this object's events on the user-interface
// thread; while that thread waits for a worker to end (the main window closing during a run), it
// serves them directly, without running any other event.
//
// What crosses the threads is guarded by the standard mutex here, and announcements carry no
// data of their own (a member function, no captures), so ThreadSanitizer sees every hand-over
// even though Qt's event queue is not instrumented.

#include <QMetaObject>
#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace kv {

class UiThreadRequests : public QObject {
public:
    // Created on the user-interface thread, outliving every worker it serves.
    UiThreadRequests() = default;

    // Worker thread: runs request on the user-interface thread; returns once it has run.
    void call(const std::function<void()>& request);

    // Worker thread: has receiver's method run on the user-interface thread soon, without
    // waiting for it. The receiver lives on that thread.
    template <typename Receiver> static void post(Receiver* receiver, void (Receiver::*method)()) {
        QMetaObject::invokeMethod(receiver, method, Qt::QueuedConnection);
    }

    // User-interface thread, before a worker starts; then workerEnded from that worker's thread
    // as its last act.
    void workerStarting();
    void workerEnded();

    // User-interface thread: carries out the request waiting, if there is one.
    void serve();
    // User-interface thread: carries out the worker's requests until it has ended.
    void serveUntilWorkerEnded();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    // The worker's request until the user-interface thread takes it, so that a request which
    // runs an event loop of its own (a file dialog) is never taken a second time.
    const std::function<void()>* m_waiting = nullptr;
    bool m_served = true;
    bool m_workerEnded = true;
};

} // namespace kv
