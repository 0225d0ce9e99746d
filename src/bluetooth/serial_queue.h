#pragma once
// A serial queue: one worker thread that runs submitted tasks one at a time,
// in order of their due time (submission order for tasks due at once).
// The simulated central delivers every callback on one named "centralQueue".

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace lightdeck {

class SerialQueue {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    // Starts the worker thread; the label becomes the thread's name (at most
    // 15 characters are kept by Linux).
    explicit SerialQueue(std::string label);
    // Discards tasks not yet started, waits for the running one, joins.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return m_label; }

    void async(Task task);
    void asyncAfter(std::chrono::nanoseconds delay, Task task);
    // Due at an absolute time: tasks given the same time run in submission
    // order (a delay measured from "now" could not promise that).
    void asyncAt(Clock::time_point due, Task task);
    // Runs the task on the queue and waits for it. Must not be called from the
    // queue itself (it would wait for itself): then the task runs inline.
    void sync(const Task& task);

    // True when called from the queue's own thread.
    bool isCurrent() const;

    // Returns once nothing is queued, scheduled or running. Delayed tasks
    // count: the call waits for them. Must not be called from the queue.
    void waitIdle();

    // Sleeps on the queue's thread (blocking it) for up to the given time;
    // returns early, with false, when the queue is being destroyed.
    bool blockFor(std::chrono::nanoseconds duration);

private:
    void run();

    std::string m_label;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    // Keyed by (due time, sequence) so equal due times keep submission order.
    std::map<std::pair<Clock::time_point, std::uint64_t>, Task> m_tasks;
    std::uint64_t m_sequence = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace lightdeck
