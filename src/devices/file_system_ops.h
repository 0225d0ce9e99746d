#pragma once
// The few file operations the preferences file needs, as one thin seam:
// the defaults are the POSIX calls, and a test derives from this class to
// make one step (a write, an fsync, a rename) fail.
//
// Every operation returns 0 on success or an errno value (EINTR is retried
// inside, never returned).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace lightdeck {

class FileSystemOps {
public:
    virtual ~FileSystemOps() = default;

    // The shared POSIX implementation.
    static FileSystemOps& posix();

    // The whole file into `contents`; ENOENT when it does not exist.
    virtual int readFile(const std::filesystem::path& file, std::string& contents);
    // One folder with the given mode; EEXIST when something is there already.
    virtual int makeDirectory(const std::filesystem::path& folder, mode_t mode);
    // A new, empty file from a name ending in "XXXXXX" (mkstemp): the name
    // is filled in and `fd` opened for writing.
    virtual int createTemporary(std::string& nameTemplate, int& fd);
    virtual int setMode(int fd, mode_t mode);
    // Writes all of `data`, continuing after short writes.
    virtual int writeAll(int fd, std::string_view data);
    virtual int syncFile(int fd);
    virtual int closeFile(int fd);
    // Replaces `to` atomically.
    virtual int rename(const std::filesystem::path& from, const std::filesystem::path& to);
    // Moves `from` to `to` but fails with EEXIST when `to` exists, so that
    // nothing is overwritten.
    virtual int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
    virtual int removeFile(const std::filesystem::path& file);
    // fsync of a folder, so that a rename in it survives a power cut.
    virtual int syncDirectory(const std::filesystem::path& folder);
    // The names (not paths) of a folder's entries, "." and ".." left out.
    virtual int listFolder(const std::filesystem::path& folder, std::vector<std::string>& names);
};

}  // namespace lightdeck
