#include "devices/shared_store.h"

#include <mutex>
#include <utility>

#include "devices/json_file_preferences.h"

namespace lightdeck {
namespace {

// The preferences and the group store over them, kept together so that a
// handle to the store keeps its preferences alive.
struct StoreBundle {
    explicit StoreBundle(std::shared_ptr<Preferences> prefs, std::filesystem::path path)
        : preferences(std::move(prefs)), file(std::move(path)), groups(*preferences)
    {
    }
    std::shared_ptr<Preferences> preferences;
    std::filesystem::path file;
    GroupStore groups;
};

std::mutex& bundleMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Guarded by bundleMutex(). Leaked on purpose: centralQueue may still use it
// while the process exits.
std::shared_ptr<StoreBundle>& currentBundle()
{
    static auto* bundle = new std::shared_ptr<StoreBundle>();
    return *bundle;
}

std::shared_ptr<StoreBundle> bundle()
{
    std::lock_guard lock(bundleMutex());
    auto& current = currentBundle();
    if (!current) {
        const auto file = JsonFilePreferences::defaultPath();
        current = std::make_shared<StoreBundle>(std::make_shared<JsonFilePreferences>(file), file);
    }
    return current;
}

void replaceBundle(std::shared_ptr<StoreBundle> next)
{
    std::shared_ptr<StoreBundle> previous;
    {
        std::lock_guard lock(bundleMutex());
        previous = std::exchange(currentBundle(), std::move(next));
    }
    // `previous` goes here, outside the lock, unless a handle still holds it.
}

}  // namespace

Preferences& sharedPreferences() { return *bundle()->preferences; }

GroupStore& sharedGroupStore() { return bundle()->groups; }

std::shared_ptr<GroupStore> sharedGroupStoreHandle()
{
    auto current = bundle();
    return {current, &current->groups};
}

void setSharedPreferences(std::shared_ptr<Preferences> preferences)
{
    if (!preferences) {
        replaceBundle(nullptr);
        return;
    }
    replaceBundle(std::make_shared<StoreBundle>(std::move(preferences), std::filesystem::path{}));
}

void useSharedPreferencesFile(const std::filesystem::path& file)
{
    replaceBundle(std::make_shared<StoreBundle>(std::make_shared<JsonFilePreferences>(file), file));
}

std::filesystem::path sharedPreferencesFile() { return bundle()->file; }

}  // namespace lightdeck
