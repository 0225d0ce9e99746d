// The groups in the preferences: two parallel arrays, "groupList" and
// "deviceInGroup", in which a group's position is its identity. Each case
// starts from stored arrays, acts through the store as the screens do, and
// checks both arrays afterwards.

#include "devices/group_store.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>


namespace lightdeck {
namespace {

using nlohmann::json;
using Result = GroupStore::DeleteResult;

// Groups "A", "B", "C", one member each.
const char* const kABC =
    R"([{"title":"A","selected":false},{"title":"B","selected":false},{"title":"C","selected":false}])";
const char* const kMembers = R"([{"a":"Light a"},{"b":"Light b"},{"c":"Light c"}])";
const char* const kBC = R"([{"title":"B","selected":false},{"title":"C","selected":false}])";

struct StoreCase {
    const char* name;
    const char* groupList;  // before; nullptr: absent
    const char* deviceInGroup;
    std::function<void(GroupStore&, GroupList&)> act;  // gets loadGroups() as the editor does
    const char* groupListAfter;
    const char* deviceInGroupAfter;
};

// clang-format off
const StoreCase kCases[] = {
    {"the first add writes both keys; empty titles are accepted", nullptr, nullptr,
     [](auto& s, auto& g) { s.addGroup(g, "客厅"); s.addGroup(g, ""); },
     R"([{"title":"客厅","selected":false},{"title":"","selected":false}])", "[{},{}]"},
    {"a rename past the end writes nothing", kABC, kMembers,
     [](auto& s, auto& g) { GroupStore::chooseGroup(g, 1, true); s.renameGroup(g, 3, "x"); }, kABC, kMembers},
    {"a rename stores the one choice of the in-memory list", kABC, kMembers,
     [](auto& s, auto& g) { GroupStore::chooseGroup(g, 1, true); GroupStore::chooseGroup(g, 0, true); s.renameGroup(g, 2, "K"); },
     R"([{"title":"A","selected":true},{"title":"B","selected":false},{"title":"K","selected":false}])", kMembers},
    {"clearing the choice keeps unknown keys and odd elements", R"([{"title":"X","selected":1,"icon":"lamp"},7])", "[{},{}]",
     [](auto& s, auto&) { s.clearChoice(); }, R"([{"title":"X","selected":false,"icon":"lamp"},7])", "[{},{}]"},
    {"deleting group 0 moves the others and their members", kABC, kMembers,
     [](auto& s, auto& g) { EXPECT_EQ(s.deleteGroup(g, 0), Result::Deleted); EXPECT_EQ(g[1].title, "C"); },
     kBC, R"([{"b":"Light b"},{"c":"Light c"}])"},
    {"the chosen group is not deleted, nor one past the end", kABC, kMembers,
     [](auto& s, auto& g) {
         GroupStore::chooseGroup(g, 1, true);
         EXPECT_EQ(std::pair(s.deleteGroup(g, 1), s.deleteGroup(g, 3)), std::pair(Result::RefusedUnderControl, Result::NoSuchGroup));
     }, kABC, kMembers},
    {"a delete keeps the stored flags, not the in-memory ones",
     R"([{"title":"A","selected":false},{"title":"B","selected":false},{"title":"C","selected":true}])", kMembers,
     [](auto& s, auto& g) { GroupStore::chooseGroup(g, 2, false); s.deleteGroup(g, 0); },
     R"([{"title":"B","selected":false},{"title":"C","selected":true}])", R"([{"b":"Light b"},{"c":"Light c"}])"},
    {"adding refreshes names, never duplicates, names a nameless light by its identifier", kABC, kMembers,
     [](auto& s, auto&) {
         EXPECT_TRUE(s.addDevices(0, {{"a", "renamed"}, {"b", "Light b"}, {"x", ""}, {"", "no identifier"}}));
         EXPECT_TRUE(s.addDevices(0, {{"b", ""}}));  // a member keeps its known name
     }, kABC, R"([{"a":"renamed","b":"Light b","x":"x"},{"b":"Light b"},{"c":"Light c"}])"},
    {"a name refresh reaches every group; an empty name changes nothing", kABC, R"([{"a":"1"},{"b":"2"},{"a":"1","c":"3"}])",
     [](auto& s, auto&) { s.refreshNames("a", "Desk"); s.refreshNames("a", ""); s.refreshNames("z", "x"); },
     kABC, R"([{"a":"Desk"},{"b":"2"},{"a":"Desk","c":"3"}])"},
    {"removing a member leaves the other groups alone", kABC, R"([{"a":"1","b":"2"},{"b":"2"},{}])",
     [](auto& s, auto&) {
         EXPECT_TRUE(s.removeDevice(0, "a"));
         EXPECT_FALSE(s.removeDevice(0, "a"));
         EXPECT_FALSE(s.removeDevice(3, "b"));
     }, kABC, R"([{"b":"2"},{"b":"2"},{}])"},
    {"a short map list reads as no members and grows to the position written, never past the groups", kABC,
     R"([{"a":"1"}])", [](auto& s, auto&) {
         EXPECT_TRUE(s.members(2).empty());
         EXPECT_FALSE(s.addDevices(3, {{"b", "2"}}));
         EXPECT_TRUE(s.addDevices(2, {{"c", "3"}}));
     }, kABC, R"([{"a":"1"},{},{"c":"3"}])"},
    {"adding a group when the map list is longer gives it no members", R"([{"title":"A","selected":false}])",
     R"([{"a":"x"},{"orphan":"y"},{"later":"z"}])", [](auto& s, auto& g) { s.addGroup(g, "B"); },
     R"([{"title":"A","selected":false},{"title":"B","selected":false}])", R"([{"a":"x"},{},{"later":"z"}])"},
    {"odd stored values read sanely and are written back as bools",
     R"([{"title":"ok","selected":1,"color":"red"},42,{"title":5,"selected":"yes"}])", R"([{"A":"a","B":7},"no map"])",
     [](auto& s, auto& g) {
         ASSERT_EQ(g.size(), 3u);  // positions stay in step with deviceInGroup
         EXPECT_EQ(s.members(0), (MemberList{{"A", "a"}, {"B", "B"}}));
         s.writeGroups(g);
         EXPECT_TRUE(s.addDevices(1, {{"a", "1"}}));  // the odd element becomes a map
     },
     R"([{"title":"ok","selected":true,"color":"red"},{"title":"","selected":false},{"title":"","selected":false}])",
     R"([{"A":"a","B":7},{"a":"1"},{}])"},
};
// clang-format on

TEST(GroupStoreTest, ChangesToTheStoredArrays)
{
    for (const StoreCase& c : kCases) {
        SCOPED_TRACE(c.name);
        InMemoryPreferences prefs;
        if (c.groupList)
            prefs.setObject("groupList", json::parse(c.groupList));
        if (c.deviceInGroup)
            prefs.setObject("deviceInGroup", json::parse(c.deviceInGroup));
        GroupStore store(prefs);
        GroupList groups = store.loadGroups();
        c.act(store, groups);
        for (const auto& [key, text] : {std::pair{"groupList", c.groupListAfter}, {"deviceInGroup", c.deviceInGroupAfter}})
            EXPECT_EQ(prefs.objectForKey(key), text ? std::optional<json>(json::parse(text)) : std::nullopt) << key;
    }
}

TEST(GroupStoreTest, NoOperationThrowsWhateverIsStored)
{
    const char* values[] = {"null", "42", "\"text\"", "{}", "[]", "[null]", "[[1,2]]", "[{\"title\":[],\"selected\":{}}]",
                            "[{\"A\":{\"nested\":true}}]", "[1.5e300]"};
    for (const char* list : values) {
        for (const char* maps : values) {
            SCOPED_TRACE(std::string(list) + " / " + maps);
            InMemoryPreferences prefs;
            prefs.setObject("groupList", json::parse(list));
            prefs.setObject("deviceInGroup", json::parse(maps));
            GroupStore s(prefs);
            // clang-format off
            EXPECT_NO_THROW({
                GroupList g = s.loadGroups();
                s.members(0); s.refreshNames("A", "name"); s.addDevices(0, {{"A", ""}}); s.removeDevice(0, "A");
                s.clearChoice(); GroupStore::chooseGroup(g, 0, true); s.renameGroup(g, 0, "x");
                GroupStore::chooseGroup(g, 0, false); s.deleteGroup(g, 0); s.addGroup(g, "new");
            });
            // clang-format on
            EXPECT_GE(prefs.objectForKey("deviceInGroup")->size(), s.loadGroups().size()) << "in step afterwards";
        }
    }
}

}  // namespace
}  // namespace lightdeck
