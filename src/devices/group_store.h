#pragma once
// The groups of lights, kept in the preferences under two parallel arrays:
//
//   "groupList":     [ { "title": "客厅", "selected": false }, ... ]
//   "deviceInGroup": [ { "<DEVICE IDENTIFIER>": "<last-known name>" }, ... ]
//
// Element i of both arrays describes group i: a group's position is its
// identity. The group editor keeps an in-memory copy of "groupList" (a
// GroupList) whose "selected" flags change on every choice but reach the file
// only with the next add or rename; the other operations read and write the
// stored arrays directly.
//
// Every operation is a read-change-write of one key done as one step
// (Preferences::updateObject), so the name refresh that runs on centralQueue
// cannot lose a change made at the same time on the main thread.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "devices/preferences.h"

namespace lightdeck {

struct GroupRecord {
    std::string title;  // at most 6 UTF-16 code units (cut by the editor); may be empty
    bool selected = false;
    // Keys of the stored record this program does not know, kept as found.
    nlohmann::json extra = nlohmann::json::object();

    bool operator==(const GroupRecord& other) const = default;
};

using GroupList = std::vector<GroupRecord>;

// Members of one group, device identifier -> last-known name, in the stored
// map's key order.
using MemberList = std::vector<std::pair<std::string, std::string>>;

class GroupStore {
public:
    enum class DeleteResult {
        Deleted,
        RefusedUnderControl,  // the group is chosen: "不可删除正在控制中的组合"
        NoSuchGroup,
    };

    explicit GroupStore(Preferences& preferences);

    // Load groups: the stored "groupList" (absent or unreadable: empty).
    GroupList loadGroups() const;
    // Writes "groupList" from an in-memory list.
    void writeGroups(const GroupList& groups);

    // Add group: appends {title, selected false} to the in-memory list, an
    // empty map to the stored "deviceInGroup" (padded first to match the list
    // when the arrays are out of step), then writes "groupList" from the list.
    void addGroup(GroupList& groups, std::string title);
    // Rename group: sets the title in the in-memory list and writes it.
    // A position past the end changes nothing.
    void renameGroup(GroupList& groups, std::size_t position, std::string title);
    // Delete group: refused while the in-memory record is selected; otherwise
    // removes the position from the in-memory list and from both stored
    // arrays (the stored records keep their stored "selected" flags).
    DeleteResult deleteGroup(GroupList& groups, std::size_t position);
    // Choose group: in the in-memory list only, the group at position gets
    // `chosen` and every other record false. Writes nothing.
    static void chooseGroup(GroupList& groups, std::size_t position, bool chosen);
    // Clear choice: every stored "selected" becomes false (no "groupList"
    // stored: nothing is written).
    void clearChoice();

    // Members of the group at position; a position past the end of the
    // stored "deviceInGroup" reads as no members.
    MemberList members(std::size_t position) const;
    // Add devices: each (identifier, name) into the group's map; a member
    // already present keeps one entry with the name refreshed; a light
    // without a name is stored under its identifier. Writing past the end of
    // "deviceInGroup" first extends it with empty maps.
    void addDevices(std::size_t position, const std::vector<std::pair<std::string, std::string>>& devices);
    // Remove device: the identifier leaves the group's map.
    void removeDevice(std::size_t position, const std::string& identifier);
    // Refresh names: in every group holding the identifier the name becomes
    // `name`. An empty name (a light that reports none) changes nothing.
    // Safe from centralQueue.
    void refreshNames(const std::string& identifier, const std::string& name);

    static constexpr const char* kGroupListKey = "groupList";
    static constexpr const char* kDeviceInGroupKey = "deviceInGroup";

private:
    Preferences& m_preferences;
};

}  // namespace lightdeck
