// A process saving the preferences file is killed (SIGKILL) at random
// moments, a few hundred times; after each kill the file must parse and hold
// either the value being saved or the one before it, never a mix, a
// truncation or nothing.
//
// The writer is a separate executable (preferences_writer) that rewrites the
// file in a loop and reports on a pipe which generation it starts and which
// it has finished. LIGHTDECK_KILLS and LIGHTDECK_KILL_SEED change the number
// of kills and the seed of the random moments for longer runs by hand.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "devices/json_file_preferences.h"
#include "devices/preferences_writer_content.h"
#include "devices/temp_folder.h"
#include "support/log_capture.h"

extern char** environ;

namespace lightdeck {
namespace {

using nlohmann::json;
using testing::TempFolder;

long envNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end && *end == '\0' && value > 0 ? value : fallback;
}

// One run of the writer process and what it said on its pipe.
class WriterProcess {
public:
    explicit WriterProcess(const std::filesystem::path& file)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        const std::string program = LIGHTDECK_PREFERENCES_WRITER;
        const std::string path = file.string();
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()), nullptr};
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~WriterProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    bool started() const { return m_pid > 0 && m_out >= 0; }

    // Reads the pipe until the writer has started `count` saves. False when
    // it ended first, or printed nothing for a long while (a hang, not a
    // speed limit).
    bool waitForStarts(int count)
    {
        while (m_starts < count) {
            pollfd watch{m_out, POLLIN, 0};
            const int ready = ::poll(&watch, 1, 60000);
            if (ready <= 0 || !readSome())
                return false;
        }
        return true;
    }

    // SIGKILL, then everything the writer managed to print. Returns the
    // wait status.
    int killAndReap()
    {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        while (readSome()) {
        }
        return status;
    }

    long long lastStarted() const { return m_lastStarted; }
    long long lastDone() const { return m_lastDone; }

private:
    // False at the end of the pipe.
    bool readSome()
    {
        char buffer[4096];
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n <= 0)
            return n < 0 && errno == EINTR;
        m_text.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = m_text.find('\n')) != std::string::npos; m_text.erase(0, end + 1)) {
            const long long generation = std::atoll(m_text.c_str() + 2);
            if (m_text[0] == 'S') {
                // The writer starts one past what the file held.
                if (m_starts == 0)
                    m_lastDone = generation - 1;
                m_lastStarted = generation;
                ++m_starts;
            } else if (m_text[0] == 'D') {
                m_lastDone = generation;
            }
        }
        return true;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_text;
    int m_starts = 0;
    long long m_lastStarted = 0;
    long long m_lastDone = 0;
};

int countTemporaries(const std::filesystem::path& folder)
{
    int count = 0;
    for (const auto& name : TempFolder::list(folder))
        count += name.rfind("preferences.json.tmp-", 0) == 0 ? 1 : 0;
    return count;
}

TEST(PreferencesKillTest, AKilledSaveLeavesTheOldOrTheNewValueNeverAMix)
{
    const long kills = envNumber("LIGHTDECK_KILLS", 300);
    const auto seed = static_cast<std::uint32_t>(envNumber("LIGHTDECK_KILL_SEED", 20261206));
    std::mt19937 random(seed);

    TempFolder scratch;
    const auto folder = scratch.path() / "lightdeck";
    const auto file = folder / "preferences.json";
    // A key the writer never touches: it must come through every kill.
    const json groups = json::parse(R"([{"title":"客厅","selected":true},{"title":"<b>","selected":false}])");
    {
        JsonFilePreferences seedStore(file);
        seedStore.setObject("groupList", groups);
    }

    long long fileGeneration = 0;
    int killedMidSave = 0;     // the save under way had not reported done
    int newValueFound = 0;     // ... and yet the file held it (killed after the rename)
    int temporariesSeen = 0;   // kills that left a temporary beside the file
    for (long round = 0; round < kills; ++round) {
        SCOPED_TRACE("kill " + std::to_string(round + 1) + " of " + std::to_string(kills) + ", seed "
                     + std::to_string(seed));
        WriterProcess writer(file);
        ASSERT_TRUE(writer.started()) << "cannot start " << LIGHTDECK_PREFERENCES_WRITER;
        ASSERT_TRUE(writer.waitForStarts(std::uniform_int_distribution<int>(1, 3)(random)))
            << "the writer stopped or hung before it was killed";
        const timespec pause{0, std::uniform_int_distribution<long>(0, 2'000'000)(random)};
        ::nanosleep(&pause, nullptr);
        const int status = writer.killAndReap();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the writer ended by itself (exit " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1)
            << "): it found a file it did not write";

        testing::LogCapture quiet;
        JsonFilePreferences reader(file);
        ASSERT_TRUE(reader.movedAsideTo().empty()) << "the file did not parse after a kill";
        ASSERT_FALSE(reader.lastError());
        EXPECT_EQ(reader.objectForKey("groupList"), groups);
        // Generation 0: the first save has not got through yet.
        const auto stored = reader.objectForKey("deviceInGroup");
        const long long generation = stored ? testing::generationOf(*stored) : 0;
        ASSERT_TRUE(!stored || generation > 0) << "the file holds a value no save wrote";
        ASSERT_TRUE(generation == writer.lastDone() || generation == writer.lastStarted())
            << "file holds generation " << generation << "; the writer had finished " << writer.lastDone()
            << " and started " << writer.lastStarted();
        ASSERT_GE(generation, fileGeneration) << "a kill took the file back to an older value";
        EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        if (writer.lastStarted() != writer.lastDone()) {
            ++killedMidSave;
            newValueFound += generation == writer.lastStarted() ? 1 : 0;
        }
        temporariesSeen += countTemporaries(folder) > 0 ? 1 : 0;
        fileGeneration = generation;
    }

    // Whatever the kills left behind, the next save tidies up.
    const int leftovers = countTemporaries(folder);
    {
        testing::LogCapture quiet;
        JsonFilePreferences next(file);
        next.setObject("deviceInGroup", testing::deviceInGroupFor(fileGeneration + 1));
        EXPECT_FALSE(next.lastError());
    }
    EXPECT_EQ(TempFolder::list(folder), std::vector<std::string>{"preferences.json"});

    std::cout << "[ figures  ] " << kills << " kills (seed " << seed << "): " << killedMidSave
              << " in the middle of a save (" << newValueFound << " of them after the rename: new value, "
              << killedMidSave - newValueFound << " before it: old value), " << kills - killedMidSave
              << " between saves; " << temporariesSeen << " left a temporary file, " << leftovers
              << " temporaries removed by the next save; last generation " << fileGeneration << "\n";
    RecordProperty("kills", static_cast<int>(kills));
    RecordProperty("killedMidSave", killedMidSave);
    RecordProperty("temporariesLeft", temporariesSeen);
}

}  // namespace
}  // namespace lightdeck
