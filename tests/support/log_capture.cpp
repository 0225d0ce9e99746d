#include "support/log_capture.h"

#include <algorithm>

namespace lightdeck::testing {

LogCapture::LogCapture(bool withDebug)
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

std::size_t LogCapture::count(std::string_view text) const
{
    const auto all = lines();
    return std::count_if(all.begin(), all.end(), [&](const std::string& line) { return line.find(text) != line.npos; });
}

}  // namespace lightdeck::testing
