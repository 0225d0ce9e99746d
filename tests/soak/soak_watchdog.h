#pragma once
// A hang detector for the soak: the driver calls beat() before every step;
// when no beat comes for `bound`, the watchdog prints what `report` returns
// (the seed and the last steps) and aborts the process, so the run fails
// with the information needed to replay it. This is no speed limit: the
// bound is many times what any step takes.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace lightdeck::testing {

class SoakWatchdog {
public:
    SoakWatchdog(std::chrono::seconds bound, std::function<std::string()> report);
    // Stops watching.
    ~SoakWatchdog();

    SoakWatchdog(const SoakWatchdog&) = delete;
    SoakWatchdog& operator=(const SoakWatchdog&) = delete;

    void beat();

private:
    void watch();

    const std::chrono::seconds m_bound;
    const std::function<std::string()> m_report;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    unsigned long m_beats = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace lightdeck::testing
