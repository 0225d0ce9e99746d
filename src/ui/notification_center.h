#pragma once
// Application-wide notifications by name ("appDidBecomeActive",
// "refreshDeviceList"), carrying no object.
//
// Threads: post() may be called from any thread. Each observer runs on the
// thread of its context object: synchronously, inside post(), when the poster
// is on that thread; otherwise queued to that thread's event loop (so a
// screen observing from the main thread never runs on "centralQueue").
// Observers are called in the order they were added. An observer is removed
// automatically when its context object is destroyed; a queued delivery to a
// destroyed context is dropped.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace lightdeck {

class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void()>;
    // Identifies one observation; 0 is never used.
    using ObserverId = std::uint64_t;

    // The process-wide centre (created on first use; lives in the thread of
    // that first use, which should be the main thread).
    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter() override;

    // Runs `callback` on every post of `name` until `context` is destroyed or
    // the observation is removed. `context` must not be null.
    ObserverId observe(const QString& name, QObject* context, Callback callback);
    void removeObserver(ObserverId id);
    // Removes every observation made with this context.
    void removeObservers(const QObject* context);

    void post(const QString& name);

    // Number of live observations of the name (for tests and diagnostics).
    int observerCount(const QString& name) const;

private:
    struct Observer;
    bool isObserving(ObserverId id) const;

    mutable std::mutex m_mutex;
    std::vector<Observer> m_observers;
    ObserverId m_nextId = 1;
};

}  // namespace lightdeck
