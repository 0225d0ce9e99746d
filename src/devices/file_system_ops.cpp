#include "devices/file_system_ops.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lightdeck {
namespace {

// Runs a call that returns -1 and sets errno on failure; retries EINTR.
template <typename Call>
int retry(Call call)
{
    for (;;) {
        if (call() != -1)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

}  // namespace

FileSystemOps& FileSystemOps::posix()
{
    static FileSystemOps ops;
    return ops;
}

int FileSystemOps::readFile(const std::filesystem::path& file, std::string& contents)
{
    int fd = -1;
    if (int err = retry([&] { return fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC); }))
        return err;
    contents.clear();
    char buffer[16384];
    int result = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            contents.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            result = errno;
            break;
        }
    }
    ::close(fd);
    return result;
}

int FileSystemOps::makeDirectory(const std::filesystem::path& folder, mode_t mode)
{
    return retry([&] { return ::mkdir(folder.c_str(), mode); });
}

int FileSystemOps::createTemporary(std::string& nameTemplate, int& fd)
{
    return retry([&] { return fd = ::mkostemp(nameTemplate.data(), O_CLOEXEC); });
}

int FileSystemOps::setMode(int fd, mode_t mode)
{
    return retry([&] { return ::fchmod(fd, mode); });
}

int FileSystemOps::writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int FileSystemOps::syncFile(int fd)
{
    return retry([&] { return ::fsync(fd); });
}

int FileSystemOps::closeFile(int fd)
{
    // close() is not retried on EINTR: on Linux the descriptor is gone anyway.
    return ::close(fd) == 0 ? 0 : errno;
}

int FileSystemOps::rename(const std::filesystem::path& from, const std::filesystem::path& to)
{
    return retry([&] { return ::rename(from.c_str(), to.c_str()); });
}

int FileSystemOps::renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // A hard link fails with EEXIST instead of replacing; then the old name
    // goes. Where links are not supported, check and rename (not atomic, but
    // the folder is the user's own).
    const int linked = retry([&] { return ::link(from.c_str(), to.c_str()); });
    if (linked == 0)
        return retry([&] { return ::unlink(from.c_str()); });
    if (linked == EEXIST)
        return EEXIST;
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0)
        return EEXIST;
    return retry([&] { return ::rename(from.c_str(), to.c_str()); });
}

int FileSystemOps::removeFile(const std::filesystem::path& file)
{
    return retry([&] { return ::unlink(file.c_str()); });
}

int FileSystemOps::syncDirectory(const std::filesystem::path& folder)
{
    int fd = -1;
    if (int err = retry([&] { return fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }))
        return err;
    const int result = retry([&] { return ::fsync(fd); });
    ::close(fd);
    return result;
}

int FileSystemOps::listFolder(const std::filesystem::path& folder, std::vector<std::string>& names)
{
    names.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return errno;
    int result = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            result = errno;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return result;
}

}  // namespace lightdeck
