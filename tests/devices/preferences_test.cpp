// The preferences file: atomic replace with private modes, unknown keys kept,
// every failing step of a save, corrupt or too deeply nested files moved
// aside and never overwritten, leftovers of killed saves, and a writer
// process killed in the middle of its saves.

#include "devices/json_file_preferences.h"

#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "devices/group_store.h"
#include "support/log_capture.h"

namespace lightdeck {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::LogCapture;

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

unsigned modeOf(const fs::path& path) { return static_cast<unsigned>(fs::status(path).permissions()) & 0777; }

// The POSIX operations with one chosen step failing.
class FaultyOps : public FileSystemOps {
public:
    explicit FaultyOps(std::string step = {}, int err = EIO) : failStep(std::move(step)), error(err) {}
    std::string failStep;
    int error;

    // clang-format off
    int readFile(const fs::path& f, std::string& c) override { return fails("readFile") ? error : FileSystemOps::readFile(f, c); }
    int makeDirectory(const fs::path& f, mode_t m) override { return fails("makeDirectory") ? error : FileSystemOps::makeDirectory(f, m); }
    int createTemporary(std::string& t, int& fd) override { return fails("createTemporary") ? error : FileSystemOps::createTemporary(t, fd); }
    int syncFile(int fd) override { return fails("syncFile") ? error : FileSystemOps::syncFile(fd); }
    int rename(const fs::path& a, const fs::path& b) override { return fails("rename") ? error : FileSystemOps::rename(a, b); }
    int renameNoReplace(const fs::path& a, const fs::path& b) override { return fails("renameNoReplace") ? error : FileSystemOps::renameNoReplace(a, b); }
    int syncDirectory(const fs::path& f) override { return fails("syncDirectory") ? error : FileSystemOps::syncDirectory(f); }
    // clang-format on
    int writeAll(int fd, std::string_view data) override
    {
        if (!fails("writeAll"))
            return FileSystemOps::writeAll(fd, data);
        FileSystemOps::writeAll(fd, data.substr(0, data.size() / 2));  // a short write, as a full disk does
        return error;
    }
    bool fails(const char* step) const { return failStep == step; }
};

class PreferencesFileTest : public ::testing::Test {
protected:
    PreferencesFileTest()
    {
        std::string pattern = fs::temp_directory_path() / "lightdeck-test-XXXXXX";
        m_root = ::mkdtemp(pattern.data());
    }
    ~PreferencesFileTest() override { fs::remove_all(m_root); }

    fs::path folder() const { return m_root / "config" / "lightdeck"; }
    fs::path file() const { return folder() / "preferences.json"; }
    json fileJson() const { return json::parse(readText(file())); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder()))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    void writeFile(const std::string& text, const std::string& name = "preferences.json") const
    {
        fs::create_directories(folder());
        std::ofstream(folder() / name, std::ios::binary | std::ios::trunc) << text;
    }

    fs::path m_root;
};

TEST_F(PreferencesFileTest, SavesAPrivateFileThatSurvivesARestartWithUnknownKeysKept)
{
    const json groups = json::parse(R"([{"title":"客厅","selected":true}])");
    {
        JsonFilePreferences prefs(file());
        EXPECT_FALSE(prefs.objectForKey("groupList"));
        EXPECT_FALSE(fs::exists(m_root / "config")) << "nothing is created before the first change";
        prefs.setObject("groupList", groups);
        prefs.setObject("name", std::string("bad \xFF name"));  // invalid UTF-8 from the radio
        prefs.setObject("gone", 1);
        prefs.removeObjectForKey("gone");
        EXPECT_FALSE(prefs.lastError());
    }
    EXPECT_EQ(std::vector({modeOf(file()), modeOf(folder()), modeOf(folder().parent_path())}),
              std::vector<unsigned>({0600, 0700, 0700}));
    EXPECT_EQ(names(), std::vector<std::string>{"preferences.json"});
    EXPECT_EQ(fileJson(), json({{"groupList", groups}, {"name", "bad \xEF\xBF\xBD name"}}));

    // Keys written by a newer program stay through our saves.
    json edited = fileJson();
    edited["future"] = json::parse(R"({"w":390,"list":[1,null]})");
    writeFile(edited.dump());
    JsonFilePreferences reopened(file());
    reopened.setObject("deviceInGroup", json::array({json::object()}));
    edited["deviceInGroup"] = json::array({json::object()});
    EXPECT_EQ(fileJson(), edited);
}

TEST_F(PreferencesFileTest, AFailedSaveKeepsTheOldFileWholeAndTheValueForThisRun)
{
    struct Case {
        const char* step;
        int error;
    };
    const Case cases[] = {
        {"makeDirectory", EROFS}, {"createTemporary", EROFS}, {"createTemporary", EACCES}, {"writeAll", ENOSPC},
        {"writeAll", EDQUOT},     {"syncFile", ENOSPC},       {"rename", EIO},
        {"syncDirectory", EIO},  // after the rename: the file is new, but may not survive a power cut
    };
    const std::string old = R"({"groupList":[{"title":"old","selected":false}]})";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " " + std::generic_category().message(c.error));
        fs::remove_all(folder());
        if (c.step != std::string("makeDirectory"))
            writeFile(old);
        FaultyOps ops;
        JsonFilePreferences prefs(file(), ops);
        ops.failStep = c.step;
        ops.error = c.error;
        LogCapture log;
        prefs.setObject("groupList", json::parse(R"([{"title":"new","selected":false}])"));
        EXPECT_EQ(prefs.objectForKey("groupList")->at(0)["title"], "new");
        EXPECT_EQ(prefs.lastError(), std::error_code(c.error, std::generic_category()));
        EXPECT_EQ(log.count("cannot save " + file().string()), 1u) << "one warning";
        if (c.step == std::string("syncDirectory")) {
            EXPECT_EQ(fileJson()["groupList"][0]["title"], "new");
        } else if (c.step != std::string("makeDirectory")) {
            EXPECT_EQ(readText(file()), old);
            EXPECT_EQ(names(), std::vector<std::string>{"preferences.json"}) << "a temporary was left";
        }

        // Once the disk works again the next change writes everything.
        ops.failStep.clear();
        prefs.setObject("other", 1);
        EXPECT_FALSE(prefs.lastError());
        EXPECT_EQ(fileJson()["groupList"][0]["title"], "new");
    }
}

TEST_F(PreferencesFileTest, TemporariesOfKilledSavesAreNeverReadAndGoAtTheFirstSave)
{
    writeFile(R"({"groupList":[{"title":"real","selected":false}]})");
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);  // loose
    writeFile(R"({"groupList":[{"ti)", "preferences.json.tmp-Ab12Cd");
    writeFile(R"({"groupList":[{"title":"temp"}]})", "preferences.json.tmp-zz99ZZ");  // whole, never renamed
    const std::vector<std::string> others = {"other.json.tmp-Ab12Cd", "preferences.json.corrupt-20260101T000000Z",
                                             "preferences.json.tmp-notmine"};
    for (const auto& name : others)
        writeFile("x", name);

    JsonFilePreferences prefs(file());
    EXPECT_EQ(prefs.objectForKey("groupList")->at(0)["title"], "real");
    EXPECT_EQ(names().size(), 6u) << "loading removes nothing";
    prefs.setObject("deviceInGroup", json::array({json::object()}));
    std::vector<std::string> expected = others;
    expected.insert(expected.begin() + 1, "preferences.json");
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_EQ(fileJson()["groupList"][0]["title"], "real");
}

// `depth` levels of brackets under "groupList".
std::string nestedGroupList(std::size_t depth)
{
    return R"({"groupList": )" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

// Mended: a file nested some 100 000 levels deep overflowed the stack when the
// groups were read or the file saved. Over 64 levels is corrupt.
TEST_F(PreferencesFileTest, CorruptAndTooDeepFilesAreMovedAsideAndNeverOverwritten)
{
    std::string deepObjects;
    for (int i = 0; i < 100000; ++i)
        deepObjects += R"({"a":)";
    deepObjects += "0" + std::string(100000, '}');
    struct Case {
        const char* name;
        std::string text;
        bool corrupt;
    };
    const Case cases[] = {
        {"truncated", R"({"groupList":[{"title":"A")", true},
        {"empty", "", true},
        {"array root", "[1,2,3]", true},
        {"invalid UTF-8", "{\"a\":\"\xFF\"}", true},
        {"64 levels", nestedGroupList(64), false},
        {"65 levels", nestedGroupList(65), true},
        {"100000 levels", nestedGroupList(100000), true},
        {"100000 objects", deepObjects, true},
        {"brackets in a title", R"({"groupList":[{"title":")" + std::string(100000, '[') + R"(\"{"}]})", false},
    };
    const std::regex asideName(R"(preferences\.json\.corrupt-\d{8}T\d{6}Z)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder());
        writeFile(c.text);
        JsonFilePreferences prefs(file());
        GroupStore store(prefs);
        GroupList groups = store.loadGroups();  // copies the value: the crash was here
        store.addGroup(groups, "客厅");           // saves the whole file: or here
        EXPECT_FALSE(prefs.lastError());
        EXPECT_EQ(!prefs.movedAsideTo().empty(), c.corrupt);
        if (c.corrupt) {
            ASSERT_EQ(names().size(), 2u);
            EXPECT_TRUE(std::regex_match(names()[1], asideName)) << names()[1];
            EXPECT_EQ(readText(prefs.movedAsideTo()), c.text) << "the corrupt file must not be lost";
            EXPECT_EQ(fileJson(), json::parse(R"({"groupList":[{"title":"客厅","selected":false}],
                                                  "deviceInGroup":[{}]})"));
        }
        JsonFilePreferences reread(file());
        EXPECT_TRUE(reread.movedAsideTo().empty()) << "what was saved reads back";
        EXPECT_EQ(GroupStore(reread).loadGroups(), store.loadGroups());
    }
    writeFile("keep me", "taken");  // the move aside never replaces a file
    EXPECT_EQ(FileSystemOps::posix().renameNoReplace(file(), folder() / "taken"), EEXIST);
    EXPECT_EQ(readText(folder() / "taken"), "keep me");
}

TEST_F(PreferencesFileTest, AFileThatCannotBeReadOrMovedAsideIsLeftAloneForTheRun)
{
    for (const auto& [step, text] : {std::pair{"renameNoReplace", "corrupt"}, {"readFile", R"({"groupList":[]})"}}) {
        SCOPED_TRACE(step);
        writeFile(text);
        FaultyOps ops(step, EACCES);
        JsonFilePreferences prefs(file(), ops);
        ops.failStep.clear();
        prefs.setObject("groupList", json::array({1}));
        EXPECT_EQ(prefs.objectForKey("groupList"), json::array({1}));
        EXPECT_EQ(readText(file()), text);
        EXPECT_EQ(prefs.lastError(), std::error_code(EACCES, std::generic_category()));
    }
}

// --- A writer process killed mid-save ------------------------------------------------

// Generation g's value: a few kilobytes, so that a kill can land inside a write.
json valueFor(long long generation)
{
    return json::array({generation, std::string(8000, static_cast<char>('a' + generation % 26))});
}

// SIGKILL at random moments of a save, a hundred times (LIGHTDECK_KILLS for
// more): the file must always parse, keep the key the writer never touches and
// hold exactly one value the writer saved, never an older one than before.
TEST_F(PreferencesFileTest, AKilledSaveLeavesTheOldOrTheNewValueNeverAMix)
{
    const int kills = std::getenv("LIGHTDECK_KILLS") ? std::atoi(std::getenv("LIGHTDECK_KILLS")) : 100;
    std::mt19937 random(20261206);
    const json groups = json::parse(R"([{"title":"客厅","selected":true}])");
    JsonFilePreferences(file()).setObject("groupList", groups);
    long long generation = 0;
    for (int round = 1; round <= kills; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {  // saves one generation after another, a byte on the pipe before each
            JsonFilePreferences prefs(file());
            for (long long next = generation + 1;; ++next) {
                if (::write(pipeEnds[1], "s", 1) != 1)
                    ::_exit(2);
                prefs.setObject("deviceInGroup", valueFor(next));
            }
        }
        ::close(pipeEnds[1]);
        char started;  // the first save has begun: kill within the next 2 ms
        ASSERT_EQ(::read(pipeEnds[0], &started, 1), 1);
        const timespec pause{0, std::uniform_int_distribution<long>(0, 2'000'000)(random)};
        ::nanosleep(&pause, nullptr);
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        ::close(pipeEnds[0]);

        JsonFilePreferences reader(file());
        ASSERT_TRUE(reader.movedAsideTo().empty()) << "the file did not parse after a kill";
        EXPECT_EQ(reader.objectForKey("groupList"), groups);
        const json value = reader.objectForKey("deviceInGroup").value_or(valueFor(0));
        ASSERT_EQ(value, valueFor(value[0].get<long long>())) << "a mix of two saves";
        ASSERT_GE(value[0].get<long long>(), generation) << "a kill took the file back";
        generation = value[0];
    }
    JsonFilePreferences(file()).setObject("deviceInGroup", valueFor(generation + 1));
    EXPECT_EQ(names(), std::vector<std::string>{"preferences.json"}) << "the next save tidies up";
}

}  // namespace
}  // namespace lightdeck
