#pragma once
// The key-value preferences store: the only data Lightdeck keeps across runs
// (the groups, under "groupList" and "deviceInGroup").
//
// Reads and whole-value writes are safe from any thread. A value read is a
// copy; a write replaces the whole value of its key.
//
// InMemoryPreferences (below) keeps the values for one run;
// JsonFilePreferences (devices/json_file_preferences.h, included at the end
// of this header) keeps them in a JSON file.

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace lightdeck {

class Preferences {
public:
    using Change = std::function<nlohmann::json(std::optional<nlohmann::json>)>;

    virtual ~Preferences() = default;

    // The value under the key; nothing when the key is absent.
    virtual std::optional<nlohmann::json> objectForKey(std::string_view key) const = 0;
    // Replaces the value under the key.
    virtual void setObject(std::string_view key, nlohmann::json value) = 0;
    virtual void removeObjectForKey(std::string_view key) = 0;

    // Read, change and write one key as one step: no write from another
    // thread can fall between the read and the write. The function gets the
    // current value (nothing when absent) and returns the new one; returning
    // a discarded value (nlohmann::json::value_t::discarded, see
    // keepUnchanged()) leaves the key as it is and writes nothing. The
    // function runs under the store's lock: it must not call the store.
    virtual void updateObject(std::string_view key, const Change& change) = 0;

    // The value a Change returns to leave its key untouched.
    static nlohmann::json keepUnchanged() { return nlohmann::json(nlohmann::json::value_t::discarded); }
};

// Preferences held in memory only; for tests and for a run whose file
// cannot be used.
class InMemoryPreferences final : public Preferences {
public:
    std::optional<nlohmann::json> objectForKey(std::string_view key) const override;
    void setObject(std::string_view key, nlohmann::json value) override;
    void removeObjectForKey(std::string_view key) override;
    void updateObject(std::string_view key, const Change& change) override;

private:
    mutable std::mutex m_mutex;
    nlohmann::json m_root = nlohmann::json::object();
};

}  // namespace lightdeck

// One include gives every kind of store.
#include "devices/json_file_preferences.h"
