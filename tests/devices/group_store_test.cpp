#include "devices/group_store.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "devices/temp_folder.h"
#include "support/log_capture.h"

namespace lightdeck {
namespace {

using nlohmann::json;

const std::string kLightA = "0D3F2C1A-0000-4000-8000-00000000000A";
const std::string kLightB = "0D3F2C1A-0000-4000-8000-00000000000B";
const std::string kLightC = "0D3F2C1A-0000-4000-8000-00000000000C";

class GroupStoreTest : public ::testing::Test {
protected:
    std::optional<json> stored(const char* key) const { return m_prefs.objectForKey(key); }
    json groupList() const { return stored(GroupStore::kGroupListKey).value_or(json()); }
    json deviceInGroup() const { return stored(GroupStore::kDeviceInGroupKey).value_or(json()); }
    void store(const char* key, const std::string& text) { m_prefs.setObject(key, json::parse(text)); }

    // Three groups "A", "B", "C" with one member each.
    GroupList threeGroups()
    {
        GroupList groups;
        for (const char* title : {"A", "B", "C"})
            m_store.addGroup(groups, title);
        m_store.addDevices(0, {{kLightA, "Light A"}});
        m_store.addDevices(1, {{kLightB, "Light B"}});
        m_store.addDevices(2, {{kLightC, "Light C"}});
        return groups;
    }

    InMemoryPreferences m_prefs;
    GroupStore m_store{m_prefs};
};

TEST_F(GroupStoreTest, FirstRunHasNoGroupsAndTheFirstAddWritesBothKeys)
{
    GroupList groups = m_store.loadGroups();
    EXPECT_TRUE(groups.empty());
    EXPECT_FALSE(stored(GroupStore::kGroupListKey));
    EXPECT_FALSE(stored(GroupStore::kDeviceInGroupKey));
    EXPECT_TRUE(m_store.members(0).empty());

    m_store.addGroup(groups, "客厅");
    EXPECT_EQ(groupList(), json::parse(R"([{"title":"客厅","selected":false}])"));
    EXPECT_EQ(deviceInGroup(), json::parse("[{}]"));
    EXPECT_EQ(groups, m_store.loadGroups());

    m_store.addGroup(groups, "");  // empty titles are accepted
    EXPECT_EQ(groupList(), json::parse(R"([{"title":"客厅","selected":false},{"title":"","selected":false}])"));
    EXPECT_EQ(deviceInGroup(), json::parse("[{},{}]"));
}

TEST_F(GroupStoreTest, ChoosingWritesNothingRenamingWritesTheInMemoryFlags)
{
    GroupList groups = threeGroups();
    const json before = groupList();
    GroupStore::chooseGroup(groups, 1, true);
    EXPECT_TRUE(groups[1].selected);
    EXPECT_FALSE(groups[0].selected || groups[2].selected);
    EXPECT_EQ(groupList(), before);  // not yet stored

    // Renaming any group stores the choice along with the title.
    m_store.renameGroup(groups, 2, "Kitchen");
    EXPECT_EQ(groupList(), json::parse(R"([{"title":"A","selected":false},
        {"title":"B","selected":true},{"title":"Kitchen","selected":false}])"));

    GroupStore::chooseGroup(groups, 0, true);  // another group: only one is chosen
    EXPECT_TRUE(groups[0].selected);
    EXPECT_FALSE(groups[1].selected);
    GroupStore::chooseGroup(groups, 0, false);  // un-choosing leaves none
    for (const auto& g : groups)
        EXPECT_FALSE(g.selected);

    const json after = groupList();
    m_store.renameGroup(groups, 3, "past the end");
    EXPECT_EQ(groupList(), after);
    EXPECT_EQ(groups.size(), 3u);
}

TEST_F(GroupStoreTest, ClearChoiceStoresEveryFlagFalseAndKeepsTheRest)
{
    GroupList groups = threeGroups();
    GroupStore::chooseGroup(groups, 2, true);
    m_store.renameGroup(groups, 0, "A");
    ASSERT_TRUE(groupList()[2]["selected"].get<bool>());
    m_store.clearChoice();
    EXPECT_EQ(groupList(), json::parse(R"([{"title":"A","selected":false},
        {"title":"B","selected":false},{"title":"C","selected":false}])"));

    // Numbers become bools, unknown keys and odd elements stay.
    store(GroupStore::kGroupListKey, R"([{"title":"X","selected":1,"icon":"lamp"},7])");
    m_store.clearChoice();
    EXPECT_EQ(groupList(), json::parse(R"([{"title":"X","selected":false,"icon":"lamp"},7])"));
}

TEST_F(GroupStoreTest, ClearChoiceWithNoGroupListWritesNothing)
{
    m_store.clearChoice();
    EXPECT_FALSE(stored(GroupStore::kGroupListKey));
}

TEST_F(GroupStoreTest, DeletingGroupZeroOfThreeMovesTheOthersAndTheirMembers)
{
    GroupList groups = threeGroups();
    EXPECT_EQ(m_store.deleteGroup(groups, 0), GroupStore::DeleteResult::Deleted);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].title, "B");
    EXPECT_EQ(groups[1].title, "C");
    EXPECT_EQ(groupList(), json::parse(R"([{"title":"B","selected":false},{"title":"C","selected":false}])"));
    EXPECT_EQ(m_store.members(0), (MemberList{{kLightB, "Light B"}}));
    EXPECT_EQ(m_store.members(1), (MemberList{{kLightC, "Light C"}}));
    EXPECT_TRUE(m_store.members(2).empty());
    EXPECT_EQ(deviceInGroup().size(), 2u);
}

TEST_F(GroupStoreTest, DeletingTheChosenGroupIsRefusedAndChangesNothing)
{
    GroupList groups = threeGroups();
    GroupStore::chooseGroup(groups, 1, true);
    const GroupList memoryBefore = groups;
    const json listBefore = groupList();
    const json membersBefore = deviceInGroup();

    EXPECT_EQ(m_store.deleteGroup(groups, 1), GroupStore::DeleteResult::RefusedUnderControl);
    EXPECT_EQ(groups, memoryBefore);
    EXPECT_EQ(groupList(), listBefore);
    EXPECT_EQ(deviceInGroup(), membersBefore);

    EXPECT_EQ(m_store.deleteGroup(groups, 3), GroupStore::DeleteResult::NoSuchGroup);
    EXPECT_EQ(groups, memoryBefore);
}

TEST_F(GroupStoreTest, DeleteKeepsTheStoredFlagsNotTheInMemoryOnes)
{
    store(GroupStore::kGroupListKey, R"([{"title":"A","selected":false},{"title":"B","selected":false},
        {"title":"C","selected":true}])");
    store(GroupStore::kDeviceInGroupKey, "[{},{},{}]");
    GroupList groups = m_store.loadGroups();
    GroupStore::chooseGroup(groups, 2, false);  // un-chosen in memory only
    GroupStore::chooseGroup(groups, 1, true);
    GroupStore::chooseGroup(groups, 1, false);

    EXPECT_EQ(m_store.deleteGroup(groups, 0), GroupStore::DeleteResult::Deleted);
    EXPECT_EQ(groupList(), json::parse(R"([{"title":"B","selected":false},{"title":"C","selected":true}])"));
    EXPECT_FALSE(groups[1].selected);
}

TEST_F(GroupStoreTest, AddingDevicesNeverDuplicatesAndRefreshesNames)
{
    GroupList groups = threeGroups();
    EXPECT_TRUE(m_store.addDevices(0, {{kLightA, "Light A renamed"}, {kLightB, "Light B"}}));
    EXPECT_EQ(m_store.members(0), (MemberList{{kLightA, "Light A renamed"}, {kLightB, "Light B"}}));
    EXPECT_EQ(deviceInGroup()[0].size(), 2u);
    // Other groups untouched.
    EXPECT_EQ(m_store.members(1), (MemberList{{kLightB, "Light B"}}));
    // Nothing ticked: the group is stored unchanged.
    EXPECT_TRUE(m_store.addDevices(0, {}));
    EXPECT_EQ(m_store.members(0).size(), 2u);
}

TEST_F(GroupStoreTest, ALightWithoutANameIsStoredUnderItsIdentifierAndKeepsAKnownName)
{
    GroupList groups;
    m_store.addGroup(groups, "G");
    m_store.addDevices(0, {{kLightA, ""}, {kLightB, "Light B"}, {"", "no identifier"}});
    EXPECT_EQ(m_store.members(0), (MemberList{{kLightA, kLightA}, {kLightB, "Light B"}}));
    // A member that reports no name later keeps the name it had.
    m_store.addDevices(0, {{kLightB, ""}});
    EXPECT_EQ(m_store.members(0), (MemberList{{kLightA, kLightA}, {kLightB, "Light B"}}));
    // A name arriving later replaces the identifier.
    m_store.refreshNames(kLightA, "Light A");
    EXPECT_EQ(m_store.members(0), (MemberList{{kLightA, "Light A"}, {kLightB, "Light B"}}));
}

TEST_F(GroupStoreTest, RefreshingNamesReachesEveryGroupAndIgnoresEmptyNames)
{
    GroupList groups = threeGroups();
    m_store.addDevices(2, {{kLightA, "Light A"}});
    m_store.refreshNames(kLightA, "Desk");
    EXPECT_EQ(m_store.members(0), (MemberList{{kLightA, "Desk"}}));
    EXPECT_EQ(m_store.members(2), (MemberList{{kLightA, "Desk"}, {kLightC, "Light C"}}));
    EXPECT_EQ(m_store.members(1), (MemberList{{kLightB, "Light B"}}));

    // A light that reports no name keeps its last-known name everywhere.
    const json before = deviceInGroup();
    m_store.refreshNames(kLightA, "");
    EXPECT_EQ(deviceInGroup(), before);
    // A light in no group changes nothing.
    m_store.refreshNames("NOT-A-MEMBER", "x");
    EXPECT_EQ(deviceInGroup(), before);
}

TEST_F(GroupStoreTest, RemovingADevice)
{
    GroupList groups = threeGroups();
    m_store.addDevices(0, {{kLightB, "Light B"}});
    EXPECT_TRUE(m_store.removeDevice(0, kLightA));
    EXPECT_EQ(m_store.members(0), (MemberList{{kLightB, "Light B"}}));
    EXPECT_EQ(m_store.members(1), (MemberList{{kLightB, "Light B"}}));  // other groups keep it
    EXPECT_FALSE(m_store.removeDevice(0, kLightA));  // no longer there
    EXPECT_FALSE(m_store.removeDevice(3, kLightB));  // no group 3
    EXPECT_EQ(m_store.members(0).size(), 1u);
}

TEST_F(GroupStoreTest, ArraysOutOfStepReadAsNoMembersAndWritesLandAtTheRightPosition)
{
    // Three groups, but only one membership map stored.
    store(GroupStore::kGroupListKey, R"([{"title":"A","selected":false},{"title":"B","selected":false},
        {"title":"C","selected":false}])");
    store(GroupStore::kDeviceInGroupKey, R"([{")" + kLightA + R"(":"Light A"}])");
    EXPECT_TRUE(m_store.members(2).empty());
    EXPECT_TRUE(m_store.members(100).empty());

    EXPECT_TRUE(m_store.addDevices(2, {{kLightC, "Light C"}}));
    EXPECT_EQ(deviceInGroup(), json::parse(R"([{")" + kLightA + R"(":"Light A"},{},{")" + kLightC
                                           + R"(":"Light C"}])"));

    // A position that is no group is never written.
    const json before = deviceInGroup();
    testing::LogCapture log;
    EXPECT_FALSE(m_store.addDevices(3, {{kLightB, "Light B"}}));
    EXPECT_FALSE(m_store.addDevices(1000, {{kLightB, "Light B"}}));
    EXPECT_EQ(deviceInGroup(), before);
    EXPECT_TRUE(log.contains("no group at position 3"));

    // Adding a group when deviceInGroup is short pads it first.
    store(GroupStore::kDeviceInGroupKey, "[]");
    GroupList groups = m_store.loadGroups();
    m_store.addGroup(groups, "D");
    EXPECT_EQ(deviceInGroup(), json::parse("[{},{},{},{}]"));
}

TEST_F(GroupStoreTest, AddingAGroupWhenMapsAreLongerGivesTheNewGroupNoMembers)
{
    store(GroupStore::kGroupListKey, R"([{"title":"A","selected":false}])");
    store(GroupStore::kDeviceInGroupKey, R"([{"a":"x"},{"orphan":"y"},{"later":"z"}])");
    GroupList groups = m_store.loadGroups();
    testing::LogCapture log;
    m_store.addGroup(groups, "B");
    EXPECT_TRUE(log.contains("deviceInGroup was longer than groupList"));
    EXPECT_TRUE(m_store.members(1).empty());
    EXPECT_EQ(m_store.members(0), (MemberList{{"a", "x"}}));
    EXPECT_EQ(deviceInGroup()[2], json::parse(R"({"later":"z"})"));
}

TEST_F(GroupStoreTest, OddStoredValuesAreReadSanely)
{
    store(GroupStore::kGroupListKey, R"([
        {"title":"ok","selected":1,"color":"red"},
        42,
        {"title":5,"selected":"yes"},
        {"title":"zero","selected":0},
        {"title":"t","selected":true},
        null])");
    GroupList groups = m_store.loadGroups();
    ASSERT_EQ(groups.size(), 6u);  // positions stay in step with deviceInGroup
    EXPECT_EQ(groups[0].title, "ok");
    EXPECT_TRUE(groups[0].selected);
    EXPECT_EQ(groups[0].extra, json::parse(R"({"color":"red"})"));
    EXPECT_EQ(groups[1], GroupRecord{});
    EXPECT_EQ(groups[2].title, "");
    EXPECT_FALSE(groups[2].selected);
    EXPECT_FALSE(groups[3].selected);
    EXPECT_TRUE(groups[4].selected);

    // Written back: bools, unknown keys kept.
    m_store.writeGroups(groups);
    EXPECT_EQ(groupList()[0], json::parse(R"({"title":"ok","selected":true,"color":"red"})"));
    EXPECT_EQ(groupList()[1], json::parse(R"({"title":"","selected":false})"));

    store(GroupStore::kDeviceInGroupKey, R"([{"A":"a","B":7,"C":null}, "not a map", 3])");
    EXPECT_EQ(m_store.members(0), (MemberList{{"A", "a"}, {"B", "B"}, {"C", "C"}}));
    EXPECT_TRUE(m_store.members(1).empty());
    EXPECT_TRUE(m_store.addDevices(1, {{kLightA, "Light A"}}));  // the odd element becomes a map
    EXPECT_EQ(m_store.members(1), (MemberList{{kLightA, "Light A"}}));
}

TEST_F(GroupStoreTest, NoOperationThrowsWhateverIsStored)
{
    const char* values[] = {"null", "42", "\"text\"", "{}", "{\"0\":{}}", "[]", "[null]", "[[1,2]]",
                            "[{\"title\":[],\"selected\":{}}]", "[{\"A\":{\"nested\":true}}]", "[1.5e300]"};
    testing::LogCapture quiet;
    for (const char* list : values) {
        for (const char* maps : values) {
            SCOPED_TRACE(std::string(list) + " / " + maps);
            store(GroupStore::kGroupListKey, list);
            store(GroupStore::kDeviceInGroupKey, maps);
            EXPECT_NO_THROW({
                GroupList groups = m_store.loadGroups();
                m_store.members(0);
                m_store.refreshNames("A", "name");
                m_store.addDevices(0, {{"A", ""}});
                m_store.removeDevice(0, "A");
                m_store.clearChoice();
                GroupStore::chooseGroup(groups, 0, true);
                m_store.renameGroup(groups, 0, "x");
                GroupStore::chooseGroup(groups, 0, false);
                m_store.deleteGroup(groups, 0);
                m_store.addGroup(groups, "new");
            });
            // After any of that the arrays are usable and in step at the end.
            const auto groups = m_store.loadGroups();
            EXPECT_GE(deviceInGroup().size(), groups.size());
        }
    }
}

TEST_F(GroupStoreTest, LeavingTheControlScreenAfterChoosingStoresNoChoice)
{
    GroupList groups = threeGroups();
    GroupStore::chooseGroup(groups, 1, true);
    m_store.renameGroup(groups, 1, "B2");  // the choice reaches the store
    m_store.clearChoice();                 // back button
    for (const auto& record : groupList())
        EXPECT_FALSE(record["selected"].get<bool>());
}

TEST_F(GroupStoreTest, NameRefreshOnAnotherThreadAndEditsLoseNothing)
{
    GroupList groups;
    m_store.addGroup(groups, "A");
    m_store.addGroup(groups, "B");
    m_store.addDevices(0, {{kLightA, "start"}});
    m_store.addDevices(1, {{kLightA, "start"}});

    constexpr int kRounds = 500;
    std::thread centralQueue([&] {
        for (int i = 1; i <= kRounds; ++i)
            m_store.refreshNames(kLightA, "name " + std::to_string(i));
    });
    for (int i = 0; i < kRounds; ++i)
        m_store.addDevices(i % 2, {{"LIGHT-" + std::to_string(i), "L" + std::to_string(i)}});
    centralQueue.join();

    const MemberList zero = m_store.members(0);
    const MemberList one = m_store.members(1);
    EXPECT_EQ(zero.size() + one.size(), 2u + kRounds);
    const std::string last = "name " + std::to_string(kRounds);
    for (const auto& members : {zero, one}) {
        for (const auto& [id, name] : members) {
            if (id == kLightA) {
                EXPECT_EQ(name, last);
            }
        }
    }
}

TEST(GroupStoreFileTest, GroupsSurviveARestartInTheDocumentedShape)
{
    testing::TempFolder folder;
    const auto file = folder.path() / "preferences.json";
    {
        JsonFilePreferences prefs(file);
        GroupStore store(prefs);
        GroupList groups = store.loadGroups();
        store.addGroup(groups, "客厅");
        store.addDevices(0, {{kLightA, "Light A"}});
        GroupStore::chooseGroup(groups, 0, true);
        store.renameGroup(groups, 0, "客厅");
    }
    EXPECT_EQ(json::parse(testing::TempFolder::read(file)), json::parse(R"({
        "groupList": [{"title":"客厅","selected":true}],
        "deviceInGroup": [{")" + kLightA + R"(":"Light A"}]})"));

    JsonFilePreferences prefs(file);
    GroupStore store(prefs);
    const GroupList groups = store.loadGroups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].title, "客厅");
    EXPECT_TRUE(groups[0].selected);  // stored flags are used as found
    EXPECT_EQ(store.members(0), (MemberList{{kLightA, "Light A"}}));
}

}  // namespace
}  // namespace lightdeck
