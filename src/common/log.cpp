#include "common/log.h"

#include <atomic>
#include <iostream>
#include <mutex>

namespace lightdeck::log {
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

std::atomic<bool> g_debug{false};

}  // namespace

Sink setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex());
    std::swap(currentSink(), sink);
    return sink;
}

void setDebugEnabled(bool enabled) { g_debug = enabled; }
bool debugEnabled() { return g_debug; }

void write(Level level, std::string_view line)
{
    if (level == Level::Debug && !g_debug)
        return;
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(level, line);
        return;
    }
    std::clog << "lightdeck: " << line << '\n';
}

}  // namespace lightdeck::log
