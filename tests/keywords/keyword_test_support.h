#pragma once

// File helpers for POSIX systems and a fake text box for the keyword tests.

#include "fake_box.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yunque::test {

// stat() of the path (links followed); st_nlink is 0 when it does not exist.
inline struct stat statOf(const std::filesystem::path &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        info = {};
    return info;
}

inline struct stat lstatOf(const std::filesystem::path &path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        info = {};
    return info;
}

// Same inode, size, mode and modification time: the file was not written.
inline bool untouched(const struct stat &before, const struct stat &after)
{
    return before.st_ino == after.st_ino && before.st_size == after.st_size && before.st_mode == after.st_mode
           && before.st_mtim.tv_sec == after.st_mtim.tv_sec && before.st_mtim.tv_nsec == after.st_mtim.tv_nsec;
}

// An exclusive advisory lock on the file, held through a second open file
// description for as long as the object lives, as another process would.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const std::filesystem::path &path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
            throw std::runtime_error("cannot lock " + path.string());
    }
    ~ExclusiveLock() { release(); }
    ExclusiveLock(const ExclusiveLock &) = delete;
    ExclusiveLock &operator=(const ExclusiveLock &) = delete;

    void release()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
    }

private:
    int m_fd;
};

} // namespace yunque::test
