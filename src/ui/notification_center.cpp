#include "ui/notification_center.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <memory>

namespace lightdeck {

struct NotificationCenter::Observer {
    ObserverId id = 0;
    QString name;
    // Valid while the entry exists: the context's destruction removes the
    // entry (under the lock) before the object is gone.
    QObject* context = nullptr;
    // Shared so a delivery in progress keeps the callback alive even when the
    // observer is removed meanwhile.
    std::shared_ptr<Callback> callback;
    QMetaObject::Connection destroyedConnection;
};

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = new NotificationCenter;  // lives for the run
    return *center;
}

NotificationCenter::NotificationCenter() = default;

NotificationCenter::~NotificationCenter()
{
    std::lock_guard lock(m_mutex);
    for (auto& observer : m_observers)
        QObject::disconnect(observer.destroyedConnection);
}

NotificationCenter::ObserverId NotificationCenter::observe(const QString& name, QObject* context,
                                                           Callback callback)
{
    if (!context || !callback)
        return 0;
    std::lock_guard lock(m_mutex);
    Observer observer;
    observer.id = m_nextId++;
    observer.name = name;
    observer.context = context;
    observer.callback = std::make_shared<Callback>(std::move(callback));
    const ObserverId id = observer.id;
    // Direct: the entry goes the moment the context dies, on whatever thread
    // destroys it.
    observer.destroyedConnection = QObject::connect(
        context, &QObject::destroyed, this, [this, id] { removeObserver(id); }, Qt::DirectConnection);
    m_observers.push_back(std::move(observer));
    return id;
}

void NotificationCenter::removeObserver(ObserverId id)
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_observers.begin(), m_observers.end(),
                                 [id](const Observer& o) { return o.id == id; });
    if (it == m_observers.end())
        return;
    QObject::disconnect(it->destroyedConnection);
    m_observers.erase(it);
}

void NotificationCenter::removeObservers(const QObject* context)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_observers, [context](const Observer& o) {
        if (o.context != context)
            return false;
        QObject::disconnect(o.destroyedConnection);
        return true;
    });
}

void NotificationCenter::post(const QString& name)
{
    struct Delivery {
        ObserverId id;
        QPointer<QObject> context;
        std::shared_ptr<Callback> callback;
    };
    std::vector<Delivery> sameThread;
    {
        // Under the lock a context cannot finish dying: its destroyed() signal
        // waits here to remove its entries. So it may be read even when it
        // lives on another thread.
        std::lock_guard lock(m_mutex);
        for (const auto& observer : m_observers) {
            if (observer.name != name)
                continue;
            if (observer.context->thread() == QThread::currentThread()) {
                sameThread.push_back({observer.id, observer.context, observer.callback});
                continue;
            }
            // Runs in the context's thread; Qt drops it if the context is
            // destroyed first.
            QMetaObject::invokeMethod(
                observer.context,
                [this, id = observer.id, callback = observer.callback] {
                    if (isObserving(id))
                        (*callback)();
                },
                Qt::QueuedConnection);
        }
    }
    // Called without the lock: a callback may observe, remove or post. An
    // earlier callback of this post may have removed a later observer.
    for (const auto& delivery : sameThread)
        if (delivery.context && isObserving(delivery.id))
            (*delivery.callback)();
}

bool NotificationCenter::isObserving(ObserverId id) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_observers.begin(), m_observers.end(),
                       [id](const Observer& o) { return o.id == id; });
}

int NotificationCenter::observerCount(const QString& name) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_observers.begin(), m_observers.end(),
                                          [&name](const Observer& o) { return o.name == name; }));
}

}  // namespace lightdeck
