#include "devices/json_file_preferences.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include "common/log.h"

namespace lightdeck {
namespace {

constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

std::string describe(int err) { return std::generic_category().message(err); }

std::string utcStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// Deeper nesting than this makes a file corrupt. nlohmann::json copies,
// compares and writes values recursively: a file nested some 100 000 levels
// deep (200 kB of brackets) would overflow the stack when the groups are
// read or the file is saved. This program's own file nests 3 levels.
constexpr std::size_t kMaxNesting = 64;

// The deepest nesting of arrays and objects in JSON text; brackets inside
// strings do not count.
std::size_t nestingDepth(std::string_view text)
{
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

std::filesystem::path folderOf(const std::filesystem::path& file)
{
    const auto parent = file.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

}  // namespace

JsonFilePreferences::JsonFilePreferences(std::filesystem::path file)
    : JsonFilePreferences(std::move(file), FileSystemOps::posix())
{
}

JsonFilePreferences::JsonFilePreferences(std::filesystem::path file, FileSystemOps& ops)
    : m_file(std::move(file)), m_ops(ops)
{
    load();
}

std::filesystem::path JsonFilePreferences::defaultPath()
{
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        std::string homeFolder = home && *home ? home : "";
        if (homeFolder.empty()) {
            passwd entry{};
            passwd* found = nullptr;
            char buffer[4096];
            if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
                homeFolder = found->pw_dir;
        }
        config = std::filesystem::path(homeFolder.empty() ? "." : homeFolder) / ".config";
    }
    return config / "lightdeck" / "preferences.json";
}

void JsonFilePreferences::load()
{
    std::string text;
    const int err = m_ops.readFile(m_file, text);
    if (err == ENOENT)
        return;  // first run: no groups
    if (err != 0) {
        m_diskUsable = false;
        m_lastError = std::error_code(err, std::generic_category());
        log::warning("preferences: cannot read " + m_file.string() + ": " + describe(err)
                     + "; changes are kept for this run only");
        return;
    }

    if (nestingDepth(text) > kMaxNesting) {
        moveAside("nests deeper than " + std::to_string(kMaxNesting) + " levels");
        return;
    }
    nlohmann::json root = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) {
        moveAside("is not valid JSON");
        return;
    }
    if (!root.is_object()) {
        moveAside("does not hold a JSON object");
        return;
    }
    m_root = std::move(root);
}

bool JsonFilePreferences::moveAside(const std::string& reason)
{
    const std::string base = m_file.filename().string() + ".corrupt-" + utcStamp();
    const auto folder = folderOf(m_file);
    int err = 0;
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const std::string name = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        const auto target = folder / name;
        err = m_ops.renameNoReplace(m_file, target);
        if (err == EEXIST)
            continue;
        if (err != 0)
            break;
        m_ops.syncDirectory(folder);
        m_movedAsideTo = target;
        log::warning("preferences: " + m_file.string() + " " + reason + "; moved aside as "
                     + target.string() + "; starting with no groups");
        return true;
    }
    // The file stays where it is and must not be overwritten.
    m_diskUsable = false;
    m_lastError = std::error_code(err, std::generic_category());
    log::warning("preferences: " + m_file.string() + " " + reason + " and cannot be moved aside: "
                 + describe(err) + "; changes are kept for this run only");
    return false;
}

std::optional<nlohmann::json> JsonFilePreferences::objectForKey(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    if (auto it = m_root.find(key); it != m_root.end())
        return *it;
    return std::nullopt;
}

void JsonFilePreferences::setObject(std::string_view key, nlohmann::json value)
{
    {
        std::lock_guard lock(m_mutex);
        auto it = m_root.find(key);
        if (it == m_root.end() || *it != value) {
            m_root[std::string(key)] = std::move(value);
            ++m_generation;
        }
    }
    persist();
}

void JsonFilePreferences::removeObjectForKey(std::string_view key)
{
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_root.find(key); it != m_root.end()) {
            m_root.erase(it);
            ++m_generation;
        }
    }
    persist();
}

void JsonFilePreferences::updateObject(std::string_view key, const Change& change)
{
    {
        std::lock_guard lock(m_mutex);
        std::optional<nlohmann::json> current;
        if (auto it = m_root.find(key); it != m_root.end())
            current = *it;
        nlohmann::json next = change(current);
        if (!next.is_discarded() && (!current || *current != next)) {
            m_root[std::string(key)] = std::move(next);
            ++m_generation;
        }
    }
    persist();
}

std::error_code JsonFilePreferences::lastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

std::filesystem::path JsonFilePreferences::movedAsideTo() const
{
    std::lock_guard lock(m_mutex);
    return m_movedAsideTo;
}

void JsonFilePreferences::persist()
{
    std::lock_guard writeLock(m_writeMutex);
    std::string text;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_diskUsable || m_generation == m_writtenGeneration)
            return;
        generation = m_generation;
        // Names from the radio may hold invalid UTF-8: write U+FFFD rather
        // than throw.
        text = m_root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
        text += '\n';
    }

    std::string failedStep;
    const int err = writeFile(text, failedStep);

    std::lock_guard lock(m_mutex);
    if (err == 0) {
        m_writtenGeneration = generation;
        m_lastError.clear();
    } else {
        m_lastError = std::error_code(err, std::generic_category());
    }
    if (err != 0)
        log::warning("preferences: cannot save " + m_file.string() + " (" + failedStep + "): "
                     + describe(err) + "; the change is kept for this run");
}

int JsonFilePreferences::makeFolder(const std::filesystem::path& folder)
{
    int err = m_ops.makeDirectory(folder, kFolderMode);
    if (err == ENOENT && folder.has_parent_path() && folder.parent_path() != folder) {
        if (int parentErr = makeFolder(folder.parent_path()); parentErr != 0 && parentErr != EEXIST)
            return parentErr;
        err = m_ops.makeDirectory(folder, kFolderMode);
    }
    return err == EEXIST ? 0 : err;
}

int JsonFilePreferences::writeFile(const std::string& text, std::string& failedStep)
{
    const auto folder = folderOf(m_file);
    if (int err = makeFolder(folder)) {
        failedStep = "create folder";
        return err;
    }

    std::string temporary = (folder / (m_file.filename().string() + ".tmp-XXXXXX")).string();
    int fd = -1;
    if (int err = m_ops.createTemporary(temporary, fd)) {
        failedStep = "create temporary file";
        return err;
    }

    int err = m_ops.setMode(fd, kFileMode);
    if (err != 0)
        failedStep = "chmod";
    if (err == 0 && (err = m_ops.writeAll(fd, text)) != 0)
        failedStep = "write";
    if (err == 0 && (err = m_ops.syncFile(fd)) != 0)
        failedStep = "fsync";
    if (int closeErr = m_ops.closeFile(fd); err == 0 && closeErr != 0) {
        err = closeErr;
        failedStep = "close";
    }
    if (err == 0 && (err = m_ops.rename(temporary, m_file)) != 0)
        failedStep = "rename";
    if (err != 0) {
        // Should this fail too, the next store's first write removes it.
        m_ops.removeFile(temporary);
        return err;
    }

    if ((err = m_ops.syncDirectory(folder)) != 0)
        failedStep = "fsync folder";
    if (!m_leftoversRemoved) {
        removeLeftoverTemporaries(folder);
        m_leftoversRemoved = true;
    }
    return err;
}

void JsonFilePreferences::removeLeftoverTemporaries(const std::filesystem::path& folder)
{
    // Only names this store's own mkstemp pattern makes: the file's name,
    // ".tmp-" and six characters. Our own temporary is renamed by now.
    const std::string prefix = m_file.filename().string() + ".tmp-";
    std::vector<std::string> names;
    if (m_ops.listFolder(folder, names) != 0)
        return;
    int removed = 0;
    for (const auto& name : names) {
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (m_ops.removeFile(folder / name) == 0)
            ++removed;
    }
    if (removed > 0)
        log::info("preferences: removed " + std::to_string(removed)
                  + " temporary file(s) left by an interrupted save");
}

}  // namespace lightdeck
