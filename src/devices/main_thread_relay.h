#pragma once
// Hands work from any thread (centralQueue, a simulator's queue) to the thread
// of one QObject, for as long as that object lives.
//
//     m_relay = std::make_shared<MainThreadRelay>(this);   // in the constructor
//     m_relay->post([this] { reloadData(); });             // from any thread
//     m_relay->detach();                                    // first thing in the destructor
//
// A posted function runs later on the target's thread, queued behind the
// events already there. Posts after detach() are dropped, and so are posted
// functions still queued when the target is destroyed (Qt discards the
// events of a deleted object), so a function may use the target freely.
// Keep the relay in a std::shared_ptr when callbacks on other threads may
// still hold it after the target is gone.

#include <QObject>

#include <functional>
#include <mutex>

namespace lightdeck {

class MainThreadRelay {
public:
    explicit MainThreadRelay(QObject* target);

    MainThreadRelay(const MainThreadRelay&) = delete;
    MainThreadRelay& operator=(const MainThreadRelay&) = delete;

    void post(std::function<void()> function);
    // After this returns no new function is queued. Call it from the
    // target's destructor (or earlier).
    void detach();
    bool isAttached() const;

private:
    mutable std::mutex m_mutex;
    // Set on construction, cleared by detach(); read under m_mutex only.
    QObject* m_target = nullptr;
};

}  // namespace lightdeck
