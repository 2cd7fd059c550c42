#pragma once

// Running a piece of a test as a user whom permission bits bind (POSIX
// systems).

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace yunque::test {

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
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 || ::geteuid() == 0)
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
