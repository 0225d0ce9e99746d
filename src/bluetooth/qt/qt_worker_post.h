#pragma once
// The one way into centralQueue: posts a task to the worker that lives there.
// Shared by the central and its peripherals; once the central has stopped
// (detach) every post is dropped, so a peripheral that outlives its central
// stays safe to call.

#include <functional>
#include <mutex>

namespace lightdeck {

class QtCentralWorker;

class QtWorkerPost {
public:
    using Task = std::function<void(QtCentralWorker&)>;

    explicit QtWorkerPost(QtCentralWorker* worker);

    // Queues the task on the worker's thread (never runs it inline, even when
    // called from that thread). False when the central has stopped.
    bool post(Task task);
    // No task is queued after this returns.
    void detach();

private:
    std::mutex m_mutex;
    QtCentralWorker* m_worker = nullptr;
};

}  // namespace lightdeck
