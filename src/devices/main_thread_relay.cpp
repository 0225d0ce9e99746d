#include "devices/main_thread_relay.h"

#include <QMetaObject>

#include <utility>

namespace lightdeck {

MainThreadRelay::MainThreadRelay(QObject* target) : m_target(target) {}

void MainThreadRelay::post(std::function<void()> function)
{
    // The lock is held while posting, so detach() (and so the target's
    // destructor) waits until the event has been queued: Qt then drops it
    // with the object if the object goes first.
    std::lock_guard lock(m_mutex);
    if (!m_target || !function)
        return;
    QMetaObject::invokeMethod(m_target, std::move(function), Qt::QueuedConnection);
}

void MainThreadRelay::detach()
{
    std::lock_guard lock(m_mutex);
    m_target = nullptr;
}

bool MainThreadRelay::isAttached() const
{
    std::lock_guard lock(m_mutex);
    return m_target != nullptr;
}

}  // namespace lightdeck
