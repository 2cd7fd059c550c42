#pragma once

// Faults injected into the file layer for one scope, a recovery folder of
// the test's own, and (POSIX systems) a write cut short by a kill.

#include "common/file_system.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace yunque::test {

// The system's codes for a folder that refuses a new file and for a full
// disk.
#ifdef _WIN32
inline constexpr int folderRefusal = ERROR_ACCESS_DENIED;
inline constexpr int diskFull = ERROR_DISK_FULL;
#else
inline constexpr int folderRefusal = EACCES;
inline constexpr int diskFull = ENOSPC;
#endif

// Sets the file layer's fault injector until the object goes.
class ScopedFileFaults {
public:
    ScopedFileFaults()
        : m_previous(std::exchange(detail::fileFaults, &faults))
    {
    }
    ~ScopedFileFaults() { detail::fileFaults = m_previous; }
    ScopedFileFaults(const ScopedFileFaults &) = delete;
    ScopedFileFaults &operator=(const ScopedFileFaults &) = delete;

    detail::FileFaults faults;

private:
    detail::FileFaults *m_previous;
};

// Points recoveryFolder() into a fresh folder (open to every user, so that
// a test body run as another user can keep its copies there too) until the
// object goes; the user's own cache is never touched.
class ScopedRecoveryFolder {
public:
    ScopedRecoveryFolder()
    {
        std::filesystem::permissions(m_base.path(), std::filesystem::perms::all);
        set(m_base.path().native());
    }
    ~ScopedRecoveryFolder()
    {
        if (m_previous)
            set(*m_previous);
        else
            unset();
    }
    ScopedRecoveryFolder(const ScopedRecoveryFolder &) = delete;
    ScopedRecoveryFolder &operator=(const ScopedRecoveryFolder &) = delete;

    // The folder recoveryFolder() now names.
    std::filesystem::path folder() const { return recoveryFolder(); }
    // Recovery copies present now.
    std::size_t copies() const
    {
        std::error_code error;
        std::size_t count = 0;
        for (auto entry = std::filesystem::directory_iterator(folder(), error);
             !error && entry != std::filesystem::directory_iterator(); entry.increment(error))
            ++count;
        return count;
    }

private:
#ifdef _WIN32
    static constexpr const wchar_t *variable = L"LOCALAPPDATA";
    void set(const std::wstring &value)
    {
        ::SetEnvironmentVariableW(variable, value.c_str());
    }
    void unset()
    {
        ::SetEnvironmentVariableW(variable, nullptr);
    }
    static std::optional<std::wstring> current()
    {
        wchar_t buffer[32768];
        const DWORD length = ::GetEnvironmentVariableW(variable, buffer, 32768);
        if (length == 0 || length >= 32768)
            return std::nullopt;
        return std::wstring(buffer, length);
    }
#else
    static constexpr const char *variable = "XDG_CACHE_HOME";
    void set(const std::string &value)
    {
        ::setenv(variable, value.c_str(), 1);
    }
    void unset()
    {
        ::unsetenv(variable);
    }
    static std::optional<std::string> current()
    {
        const char *value = std::getenv(variable);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
#endif

    decltype(current()) m_previous = current();
    TempFolder m_base;
};

#ifndef _WIN32
// Runs body in a forked child that ends abruptly, as if killed, when the
// file layer reaches step; true when it did end there (exit code 0 from the
// kill, 1 when body returned without reaching the step).
inline bool killedAt(detail::FileStep step, const std::function<void(detail::FileFaults &)> &body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ScopedFileFaults scope;
        scope.faults.step = [step](detail::FileStep reached) {
            if (reached == step)
                ::_exit(0);
        };
        body(scope.faults);
        ::_exit(1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

} // namespace yunque::test
