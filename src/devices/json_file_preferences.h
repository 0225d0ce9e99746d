#pragma once
// Preferences kept in one JSON file (normally
// $XDG_CONFIG_HOME/lightdeck/preferences.json).
//
// The file is one JSON object; keys this program does not know are kept.
// It is read once, when the store is made; from then on the in-memory object
// is the truth and every change is written through at once:
//  - atomically: a temporary file in the same folder (mode 0600,
//    "preferences.json.tmp-XXXXXX") is written, flushed with fsync and
//    renamed over the file, then the folder is fsynced. A missing folder is
//    created with mode 0700. A process killed mid-write leaves at most such
//    a temporary beside an intact file; it is never read, and the first
//    successful write of a store removes every one left over.
//  - A file that does not parse, or whose root is not an object, is moved
//    aside as "preferences.json.corrupt-<UTC time>" (a "-2", "-3"... suffix
//    when that name is taken), a warning is logged and the store starts
//    empty. It is never overwritten.
//  - A file that exists but cannot be read is left alone for the run: the
//    store works in memory only, and lastError() says why.
//  - A failed write is logged as a warning; the value stays in memory (so
//    nothing is lost for this run), the old file stays intact, lastError()
//    reports it, and the next change writes everything again.
//
// Thread safety: any thread. Reads never wait for a disk write; writes are
// applied in order and the file always ends up holding the latest state.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include <nlohmann/json.hpp>

#include "devices/file_system_ops.h"
#include "devices/preferences.h"

namespace lightdeck {

class JsonFilePreferences final : public Preferences {
public:
    // `file` is the path of the JSON file itself.
    explicit JsonFilePreferences(std::filesystem::path file);
    // The same with other file operations (tests); `ops` must outlive the store.
    JsonFilePreferences(std::filesystem::path file, FileSystemOps& ops);

    JsonFilePreferences(const JsonFilePreferences&) = delete;
    JsonFilePreferences& operator=(const JsonFilePreferences&) = delete;

    // $XDG_CONFIG_HOME/lightdeck/preferences.json; ~/.config/lightdeck/ when
    // XDG_CONFIG_HOME is unset, empty or not absolute.
    static std::filesystem::path defaultPath();

    std::optional<nlohmann::json> objectForKey(std::string_view key) const override;
    void setObject(std::string_view key, nlohmann::json value) override;
    void removeObjectForKey(std::string_view key) override;
    void updateObject(std::string_view key, const Change& change) override;

    const std::filesystem::path& file() const { return m_file; }
    // Why the file does not hold the latest state: the error of the last
    // failed load or write; empty (value 0) once a write has succeeded.
    std::error_code lastError() const;
    // Where a corrupt file was moved at start-up; empty when it was not.
    std::filesystem::path movedAsideTo() const;

private:
    void load();
    bool moveAside(const std::string& reason);
    // Writes the latest state when the file is behind it.
    void persist();
    // The atomic replace; returns 0 or an errno value and names the step.
    int writeFile(const std::string& text, std::string& failedStep);
    int makeFolder(const std::filesystem::path& folder);
    // Removes the temporaries of writers that died before their rename.
    void removeLeftoverTemporaries(const std::filesystem::path& folder);

    const std::filesystem::path m_file;
    FileSystemOps& m_ops;

    mutable std::mutex m_mutex;  // guards the members below
    nlohmann::json m_root = nlohmann::json::object();
    std::uint64_t m_generation = 0;         // bumped by every change
    std::uint64_t m_writtenGeneration = 0;  // the state the file holds
    bool m_diskUsable = true;               // false: keep to memory this run
    std::error_code m_lastError;
    std::filesystem::path m_movedAsideTo;

    // Held for a whole disk write, so writes happen one at a time and in
    // order; taken before m_mutex, never after it.
    std::mutex m_writeMutex;
    // Guarded by m_writeMutex: leftover temporaries have been looked for.
    bool m_leftoversRemoved = false;
};

}  // namespace lightdeck
