#include "soak/soak_watchdog.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace lightdeck::testing {

SoakWatchdog::SoakWatchdog(std::chrono::seconds bound, std::function<std::string()> report)
    : m_bound(bound), m_report(std::move(report)), m_thread([this] { watch(); })
{
}

SoakWatchdog::~SoakWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SoakWatchdog::beat()
{
    std::lock_guard lock(m_mutex);
    ++m_beats;
}

void SoakWatchdog::watch()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        const unsigned long seen = m_beats;
        if (m_wake.wait_for(lock, m_bound, [this] { return m_stopping; }))
            return;
        if (m_beats == seen) {
            lock.unlock();
            const std::string report = m_report();
            std::fprintf(stderr, "\nsoak: HANG - no step finished for %lld s\n%s\n",
                         static_cast<long long>(m_bound.count()), report.c_str());
            std::fflush(stderr);
            std::abort();
        }
    }
}

}  // namespace lightdeck::testing
