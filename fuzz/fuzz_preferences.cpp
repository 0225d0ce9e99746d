// Any bytes as the preferences file, on a disk kept in memory: the store
// starts (empty when the file is corrupt), the group store reads and edits
// whatever it finds, and nothing throws or crashes. Checks:
//  - a file that is not a JSON object is moved aside with its bytes intact
//    and is never overwritten afterwards; a file that is one is not moved;
//  - with a working disk, what the store wrote reads back the same in a new
//    store; with a read-only disk the file keeps its bytes.
//
// The first byte picks the disk (bit 0: read-only); the rest is the file.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "devices/group_store.h"
#include "devices/preferences.h"
#include "fuzz_support.h"

using namespace lightdeck;
using namespace lightdeck::fuzz;

namespace {

// Files by path, plus open temporary files by descriptor.
class MemoryDisk final : public FileSystemOps {
public:
    std::map<std::string, std::string> files;
    bool readOnly = false;

    int readFile(const std::filesystem::path& file, std::string& out) override
    {
        auto it = files.find(file.string());
        if (it == files.end())
            return ENOENT;
        out = it->second;
        return 0;
    }
    int makeDirectory(const std::filesystem::path&, mode_t) override { return EEXIST; }
    int createTemporary(std::string& nameTemplate, int& fd) override
    {
        if (readOnly)
            return EROFS;
        nameTemplate.replace(nameTemplate.size() - 6, 6, std::to_string(100000 + m_nextFd));
        fd = m_nextFd++;
        m_open[fd] = nameTemplate;
        files[nameTemplate].clear();
        return 0;
    }
    int setMode(int, mode_t) override { return 0; }
    int writeAll(int fd, std::string_view data) override
    {
        files[m_open.at(fd)].append(data);
        return 0;
    }
    int syncFile(int) override { return 0; }
    int closeFile(int fd) override
    {
        m_open.erase(fd);
        return 0;
    }
    int rename(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        auto it = files.find(from.string());
        if (it == files.end())
            return ENOENT;
        std::string contents = std::move(it->second);
        files.erase(it);
        files[to.string()] = std::move(contents);
        return 0;
    }
    int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        if (readOnly)
            return EROFS;
        if (files.count(to.string()))
            return EEXIST;
        return rename(from, to);
    }
    int removeFile(const std::filesystem::path& file) override
    {
        return files.erase(file.string()) ? 0 : ENOENT;
    }
    int syncDirectory(const std::filesystem::path&) override { return 0; }

private:
    std::map<int, std::string> m_open;
    int m_nextFd = 3;
};

const std::string kFile = "/config/lightdeck/preferences.json";

std::string stored(const Preferences& prefs, const char* key)
{
    const auto value = prefs.objectForKey(key);
    return value ? value->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) : std::string("(absent)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    if (size == 0)
        return 0;
    MemoryDisk disk;
    disk.readOnly = data[0] & 1;
    const std::string original(reinterpret_cast<const char*>(data) + 1, size - 1);
    disk.files[kFile] = original;

    const auto parsed = nlohmann::json::parse(original, nullptr, /*allow_exceptions=*/false);
    const bool usable = !parsed.is_discarded() && parsed.is_object();

    JsonFilePreferences prefs(kFile, disk);
    const auto aside = prefs.movedAsideTo();
    if (usable) {
        LIGHTDECK_FUZZ_CHECK(aside.empty());
    } else if (!disk.readOnly) {
        LIGHTDECK_FUZZ_CHECK(!aside.empty() && disk.files.count(aside.string()));
        LIGHTDECK_FUZZ_CHECK(disk.files[aside.string()] == original);
        LIGHTDECK_FUZZ_CHECK(!disk.files.count(kFile));
    } else {
        // Cannot be moved: it stays where it is, untouched.
        LIGHTDECK_FUZZ_CHECK(aside.empty() && disk.files[kFile] == original);
    }

    GroupStore store(prefs);
    GroupList groups = store.loadGroups();
    for (std::size_t i = 0; i <= groups.size() && i < 64; ++i)
        store.members(i);
    store.storedGroupCount();
    store.refreshNames("A", "name");
    store.addDevices(0, {{"A", ""}, {"B", "b"}});
    store.removeDevice(0, "B");
    GroupStore::chooseGroup(groups, 0, true);
    store.renameGroup(groups, 0, "x");
    store.deleteGroup(groups, 1);
    store.clearChoice();
    store.addGroup(groups, "new");
    store.addDevices(groups.size() - 1, {{"C", "客厅"}});
    const GroupList after = store.loadGroups();
    LIGHTDECK_FUZZ_CHECK(!after.empty() && after.back().title == "new");
    LIGHTDECK_FUZZ_CHECK(store.members(after.size() - 1) == (MemberList{{"C", "客厅"}}));

    if (!aside.empty())
        LIGHTDECK_FUZZ_CHECK(disk.files[aside.string()] == original);
    if (disk.readOnly) {
        LIGHTDECK_FUZZ_CHECK(disk.files.count(kFile) ? disk.files[kFile] == original : !aside.empty());
    } else {
        // What was written reads back as it is in memory.
        LIGHTDECK_FUZZ_CHECK(prefs.lastError().value() == 0);
        JsonFilePreferences reread(kFile, disk);
        LIGHTDECK_FUZZ_CHECK(reread.movedAsideTo().empty());
        for (const char* key : {GroupStore::kGroupListKey, GroupStore::kDeviceInGroupKey})
            LIGHTDECK_FUZZ_CHECK(stored(reread, key) == stored(prefs, key));
    }
    return 0;
}
