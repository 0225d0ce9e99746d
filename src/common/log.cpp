#include "common/log.h"

#include <iostream>
#include <mutex>

namespace lightdeck::log {
namespace detail {

std::atomic<unsigned> g_enabledLevels{levelBit(Level::Info) | levelBit(Level::Warning)};

}  // namespace detail
namespace {

std::mutex& sinkMutex()
{
    static std::mutex m;
    return m;
}

Sink& currentSink()
{
    static Sink sink;
    return sink;
}

}  // namespace

Sink setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex());
    std::swap(currentSink(), sink);
    return sink;
}

void setEnabled(Level level, bool on)
{
    if (on)
        detail::g_enabledLevels.fetch_or(detail::levelBit(level), std::memory_order_relaxed);
    else
        detail::g_enabledLevels.fetch_and(~detail::levelBit(level), std::memory_order_relaxed);
}

void setDebugEnabled(bool enabled) { setEnabled(Level::Debug, enabled); }

void write(Level level, std::string_view line)
{
    if (!enabled(level))
        return;
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(level, line);
        return;
    }
    std::clog << "lightdeck: " << line << '\n';
}

}  // namespace lightdeck::log
