#include "bluetooth/qt/qt_worker_post.h"

#include <QMetaObject>

#include <utility>

#include "bluetooth/qt/qt_central_worker.h"

namespace lightdeck {

QtWorkerPost::QtWorkerPost(QtCentralWorker* worker)
    : m_worker(worker)
{
}

bool QtWorkerPost::post(Task task)
{
    // Held while posting so that detach() cannot let the worker be deleted
    // between the check and the post.
    std::lock_guard lock(m_mutex);
    if (!m_worker)
        return false;
    QtCentralWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, task = std::move(task)] { task(*worker); }, Qt::QueuedConnection);
    return true;
}

void QtWorkerPost::detach()
{
    std::lock_guard lock(m_mutex);
    m_worker = nullptr;
}

}  // namespace lightdeck
