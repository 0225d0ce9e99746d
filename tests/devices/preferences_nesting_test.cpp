// A preferences file nested very deeply (a damaged or hostile file) must
// not crash the program when the groups are read or the file is saved: it
// is moved aside, bytes intact, like any other corrupt file, and the store
// starts empty and keeps working. Nesting this program could have written
// is kept.

#include <string>

#include <gtest/gtest.h>

#include "devices/group_store.h"
#include "devices/preferences.h"
#include "devices/temp_folder.h"

namespace lightdeck {
namespace {

using testing::TempFolder;

// {"groupList": [ ...depth-1 arrays... ], "deviceInGroup": []}: `depth`
// levels of brackets in all.
std::string nestedGroupList(std::size_t depth)
{
    const std::size_t arrays = depth - 1;
    return "{\"groupList\": " + std::string(arrays, '[') + std::string(arrays, ']') + ", \"deviceInGroup\": []}";
}

// {"a": {"a": ... 0 ...}}: `depth` levels of objects.
std::string nestedObjects(std::size_t depth)
{
    std::string text;
    for (std::size_t i = 0; i < depth; ++i)
        text += "{\"a\":";
    return text + "0" + std::string(depth, '}');
}

struct NestingCase {
    const char* what;
    std::string text;
    bool movedAside;
};

class PreferencesNesting : public ::testing::TestWithParam<NestingCase> {};

TEST_P(PreferencesNesting, DeepFilesAreMovedAsideAndTheStoreKeepsWorking)
{
    const NestingCase& param = GetParam();
    TempFolder folder;
    const auto file = folder.path() / "preferences.json";
    TempFolder::write(file, param.text);

    JsonFilePreferences prefs(file);
    GroupStore store(prefs);
    GroupList groups = store.loadGroups();  // copies "groupList": the crash was here
    store.addGroup(groups, "客厅");           // saves the whole file: or here

    EXPECT_EQ(!prefs.movedAsideTo().empty(), param.movedAside) << param.what;
    if (param.movedAside) {
        EXPECT_EQ(TempFolder::read(prefs.movedAsideTo()), param.text) << "the corrupt file must not be lost";
        EXPECT_EQ(groups.size(), 1u);
    }
    EXPECT_EQ(store.loadGroups().back().title, "客厅");
    JsonFilePreferences reread(file);
    EXPECT_TRUE(reread.movedAsideTo().empty()) << "what was saved reads back";
    EXPECT_EQ(GroupStore(reread).loadGroups(), store.loadGroups());
}

INSTANTIATE_TEST_SUITE_P(
    Files, PreferencesNesting,
    ::testing::Values(NestingCase{"own_file", nestedGroupList(3), false},
                      NestingCase{"deepest_kept", nestedGroupList(64), false},
                      NestingCase{"one_too_deep", nestedGroupList(65), true},
                      NestingCase{"hundred_thousand_levels", nestedGroupList(100000), true},
                      NestingCase{"objects", nestedObjects(100000), true},
                      NestingCase{"brackets_in_a_title",
                                  "{\"groupList\": [{\"title\": \"" + std::string(100000, '[') + "\\\"{\"}]}", false}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace lightdeck
