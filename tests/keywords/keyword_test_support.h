#pragma once

// Temporary folders, file helpers and a fake text box for the keyword tests.

#include "keywords/keyword_file.h"
#include "keywords/text_box.h"

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

// A fresh folder under /tmp, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/yunque-keywords-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempFolder()
    {
        ::chmod(m_path.c_str(), 0700);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

    // Names in the folder, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto &entry : std::filesystem::directory_iterator(m_path))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::string m_path;
};

inline void writeBytes(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

// The file's bytes, or nothing when it cannot be read.
inline std::optional<std::string> fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// stat() of the path (links followed); st_nlink is 0 when it does not exist.
inline struct stat statOf(const std::string &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        info = {};
    return info;
}

inline struct stat lstatOf(const std::string &path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        info = {};
    return info;
}

// Same inode, size, mode and modification time: the file was not written.
inline bool untouched(const struct stat &before, const struct stat &after)
{
    return before.st_ino == after.st_ino && before.st_size == after.st_size
        && before.st_mode == after.st_mode && before.st_mtim.tv_sec == after.st_mtim.tv_sec
        && before.st_mtim.tv_nsec == after.st_mtim.tv_nsec;
}

// An exclusive advisory lock on the file, held through a second open file
// description for as long as the object lives, as another process would.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const std::string &path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
            throw std::runtime_error("cannot lock " + path);
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

// A text box that behaves like the real one toward the handlers: setText
// replaces the text and raises text-changed once, which saves the keyword
// file, and so does every edit by the user.
class FakeBox : public TextBox {
public:
    // Saves the keyword file beside the program.
    FakeBox() = default;
    // Saves the keyword file in folder.
    explicit FakeBox(std::string folder)
        : m_folder(std::move(folder))
    {
    }

    void setText(const GbkText &text) override
    {
        sets.push_back(text);
        m_text = text;
        if (dropsByteFF)
            std::replace(m_text.begin(), m_text.end(), '\xFF', '?');
        changed();
    }
    GbkText text() const override { return m_text; }

    // The user types keys at the end of the text (Enter is "\r\n").
    void type(std::string_view keys)
    {
        m_text += keys;
        changed();
    }
    // The user deletes everything.
    void clear()
    {
        m_text.clear();
        changed();
    }

    // Every text passed to setText.
    std::vector<GbkText> sets;
    // Models a code page that cannot hold the byte 0xFF: it shows as '?'.
    bool dropsByteFF = false;

private:
    void changed()
    {
        if (m_folder)
            saveKeywordFile(*this, *m_folder);
        else
            saveKeywordFile(*this);
    }

    std::optional<std::string> m_folder;
    GbkText m_text;
};

// Exit code of runUnprivileged when no unprivileged user can be had.
inline constexpr int cannotDropPrivileges = 77;

// Runs body as a user whom permission bits bind, and gives its result (0 for
// success). Run in process when that is us already; as root, in a forked
// child that has switched to user and group nobody (65534), so folders and
// files it touches must be open to others.
inline int runUnprivileged(const std::function<int()> &body)
{
    if (::geteuid() != 0)
        return body();
    const pid_t child = ::fork();
    if (child < 0)
        return cannotDropPrivileges;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0
            || ::geteuid() == 0)
            ::_exit(cannotDropPrivileges);
        int result = 99;
        try {
            result = body();
        } catch (...) {
        }
        ::_exit(result);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return cannotDropPrivileges;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace yunque::test
