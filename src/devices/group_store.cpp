#include "devices/group_store.h"

#include <optional>

#include "common/log.h"

namespace lightdeck {
namespace {

using nlohmann::json;

constexpr const char* kTitle = "title";
constexpr const char* kSelected = "selected";

GroupRecord recordFromJson(const json& stored)
{
    GroupRecord record;
    if (!stored.is_object())
        return record;
    for (const auto& [key, value] : stored.items()) {
        if (key == kTitle) {
            if (value.is_string())
                record.title = value.get<std::string>();
        } else if (key == kSelected) {
            if (value.is_boolean())
                record.selected = value.get<bool>();
            else if (value.is_number())
                record.selected = value.get<double>() != 0.0;
        } else {
            record.extra[key] = value;
        }
    }
    return record;
}

json recordToJson(const GroupRecord& record)
{
    json stored = record.extra.is_object() ? record.extra : json::object();
    stored[kTitle] = record.title;
    stored[kSelected] = record.selected;
    return stored;
}

json arrayOrEmpty(const std::optional<json>& value)
{
    return value && value->is_array() ? *value : json::array();
}

// Extends the membership array with empty maps up to `length`.
void padMaps(json& maps, std::size_t length)
{
    while (maps.size() < length)
        maps.push_back(json::object());
}

}  // namespace

GroupStore::GroupStore(Preferences& preferences)
    : m_preferences(preferences)
{
}

GroupList GroupStore::loadGroups() const
{
    GroupList groups;
    const auto stored = m_preferences.objectForKey(kGroupListKey);
    if (!stored || !stored->is_array())
        return groups;
    groups.reserve(stored->size());
    for (const auto& element : *stored)
        groups.push_back(recordFromJson(element));
    return groups;
}

void GroupStore::writeGroups(const GroupList& groups)
{
    json stored = json::array();
    for (const auto& record : groups)
        stored.push_back(recordToJson(record));
    m_preferences.setObject(kGroupListKey, std::move(stored));
}

void GroupStore::addGroup(GroupList& groups, std::string title)
{
    groups.push_back(GroupRecord{std::move(title), false, json::object()});
    const std::size_t position = groups.size() - 1;

    m_preferences.updateObject(kDeviceInGroupKey, [position](std::optional<json> current) {
        json maps = arrayOrEmpty(current);
        padMaps(maps, position);
        if (maps.size() == position) {
            maps.push_back(json::object());
        } else {
            // Longer than the list: the map at the new position belonged to
            // no group, and the new group starts with no members.
            log::warning("groups: deviceInGroup was longer than groupList; position "
                         + std::to_string(position) + " starts empty");
            maps[position] = json::object();
        }
        return maps;
    });
    writeGroups(groups);
}

void GroupStore::renameGroup(GroupList& groups, std::size_t position, std::string title)
{
    if (position >= groups.size())
        return;
    groups[position].title = std::move(title);
    writeGroups(groups);
}

GroupStore::DeleteResult GroupStore::deleteGroup(GroupList& groups, std::size_t position)
{
    if (position >= groups.size())
        return DeleteResult::NoSuchGroup;
    if (groups[position].selected)
        return DeleteResult::RefusedUnderControl;

    groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(position));
    const auto removePosition = [position](std::optional<json> current) {
        if (!current || !current->is_array() || position >= current->size())
            return Preferences::keepUnchanged();
        current->erase(position);
        return std::move(*current);
    };
    m_preferences.updateObject(kGroupListKey, removePosition);
    m_preferences.updateObject(kDeviceInGroupKey, removePosition);
    return DeleteResult::Deleted;
}

void GroupStore::chooseGroup(GroupList& groups, std::size_t position, bool chosen)
{
    for (std::size_t i = 0; i < groups.size(); ++i)
        groups[i].selected = chosen && i == position;
}

void GroupStore::clearChoice()
{
    m_preferences.updateObject(kGroupListKey, [](std::optional<json> current) {
        if (!current || !current->is_array())
            return Preferences::keepUnchanged();
        for (auto& record : *current)
            if (record.is_object())
                record[kSelected] = false;
        return std::move(*current);
    });
}

MemberList GroupStore::members(std::size_t position) const
{
    MemberList list;
    const auto stored = m_preferences.objectForKey(kDeviceInGroupKey);
    if (!stored || !stored->is_array() || position >= stored->size())
        return list;
    const json& map = (*stored)[position];
    if (!map.is_object())
        return list;
    list.reserve(map.size());
    for (const auto& [identifier, name] : map.items())
        list.emplace_back(identifier, name.is_string() ? name.get<std::string>() : identifier);
    return list;
}

std::size_t GroupStore::storedGroupCount() const
{
    const auto stored = m_preferences.objectForKey(kGroupListKey);
    return stored && stored->is_array() ? stored->size() : 0;
}

bool GroupStore::addDevices(std::size_t position,
                            const std::vector<std::pair<std::string, std::string>>& devices)
{
    // "groupList" only changes on the main thread, where this runs too, so
    // its length cannot change before the update below.
    const std::size_t groupCount = storedGroupCount();
    if (position >= groupCount) {
        log::warning("groups: no group at position " + std::to_string(position) + "; devices not added");
        return false;
    }
    m_preferences.updateObject(kDeviceInGroupKey, [&](std::optional<json> current) {
        json maps = arrayOrEmpty(current);
        padMaps(maps, groupCount);
        json& map = maps[position];
        if (!map.is_object())
            map = json::object();
        for (const auto& [identifier, name] : devices) {
            if (identifier.empty())
                continue;
            if (!name.empty())
                map[identifier] = name;
            else if (!map.contains(identifier))
                map[identifier] = identifier;  // no name yet: show the identifier
        }
        return maps;
    });
    return true;
}

bool GroupStore::removeDevice(std::size_t position, const std::string& identifier)
{
    const std::size_t groupCount = storedGroupCount();
    if (position >= groupCount)
        return false;
    bool removed = false;
    m_preferences.updateObject(kDeviceInGroupKey, [&](std::optional<json> current) {
        if (!current || !current->is_array() || position >= current->size())
            return Preferences::keepUnchanged();
        json& map = (*current)[position];
        if (!map.is_object() || map.erase(identifier) == 0)
            return Preferences::keepUnchanged();
        removed = true;
        padMaps(*current, groupCount);
        return std::move(*current);
    });
    return removed;
}

void GroupStore::refreshNames(const std::string& identifier, const std::string& name)
{
    if (identifier.empty() || name.empty())
        return;  // no name reported: every group keeps the last-known one
    m_preferences.updateObject(kDeviceInGroupKey, [&](std::optional<json> current) {
        if (!current || !current->is_array())
            return Preferences::keepUnchanged();
        bool changed = false;
        for (auto& map : *current) {
            if (!map.is_object())
                continue;
            auto it = map.find(identifier);
            if (it != map.end() && *it != name) {
                *it = name;
                changed = true;
            }
        }
        return changed ? std::move(*current) : Preferences::keepUnchanged();
    });
}

}  // namespace lightdeck
