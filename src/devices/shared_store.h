#pragma once
// The program's one preferences store and the one group store over it, shared
// by every screen that reads or writes groups (the scan screen, the control
// screen, the group editor and the device picker).
//
//     GroupStore& groups = sharedGroupStore();          // main thread
//     auto groups = sharedGroupStoreHandle();           // any thread
//     groups->refreshNames(identifier, name);
//
// On first use the store opens JsonFilePreferences::defaultPath()
// ($XDG_CONFIG_HOME/lightdeck/preferences.json). Tests and the screenshot
// walker point it elsewhere first with useSharedPreferencesFile() or
// setSharedPreferences().
//
// Lifetime and threads. Swapping the store (set.../use...) is for the main
// thread, at start-up or between tests. The references returned by
// sharedPreferences() and sharedGroupStore() stay valid until the next swap, so
// screens ask for them each time they need them instead of keeping them. Code
// on another thread (centralQueue) takes a handle: it keeps the store it
// refers to alive, whatever swap happens meanwhile.

#include <filesystem>
#include <memory>

#include "devices/group_store.h"
#include "devices/preferences.h"

namespace lightdeck {

Preferences& sharedPreferences();
GroupStore& sharedGroupStore();
// Safe from any thread; never null.
std::shared_ptr<GroupStore> sharedGroupStoreHandle();

// Replaces the shared preferences (and the group store over them). Null
// restores the default: the file at JsonFilePreferences::defaultPath(),
// opened on next use.
void setSharedPreferences(std::shared_ptr<Preferences> preferences);
// The shared preferences become the JSON file at `file` (read now; a corrupt
// file is moved aside, see json_file_preferences.h).
void useSharedPreferencesFile(const std::filesystem::path& file);
// The file behind the shared preferences; empty when they are not a file.
std::filesystem::path sharedPreferencesFile();

}  // namespace lightdeck
