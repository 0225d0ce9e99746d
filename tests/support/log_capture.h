#pragma once
// Captures the core's log lines for the life of the object, so a test can
// assert what was logged ("写入失败", "连接成功", ...).

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
    // True when some line contains the text.
    bool contains(std::string_view text) const;
    std::size_t count(std::string_view text) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    bool m_debugBefore = false;
    bool m_infoBefore = true;
    log::Sink m_sinkBefore;
};

}  // namespace lightdeck::testing
