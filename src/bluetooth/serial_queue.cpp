#include "bluetooth/serial_queue.h"

#include <pthread.h>

namespace lightdeck {

SerialQueue::SerialQueue(std::string label)
    : m_label(std::move(label))
{
    m_thread = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_tasks.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        if (isCurrent())
            m_thread.detach();  // destroyed from its own task: nothing left to wait for
        else
            m_thread.join();
    }
}

void SerialQueue::async(Task task) { asyncAfter(std::chrono::nanoseconds::zero(), std::move(task)); }

void SerialQueue::asyncAfter(std::chrono::nanoseconds delay, Task task)
{
    asyncAt(Clock::now() + delay, std::move(task));
}

void SerialQueue::asyncAt(Clock::time_point due, Task task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.emplace(std::make_pair(due, m_sequence++), std::move(task));
    }
    m_wake.notify_all();
}

void SerialQueue::sync(const Task& task)
{
    if (isCurrent()) {
        task();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    async([&] {
        task();
        std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_all();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] {
        if (done)
            return true;
        std::lock_guard queueLock(m_mutex);
        return m_stopping;
    });
}

bool SerialQueue::isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }

void SerialQueue::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_stopping || (m_tasks.empty() && !m_running); });
}

bool SerialQueue::blockFor(std::chrono::nanoseconds duration)
{
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, duration, [this] { return m_stopping; });
}

void SerialQueue::run()
{
    pthread_setname_np(pthread_self(), m_label.substr(0, 15).c_str());
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_tasks.empty()) {
            m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            continue;
        }
        auto first = m_tasks.begin();
        if (first->first.first > Clock::now()) {
            // A copy: wait_until reads the time again after waking, when the
            // destructor may have freed the task's node.
            const Clock::time_point due = first->first.first;
            m_wake.wait_until(lock, due);
            continue;
        }
        Task task = std::move(first->second);
        m_tasks.erase(first);
        m_running = true;
        lock.unlock();
        task();
        task = nullptr;  // release captures outside the lock as well
        lock.lock();
        m_running = false;
    }
    m_idle.notify_all();
}

}  // namespace lightdeck
