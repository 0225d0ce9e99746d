#pragma once
// The core's log: short labels followed by data, sent to one sink.
//
// The sink is std::clog by default; the application routes it to Qt's logging
// and tests capture it. Debug lines (the per-byte "--byte: %x" lines) are off
// unless enabled. The sink may be called from any thread; calls are
// serialised.

#include <functional>
#include <string>
#include <string_view>

namespace lightdeck::log {

enum class Level { Debug, Info, Warning };

using Sink = std::function<void(Level, std::string_view)>;

// Replaces the sink and returns the one it replaced; an empty function
// restores the default (std::clog). A sink must not log itself.
Sink setSink(Sink sink);
void setDebugEnabled(bool enabled);
bool debugEnabled();

void write(Level level, std::string_view line);
inline void debug(std::string_view line) { write(Level::Debug, line); }
inline void info(std::string_view line) { write(Level::Info, line); }
inline void warning(std::string_view line) { write(Level::Warning, line); }

}  // namespace lightdeck::log
