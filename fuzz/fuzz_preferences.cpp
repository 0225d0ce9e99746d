// Any bytes as the preferences file: the store starts (empty when the file
// is corrupt), the group store reads and edits whatever it finds, and
// nothing throws or crashes. No disk is touched: the file operations are
// faked, and every write fails as on a read-only disk.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/log.h"
#include "devices/group_store.h"
#include "devices/preferences.h"

using namespace lightdeck;

namespace {

class InputOnlyOps final : public FileSystemOps {
public:
    std::string contents;

    int readFile(const std::filesystem::path&, std::string& out) override
    {
        out = contents;
        return 0;
    }
    int makeDirectory(const std::filesystem::path&, mode_t) override { return EEXIST; }
    int createTemporary(std::string&, int&) override { return EROFS; }
    int renameNoReplace(const std::filesystem::path&, const std::filesystem::path&) override { return 0; }
    int syncDirectory(const std::filesystem::path&) override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool quiet = [] {
        log::setSink([](log::Level, std::string_view) {});
        return true;
    }();
    (void)quiet;

    InputOnlyOps ops;
    ops.contents.assign(reinterpret_cast<const char*>(data), size);
    JsonFilePreferences prefs("/nonexistent/lightdeck/preferences.json", ops);
    GroupStore store(prefs);

    GroupList groups = store.loadGroups();
    for (std::size_t i = 0; i <= groups.size() && i < 64; ++i)
        store.members(i);
    store.refreshNames("A", "name");
    store.addDevices(0, {{"A", ""}, {"B", "b"}});
    store.removeDevice(0, "B");
    GroupStore::chooseGroup(groups, 0, true);
    store.renameGroup(groups, 0, "x");
    store.deleteGroup(groups, 1);
    store.clearChoice();
    store.addGroup(groups, "new");
    store.loadGroups();
    return 0;
}
