// The shared preferences and group store: one store for every screen, a
// handle that outlives a swap, and swaps while another thread refreshes names.

#include "devices/shared_store.h"

#include <QTemporaryDir>

#include <atomic>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace lightdeck {
namespace {

nlohmann::json readJson(const std::filesystem::path& file)
{
    std::ifstream in(file);
    return in ? nlohmann::json::parse(in, nullptr, false) : nlohmann::json();
}

class SharedStoreTest : public ::testing::Test {
protected:
    void TearDown() override { setSharedPreferences(std::make_shared<InMemoryPreferences>()); }
    std::filesystem::path file(const char* name) const
    {
        return std::filesystem::path(m_folder.path().toStdString()) / name;
    }
    QTemporaryDir m_folder;
};

TEST_F(SharedStoreTest, EveryUserSeesTheSameStoreOverTheSameFile)
{
    useSharedPreferencesFile(file("a.json"));
    EXPECT_EQ(sharedPreferencesFile(), file("a.json"));
    EXPECT_EQ(&sharedGroupStore(), sharedGroupStoreHandle().get());

    GroupList groups;
    sharedGroupStore().addGroup(groups, "客厅");
    sharedGroupStoreHandle()->addDevices(0, {{"0D3F2C1A-0000-4000-8000-000000000001", "Old"}});
    sharedGroupStoreHandle()->refreshNames("0D3F2C1A-0000-4000-8000-000000000001", "New");
    EXPECT_EQ(sharedGroupStore().members(0).at(0).second, "New");
    EXPECT_EQ(readJson(file("a.json"))["deviceInGroup"][0]["0D3F2C1A-0000-4000-8000-000000000001"], "New");
    EXPECT_EQ(sharedPreferences().objectForKey("groupList")->size(), 1u);

    setSharedPreferences(std::make_shared<InMemoryPreferences>());
    EXPECT_EQ(sharedPreferencesFile(), std::filesystem::path());
    EXPECT_TRUE(sharedGroupStore().loadGroups().empty());
}

TEST_F(SharedStoreTest, AHandleKeepsItsStoreAcrossASwap)
{
    useSharedPreferencesFile(file("old.json"));
    GroupList groups;
    sharedGroupStore().addGroup(groups, "Old group");
    const auto handle = sharedGroupStoreHandle();
    useSharedPreferencesFile(file("new.json"));
    // The late writer still reaches the store it started with, not the new one.
    handle->addDevices(0, {{"0D3F2C1A-0000-4000-8000-000000000002", "Late"}});
    EXPECT_EQ(readJson(file("old.json"))["deviceInGroup"][0].size(), 1u);
    EXPECT_TRUE(sharedGroupStore().loadGroups().empty());
    EXPECT_FALSE(std::filesystem::exists(file("new.json")));
}

TEST_F(SharedStoreTest, SwapsWhileAnotherThreadRefreshesNames)
{
    setSharedPreferences(std::make_shared<InMemoryPreferences>());
    std::atomic<bool> stop{false};
    std::thread refresher([&] {
        while (!stop) {
            auto store = sharedGroupStoreHandle();
            GroupList groups = store->loadGroups();
            if (groups.empty())
                store->addGroup(groups, "g");
            store->addDevices(0, {{"0D3F2C1A-0000-4000-8000-000000000003", "x"}});
            store->refreshNames("0D3F2C1A-0000-4000-8000-000000000003", "y");
        }
    });
    for (int i = 0; i < 200; ++i)
        setSharedPreferences(std::make_shared<InMemoryPreferences>());
    stop = true;
    refresher.join();
    SUCCEED();
}

}  // namespace
}  // namespace lightdeck
