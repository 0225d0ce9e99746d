#include "support/log_capture.h"

namespace lightdeck::testing {

LogCapture::LogCapture(bool withDebug)
    : m_debugBefore(log::debugEnabled())
    , m_infoBefore(log::infoEnabled())
{
    log::setDebugEnabled(withDebug);
    log::setEnabled(log::Level::Info, true);
    m_sinkBefore = log::setSink([this](log::Level, std::string_view line) {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(line);
    });
}

LogCapture::~LogCapture()
{
    log::setSink(std::move(m_sinkBefore));
    log::setDebugEnabled(m_debugBefore);
    log::setEnabled(log::Level::Info, m_infoBefore);
}

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool LogCapture::contains(std::string_view text) const { return count(text) > 0; }

std::size_t LogCapture::count(std::string_view text) const
{
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto& line : m_lines)
        if (line.find(text) != std::string::npos)
            ++n;
    return n;
}

}  // namespace lightdeck::testing
