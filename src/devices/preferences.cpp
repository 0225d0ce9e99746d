#include "devices/preferences.h"

namespace lightdeck {

std::optional<nlohmann::json> InMemoryPreferences::objectForKey(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    if (auto it = m_root.find(key); it != m_root.end())
        return *it;
    return std::nullopt;
}

void InMemoryPreferences::setObject(std::string_view key, nlohmann::json value)
{
    std::lock_guard lock(m_mutex);
    m_root[std::string(key)] = std::move(value);
}

void InMemoryPreferences::removeObjectForKey(std::string_view key)
{
    std::lock_guard lock(m_mutex);
    if (auto it = m_root.find(key); it != m_root.end())
        m_root.erase(it);
}

void InMemoryPreferences::updateObject(std::string_view key, const Change& change)
{
    std::lock_guard lock(m_mutex);
    std::optional<nlohmann::json> current;
    if (auto it = m_root.find(key); it != m_root.end())
        current = *it;
    nlohmann::json next = change(std::move(current));
    if (!next.is_discarded())
        m_root[std::string(key)] = std::move(next);
}

}  // namespace lightdeck
