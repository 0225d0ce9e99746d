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

    // Load groups: the stored "groupList" (absent or not an array: empty).
    // "selected" may be stored as a bool or a number (non-zero is true); a
    // title that is not text reads as "". An element that is not a record
    // reads as an untitled, unselected group, so that positions stay in step
    // with "deviceInGroup".
    GroupList loadGroups() const;
    // Writes "groupList" from an in-memory list ("selected" as a bool; the
    // record's unknown keys as they were found).
    void writeGroups(const GroupList& groups);

    // Add group: appends {title, selected false} to the in-memory list, an
    // empty map to the stored "deviceInGroup" (so that the new group's map is
    // the empty one at its position, also when the arrays are out of step),
    // then writes "groupList" from the list.
    void addGroup(GroupList& groups, std::string title);
    // Rename group: sets the title in the in-memory list and writes it.
    // A position past the end changes nothing.
    void renameGroup(GroupList& groups, std::size_t position, std::string title);
    // Delete group: refused while the in-memory record is selected; otherwise
    // removes the position from the in-memory list and from both stored
    // arrays (the stored records keep their stored "selected" flags). A
    // stored array too short for the position is left as it is.
    DeleteResult deleteGroup(GroupList& groups, std::size_t position);
    // Choose group: in the in-memory list only, the group at position gets
    // `chosen` and every other record false. Writes nothing.
    static void chooseGroup(GroupList& groups, std::size_t position, bool chosen);
    // Clear choice: every stored "selected" becomes false (no "groupList"
    // stored: nothing is written).
    void clearChoice();

    // Members of the group at position, in the stored map's key order; a
    // position past the end of the stored "deviceInGroup" reads as no
    // members. A stored name that is not text reads as the identifier.
    MemberList members(std::size_t position) const;
    // Number of groups in the stored "groupList" (absent: 0).
    std::size_t storedGroupCount() const;

    // The three writers below address a stored group: a position at or past
    // the end of the stored "groupList" is no group, and nothing is written
    // (returns false). When "deviceInGroup" is shorter than "groupList" (the
    // arrays out of step), a write first extends it with empty maps.
    //
    // Add devices: each (identifier, name) into the group's map; a member
    // already present keeps one entry with the name refreshed. A light that
    // reports no name (empty) keeps its last-known name when it is a member
    // already, and is stored with its identifier as its name when it is new.
    // Empty identifiers are skipped. Writes even when `devices` is empty.
    bool addDevices(std::size_t position, const std::vector<std::pair<std::string, std::string>>& devices);
    // Remove device: the identifier leaves the group's map. Returns whether
    // it was a member (nothing is written otherwise).
    bool removeDevice(std::size_t position, const std::string& identifier);
    // Refresh names: in every group holding the identifier the name becomes
    // `name`. An empty name (a light that reports none) changes nothing, and
    // nothing is written when no group holds the light. Safe from
    // centralQueue.
    void refreshNames(const std::string& identifier, const std::string& name);

    static constexpr const char* kGroupListKey = "groupList";
    static constexpr const char* kDeviceInGroupKey = "deviceInGroup";

private:
    Preferences& m_preferences;
};

}  // namespace lightdeck
