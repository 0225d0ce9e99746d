#pragma once
// A map that keeps its keys in insertion order: the "map's own order" in which
// the device list, the picker and the logs show the manager's maps. Replacing
// the value of a key keeps its place; erasing and inserting again moves it to
// the end. Small by design (a few dozen lights): lookups are linear.

#include <algorithm>
#include <utility>
#include <vector>

namespace lightdeck {

template <typename Key, typename Value>
class OrderedMap {
public:
    using Entry = std::pair<Key, Value>;

    // Inserts at the end, or replaces the value in place.
    void set(const Key& key, Value value)
    {
        if (auto it = find(key); it != m_entries.end())
            it->second = std::move(value);
        else
            m_entries.emplace_back(key, std::move(value));
    }

    bool erase(const Key& key)
    {
        auto it = find(key);
        if (it == m_entries.end())
            return false;
        m_entries.erase(it);
        return true;
    }

    template <typename Predicate>
    void eraseIf(Predicate predicate)
    {
        std::erase_if(m_entries, [&](const Entry& e) { return predicate(e.first, e.second); });
    }

    const Value* get(const Key& key) const
    {
        auto it = std::find_if(m_entries.begin(), m_entries.end(),
                               [&](const Entry& e) { return e.first == key; });
        return it == m_entries.end() ? nullptr : &it->second;
    }
    Value* get(const Key& key)
    {
        auto it = find(key);
        return it == m_entries.end() ? nullptr : &it->second;
    }

    bool contains(const Key& key) const { return get(key) != nullptr; }
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }

    const std::vector<Entry>& entries() const { return m_entries; }
    void assign(std::vector<Entry> entries)
    {
        m_entries.clear();
        for (auto& e : entries)
            set(e.first, std::move(e.second));
    }

private:
    typename std::vector<Entry>::iterator find(const Key& key)
    {
        return std::find_if(m_entries.begin(), m_entries.end(),
                            [&](const Entry& e) { return e.first == key; });
    }

    std::vector<Entry> m_entries;
};

}  // namespace lightdeck
