#pragma once
// The core's log: short labels followed by data, sent to one sink.
//
// The sink is std::clog by default; the application routes it to Qt's logging
// and tests capture it. Debug lines (the per-byte "--byte: %x" lines) are off
// unless enabled; info and warning lines are on. The sink may be called from
// any thread; calls are serialised.
//
// A caller that builds a costly line (hex dumps of every report, the whole
// device map) asks enabled(level) first: that is one relaxed atomic load, so a
// level nobody listens to costs nothing on the hot paths.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace lightdeck::log {

enum class Level { Debug, Info, Warning };

using Sink = std::function<void(Level, std::string_view)>;

namespace detail {
// One bit per Level (1 << level): set when lines of that level are written.
extern std::atomic<unsigned> g_enabledLevels;
constexpr unsigned levelBit(Level level) { return 1u << static_cast<unsigned>(level); }
}  // namespace detail

// Replaces the sink and returns the one it replaced; an empty function
// restores the default (std::clog). A sink must not log itself. The enabled
// levels are not changed.
Sink setSink(Sink sink);

// Whether lines of that level reach the sink; write() drops the others.
inline bool enabled(Level level)
{
    return (detail::g_enabledLevels.load(std::memory_order_relaxed) & detail::levelBit(level)) != 0;
}
void setEnabled(Level level, bool on);

void setDebugEnabled(bool enabled);
inline bool debugEnabled() { return enabled(Level::Debug); }
inline bool infoEnabled() { return enabled(Level::Info); }

void write(Level level, std::string_view line);
inline void debug(std::string_view line) { write(Level::Debug, line); }
inline void info(std::string_view line) { write(Level::Info, line); }
inline void warning(std::string_view line) { write(Level::Warning, line); }

}  // namespace lightdeck::log
