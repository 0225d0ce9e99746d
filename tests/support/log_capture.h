#pragma once
// Captures the core's log lines for the life of the object, with info lines
// on (and debug lines when asked), so a test can assert what was logged.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/log.h"

namespace lightdeck::testing {

class LogCapture {
public:
    explicit LogCapture(bool withDebug = false);
    ~LogCapture();

    std::vector<std::string> lines() const;
    // Number of lines that contain the text.
    std::size_t count(std::string_view text) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    const bool m_debugBefore = log::debugEnabled();
    const bool m_infoBefore = log::infoEnabled();
    log::Sink m_sinkBefore;
};

}  // namespace lightdeck::testing
