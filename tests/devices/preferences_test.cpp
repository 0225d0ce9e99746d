#include "devices/preferences.h"

#include <atomic>
#include <cerrno>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "devices/temp_folder.h"
#include "support/log_capture.h"

namespace lightdeck {
namespace {

using nlohmann::json;
using testing::LogCapture;
using testing::TempFolder;

mode_t modeOf(const std::filesystem::path& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

// File operations that fail at one chosen step, and skip fsync for speed
// where a test asks.
class FaultyOps : public FileSystemOps {
public:
    std::string failStep;  // "", or the name of the operation to fail
    int failError = EIO;
    bool fastSync = false;
    std::atomic<int> existingCorruptNames{0};  // renameNoReplace answers EEXIST this often
    std::atomic<int> syncs{0};

    int readFile(const std::filesystem::path& f, std::string& c) override
    {
        return fail("readFile") ? failError : FileSystemOps::readFile(f, c);
    }
    int makeDirectory(const std::filesystem::path& f, mode_t m) override
    {
        return fail("makeDirectory") ? failError : FileSystemOps::makeDirectory(f, m);
    }
    int createTemporary(std::string& t, int& fd) override
    {
        return fail("createTemporary") ? failError : FileSystemOps::createTemporary(t, fd);
    }
    int setMode(int fd, mode_t m) override
    {
        return fail("setMode") ? failError : FileSystemOps::setMode(fd, m);
    }
    int writeAll(int fd, std::string_view d) override
    {
        if (fail("writeAll")) {
            // A short write before the failure, as a full disk does.
            FileSystemOps::writeAll(fd, d.substr(0, d.size() / 2));
            return failError;
        }
        return FileSystemOps::writeAll(fd, d);
    }
    int syncFile(int fd) override
    {
        ++syncs;
        if (fail("syncFile"))
            return failError;
        return fastSync ? 0 : FileSystemOps::syncFile(fd);
    }
    int closeFile(int fd) override
    {
        if (fail("closeFile")) {
            FileSystemOps::closeFile(fd);
            return failError;
        }
        return FileSystemOps::closeFile(fd);
    }
    int rename(const std::filesystem::path& a, const std::filesystem::path& b) override
    {
        return fail("rename") ? failError : FileSystemOps::rename(a, b);
    }
    int renameNoReplace(const std::filesystem::path& a, const std::filesystem::path& b) override
    {
        if (existingCorruptNames > 0) {
            --existingCorruptNames;
            return EEXIST;
        }
        return fail("renameNoReplace") ? failError : FileSystemOps::renameNoReplace(a, b);
    }
    int syncDirectory(const std::filesystem::path& f) override
    {
        if (fail("syncDirectory"))
            return failError;
        return fastSync ? 0 : FileSystemOps::syncDirectory(f);
    }

private:
    bool fail(const char* step) const { return failStep == step; }
};

// --- In memory -------------------------------------------------------------

TEST(InMemoryPreferencesTest, SetReadRemoveUpdate)
{
    InMemoryPreferences prefs;
    EXPECT_FALSE(prefs.objectForKey("groupList"));
    prefs.setObject("groupList", json::array({1, 2}));
    EXPECT_EQ(prefs.objectForKey("groupList"), json::array({1, 2}));
    prefs.updateObject("groupList", [](std::optional<json> v) {
        json list = v.value_or(json::array());
        list.push_back(3);
        return list;
    });
    EXPECT_EQ(prefs.objectForKey("groupList"), json::array({1, 2, 3}));
    bool sawValue = true;
    prefs.updateObject("absent", [&](const std::optional<json>& v) {
        sawValue = v.has_value();
        return Preferences::keepUnchanged();
    });
    EXPECT_FALSE(sawValue);
    EXPECT_FALSE(prefs.objectForKey("absent"));
    prefs.removeObjectForKey("groupList");
    EXPECT_FALSE(prefs.objectForKey("groupList"));
    prefs.removeObjectForKey("groupList");  // absent: nothing happens
}

// --- The file ----------------------------------------------------------------

class JsonFilePreferencesTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return m_folder.path() / "lightdeck" / "preferences.json"; }
    std::filesystem::path folder() const { return m_folder.path() / "lightdeck"; }
    json fileJson() const { return json::parse(TempFolder::read(file())); }
    void writeFile(const std::string& text) const
    {
        std::filesystem::create_directories(folder());
        TempFolder::write(file(), text);
    }

    TempFolder m_folder;
};

TEST_F(JsonFilePreferencesTest, NoFileMeansEmptyAndNothingIsCreatedUntilAWrite)
{
    JsonFilePreferences prefs(file());
    EXPECT_FALSE(prefs.objectForKey("groupList"));
    EXPECT_FALSE(prefs.lastError());
    EXPECT_FALSE(std::filesystem::exists(folder()));
}

TEST_F(JsonFilePreferencesTest, FirstWriteCreatesPrivateFolderAndFile)
{
    // Two folder levels missing.
    const auto deep = m_folder.path() / "config" / "lightdeck" / "preferences.json";
    JsonFilePreferences prefs(deep);
    prefs.setObject("groupList", json::array());
    ASSERT_TRUE(std::filesystem::exists(deep));
    EXPECT_EQ(modeOf(deep), 0600u);
    EXPECT_EQ(modeOf(deep.parent_path()), 0700u);
    EXPECT_EQ(modeOf(deep.parent_path().parent_path()), 0700u);
    // Only the file: no temporary left behind.
    EXPECT_EQ(TempFolder::list(deep.parent_path()), std::vector<std::string>{"preferences.json"});
}

TEST_F(JsonFilePreferencesTest, ValuesSurviveARestart)
{
    const json groups = json::parse(R"([{"title":"客厅","selected":true},{"title":"","selected":false}])");
    const json members = json::parse(R"([{"0D3F2C1A-0000-4000-8000-00000000009E":"Light A 😀"},{}])");
    {
        JsonFilePreferences prefs(file());
        prefs.setObject("groupList", groups);
        prefs.setObject("deviceInGroup", members);
        prefs.setObject("number", 1.5);
        prefs.setObject("gone", "soon");
        prefs.removeObjectForKey("gone");
    }
    JsonFilePreferences reopened(file());
    EXPECT_EQ(reopened.objectForKey("groupList"), groups);
    EXPECT_EQ(reopened.objectForKey("deviceInGroup"), members);
    EXPECT_EQ(reopened.objectForKey("number"), json(1.5));
    EXPECT_FALSE(reopened.objectForKey("gone"));
    EXPECT_EQ(modeOf(file()), 0600u);
}

TEST_F(JsonFilePreferencesTest, UnknownKeysAreKept)
{
    writeFile(R"({"windowGeometry":{"w":390,"h":844},"future":[1,"two",null],"groupList":[]})");
    {
        JsonFilePreferences prefs(file());
        prefs.setObject("groupList", json::array({{{"title", "A"}, {"selected", false}}}));
    }
    const json stored = fileJson();
    EXPECT_EQ(stored["windowGeometry"], json::parse(R"({"w":390,"h":844})"));
    EXPECT_EQ(stored["future"], json::parse(R"([1,"two",null])"));
    EXPECT_EQ(stored["groupList"][0]["title"], "A");
}

TEST_F(JsonFilePreferencesTest, InvalidUtf8IsWrittenAsReplacementNotThrown)
{
    JsonFilePreferences prefs(file());
    EXPECT_NO_THROW(prefs.setObject("name", std::string("bad \xFF name")));
    EXPECT_FALSE(prefs.lastError());
    EXPECT_EQ(fileJson()["name"], "bad \xEF\xBF\xBD name");
}

TEST_F(JsonFilePreferencesTest, AFailedStepLeavesTheOldFileAndKeepsTheValue)
{
    const char* steps[] = {"makeDirectory", "createTemporary", "setMode", "writeAll",
                           "syncFile",      "closeFile",       "rename"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        std::filesystem::remove_all(folder());
        writeFile(R"({"groupList":[{"title":"old","selected":false}]})");
        const std::string before = TempFolder::read(file());

        FaultyOps ops;
        JsonFilePreferences prefs(file(), ops);
        ops.failStep = step;
        if (std::string(step) == "makeDirectory")
            std::filesystem::remove_all(folder());  // so the folder must be made
        LogCapture log;
        prefs.setObject("groupList", json::array({{{"title", "new"}, {"selected", false}}}));

        // The value is there for this run, the failure is told...
        EXPECT_EQ((*prefs.objectForKey("groupList"))[0]["title"], "new");
        EXPECT_EQ(prefs.lastError(), std::error_code(EIO, std::generic_category()));
        EXPECT_TRUE(log.contains("cannot save"));
        // ...and the file on disk is the old one, whole, with no temporary left.
        if (std::string(step) != "makeDirectory") {
            EXPECT_EQ(TempFolder::read(file()), before);
            EXPECT_EQ(TempFolder::list(folder()), std::vector<std::string>{"preferences.json"});
        }

        // Once the disk works again the next change writes everything.
        ops.failStep.clear();
        prefs.setObject("other", 1);
        EXPECT_FALSE(prefs.lastError());
        JsonFilePreferences reopened(file());
        EXPECT_EQ((*reopened.objectForKey("groupList"))[0]["title"], "new");
        EXPECT_EQ(reopened.objectForKey("other"), json(1));
    }
}

TEST_F(JsonFilePreferencesTest, AFullDiskOrAReadOnlyFolderIsLoggedAndKeepsTheOldFile)
{
    struct Case {
        const char* what;
        const char* failStep;
        int error;
    };
    const Case cases[] = {
        {"disk full while writing", "writeAll", ENOSPC},
        {"disk full at fsync (delayed allocation)", "syncFile", ENOSPC},
        {"quota exceeded", "writeAll", EDQUOT},
        {"read-only file system", "createTemporary", EROFS},
        {"folder not writable", "createTemporary", EACCES},
        {"read-only file system, no folder yet", "makeDirectory", EROFS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(folder());
        writeFile(R"({"groupList":[{"title":"old","selected":false}],"deviceInGroup":[{}]})");
        const std::string before = TempFolder::read(file());

        FaultyOps ops;
        JsonFilePreferences prefs(file(), ops);
        ops.failStep = c.failStep;
        ops.failError = c.error;
        if (std::string(c.failStep) == "makeDirectory")
            std::filesystem::remove_all(folder());
        LogCapture log;
        prefs.setObject("groupList", json::array({{{"title", "new"}, {"selected", false}}}));

        EXPECT_EQ(prefs.lastError(), std::error_code(c.error, std::generic_category()));
        // One warning that names the file and says why, in the system's words.
        EXPECT_EQ(log.count("cannot save " + file().string()), 1u);
        EXPECT_TRUE(log.contains(std::generic_category().message(c.error)));
        EXPECT_EQ((*prefs.objectForKey("groupList"))[0]["title"], "new");
        if (std::string(c.failStep) != "makeDirectory") {
            EXPECT_EQ(TempFolder::read(file()), before);
            EXPECT_EQ(TempFolder::list(folder()), std::vector<std::string>{"preferences.json"});
        }
    }
}

TEST_F(JsonFilePreferencesTest, AReallyReadOnlyFolderIsLoggedAndKeepsTheOldFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into a read-only folder anyway (the seam test covers EACCES)";
    writeFile(R"({"groupList":[]})");
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    {
        JsonFilePreferences prefs(file());
        LogCapture log;
        prefs.setObject("groupList", json::array({{{"title", "new"}, {"selected", false}}}));
        EXPECT_EQ(prefs.lastError(), std::error_code(EACCES, std::generic_category()));
        EXPECT_TRUE(log.contains("cannot save"));
        EXPECT_EQ(TempFolder::read(file()), R"({"groupList":[]})");
    }
    std::filesystem::permissions(folder(), std::filesystem::perms::owner_all);
}

TEST_F(JsonFilePreferencesTest, TemporariesLeftByAKilledSaveAreNeverReadAndGoAtTheNextSave)
{
    writeFile(R"({"groupList":[{"title":"real","selected":false}]})");
    // A loose mode from an older program or the user's editor.
    std::filesystem::permissions(file(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
                                             | std::filesystem::perms::group_read
                                             | std::filesystem::perms::others_read);
    // Two saves killed before their rename: one cut short, one whole (and
    // newer than the file, which must still win: it was never renamed).
    TempFolder::write(folder() / "preferences.json.tmp-Ab12Cd", R"({"groupList":[{"ti)");
    TempFolder::write(folder() / "preferences.json.tmp-zz99ZZ", R"({"groupList":[{"title":"temp"}]})");
    // Names that are not this store's temporaries stay.
    TempFolder::write(folder() / "preferences.json.tmp-notmine", "x");
    TempFolder::write(folder() / "other.json.tmp-Ab12Cd", "x");
    TempFolder::write(folder() / "preferences.json.corrupt-20260101T000000Z", "x");

    LogCapture log;
    JsonFilePreferences prefs(file());
    EXPECT_EQ((*prefs.objectForKey("groupList"))[0]["title"], "real");
    EXPECT_TRUE(prefs.movedAsideTo().empty());
    EXPECT_EQ(TempFolder::list(folder()).size(), 6u);  // loading removes nothing

    prefs.setObject("deviceInGroup", json::array({json::object()}));
    EXPECT_TRUE(log.contains("removed 2 temporary file(s)"));
    EXPECT_EQ(TempFolder::list(folder()),
              (std::vector<std::string>{"other.json.tmp-Ab12Cd", "preferences.json",
                                        "preferences.json.corrupt-20260101T000000Z",
                                        "preferences.json.tmp-notmine"}));
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_EQ(fileJson()["groupList"][0]["title"], "real");
}

TEST_F(JsonFilePreferencesTest, AFailedFolderSyncIsReportedButTheFileIsReplaced)
{
    FaultyOps ops;
    JsonFilePreferences prefs(file(), ops);
    ops.failStep = "syncDirectory";
    LogCapture log;
    prefs.setObject("k", "v");
    EXPECT_TRUE(prefs.lastError());
    EXPECT_TRUE(log.contains("fsync folder"));
    EXPECT_EQ(fileJson()["k"], "v");
}

struct CorruptCase {
    const char* name;
    std::string text;
};

TEST_F(JsonFilePreferencesTest, ACorruptFileIsMovedAsideLoggedAndNeverOverwritten)
{
    const CorruptCase cases[] = {
        {"truncated", R"({"groupList":[{"title":"A")"},
        {"empty", ""},
        {"array root", "[1,2,3]"},
        {"string root", R"("groupList")"},
        {"number root", "42"},
        {"trailing garbage", R"({"a":1} x)"},
        {"invalid UTF-8", "{\"a\":\"\xFF\"}"},
        {"binary", std::string("\x00\x01\x02\xFF", 4)},
    };
    const std::regex corruptName(R"(preferences\.json\.corrupt-\d{8}T\d{6}Z)");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder());
        writeFile(c.text);

        LogCapture log;
        JsonFilePreferences prefs(file());
        EXPECT_FALSE(prefs.objectForKey("groupList"));
        EXPECT_FALSE(prefs.lastError());
        EXPECT_TRUE(log.contains("moved aside"));
        ASSERT_EQ(TempFolder::list(folder()).size(), 1u);
        const std::string asideName = TempFolder::list(folder())[0];
        EXPECT_TRUE(std::regex_match(asideName, corruptName)) << asideName;
        EXPECT_EQ(prefs.movedAsideTo(), folder() / asideName);
        EXPECT_EQ(TempFolder::read(folder() / asideName), c.text);

        // The next write starts a new file; the corrupt one stays as it was.
        prefs.setObject("groupList", json::array());
        EXPECT_EQ(fileJson(), json::parse(R"({"groupList":[]})"));
        EXPECT_EQ(TempFolder::read(folder() / asideName), c.text);
    }
}

TEST_F(JsonFilePreferencesTest, ATakenCorruptNameGetsASuffix)
{
    writeFile("not json");
    FaultyOps ops;
    ops.existingCorruptNames = 2;  // the plain name and "-2" are taken
    LogCapture quiet;
    JsonFilePreferences prefs(file(), ops);
    ASSERT_FALSE(prefs.movedAsideTo().empty());
    EXPECT_TRUE(std::regex_match(prefs.movedAsideTo().filename().string(),
                                 std::regex(R"(preferences\.json\.corrupt-\d{8}T\d{6}Z-3)")));
    EXPECT_EQ(TempFolder::read(prefs.movedAsideTo()), "not json");
}

TEST_F(JsonFilePreferencesTest, TheRealNoReplaceMoveRefusesAnExistingName)
{
    writeFile("one");
    TempFolder::write(folder() / "taken", "keep me");
    EXPECT_EQ(FileSystemOps::posix().renameNoReplace(file(), folder() / "taken"), EEXIST);
    EXPECT_EQ(TempFolder::read(folder() / "taken"), "keep me");
    EXPECT_EQ(TempFolder::read(file()), "one");
}

TEST_F(JsonFilePreferencesTest, AFileThatCannotBeMovedOrReadIsLeftAlone)
{
    struct Case {
        const char* failStep;
        std::string text;
    };
    const Case cases[] = {{"renameNoReplace", "corrupt"}, {"readFile", R"({"groupList":[]})"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failStep);
        writeFile(c.text);
        FaultyOps ops;
        ops.failStep = c.failStep;
        ops.failError = EACCES;
        LogCapture log;
        JsonFilePreferences prefs(file(), ops);
        EXPECT_TRUE(log.contains("kept for this run only"));
        EXPECT_EQ(prefs.lastError(), std::error_code(EACCES, std::generic_category()));

        ops.failStep.clear();
        prefs.setObject("groupList", json::array({1}));
        EXPECT_EQ(prefs.objectForKey("groupList"), json::array({1}));  // in memory
        EXPECT_EQ(TempFolder::read(file()), c.text);                   // file untouched
        EXPECT_TRUE(prefs.lastError());
    }
}

TEST_F(JsonFilePreferencesTest, TwoThreadsUpdatingLoseNothing)
{
    FaultyOps ops;
    ops.fastSync = true;
    constexpr int kPerThread = 300;
    {
        JsonFilePreferences prefs(file(), ops);
        const auto hammer = [&](const std::string& own) {
            for (int i = 0; i < kPerThread; ++i) {
                // A shared counter, and a list each thread appends to.
                prefs.updateObject("counter",
                                   [](std::optional<json> v) { return json(v ? v->get<int>() + 1 : 1); });
                prefs.updateObject("list", [&](std::optional<json> v) {
                    json list = v ? *v : json::array();
                    list.push_back(own + std::to_string(i));
                    return list;
                });
                prefs.objectForKey("list");  // reads meanwhile
            }
        };
        std::thread a(hammer, "a");
        std::thread b(hammer, "b");
        a.join();
        b.join();
        EXPECT_EQ(prefs.objectForKey("counter"), json(2 * kPerThread));
        EXPECT_FALSE(prefs.lastError());
    }
    // The file holds the final state.
    JsonFilePreferences reopened(file());
    EXPECT_EQ(reopened.objectForKey("counter"), json(2 * kPerThread));
    EXPECT_EQ(reopened.objectForKey("list")->size(), 2u * kPerThread);
}

TEST_F(JsonFilePreferencesTest, UnchangedValuesAreNotWrittenAgain)
{
    FaultyOps ops;
    ops.fastSync = true;
    JsonFilePreferences prefs(file(), ops);
    prefs.setObject("k", json::array({1, 2}));
    const int afterFirst = ops.syncs;
    prefs.setObject("k", json::array({1, 2}));
    prefs.updateObject("k", [](std::optional<json>) { return Preferences::keepUnchanged(); });
    prefs.removeObjectForKey("absent");
    EXPECT_EQ(ops.syncs, afterFirst);
}

TEST(JsonFilePreferencesPathTest, DefaultPathFollowsXdgConfigHome)
{
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdgBefore = savedXdg ? savedXdg : "";
    const char* savedHome = std::getenv("HOME");
    const std::string homeBefore = savedHome ? savedHome : "";

    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(JsonFilePreferences::defaultPath(), "/x/config/lightdeck/preferences.json");
    ::setenv("HOME", "/home/u", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(JsonFilePreferences::defaultPath(), "/home/u/.config/lightdeck/preferences.json");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(JsonFilePreferences::defaultPath(), "/home/u/.config/lightdeck/preferences.json");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored
    EXPECT_EQ(JsonFilePreferences::defaultPath(), "/home/u/.config/lightdeck/preferences.json");

    if (savedXdg)
        ::setenv("XDG_CONFIG_HOME", xdgBefore.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    if (savedHome)
        ::setenv("HOME", homeBefore.c_str(), 1);
    else
        ::unsetenv("HOME");
}

}  // namespace
}  // namespace lightdeck
