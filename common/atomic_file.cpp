#include "common/atomic_file.h"

#include "common/run_directory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace yunque {
namespace {

constexpr int maximumLinkDepth = 40;

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string resolveLinks(const std::string &path)
{
    std::string current = path;
    for (int depth = 0; depth < maximumLinkDepth; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 256), '\0');
        for (;;) {
            const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
            if (length < 0)
                return current;
            if (static_cast<std::size_t>(length) < target.size()) {
                target.resize(static_cast<std::size_t>(length));
                break;
            }
            target.resize(target.size() * 2);
        }
        if (target.empty() || target.front() != '/') {
            const std::string folder = directoryOf(current);
            if (current.find('/') != std::string::npos)
                target = folder + "/" + target;
        }
        current = std::move(target);
    }
    return current;
}

AtomicFile::AtomicFile(std::string path)
    : m_path(std::move(path))
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::fail(int error)
{
    if (m_error == 0)
        m_error = error != 0 ? error : EIO;
    return false;
}

std::string AtomicFile::errorText() const
{
    return m_error == 0 ? std::string() : std::string(std::strerror(m_error));
}

bool AtomicFile::open()
{
    if (m_fd >= 0 || m_error != 0)
        return m_fd >= 0;
    if (m_path.empty())
        return fail(ENOENT);

    m_destination = resolveLinks(m_path);
    const std::size_t slash = m_destination.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : m_destination.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_destination : m_destination.substr(slash + 1);
    if (name.empty())
        return fail(EISDIR);

    // "." + name + ".XXXXXX" must itself be a valid name: a destination name
    // near the length limit lends only its beginning to the temporary one.
    constexpr std::size_t nameMax = 255;
    constexpr std::size_t decoration = std::char_traits<char>::length("..XXXXXX");
    const std::string stem = name.substr(0, nameMax - decoration);
    std::string pattern = (slash == std::string::npos ? std::string() : folder) + "." + stem + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    m_fd = fd;
    m_temporary = std::move(pattern);
    ::flock(m_fd, LOCK_EX | LOCK_NB);

    struct stat existing {};
    if (::stat(m_destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        if (::fchown(m_fd, existing.st_uid, existing.st_gid) != 0) {
            // Not allowed to give the file away: keep our own owner.
        }
        ::fchmod(m_fd, existing.st_mode & 07777);
    } else {
        ::fchmod(m_fd, newFileMode());
    }
    m_buffer.reserve(bufferSize);
    return true;
}

bool AtomicFile::write(const void *data, std::size_t size)
{
    if (m_fd < 0)
        return fail(EBADF);
    if (m_error != 0)
        return false;
    const char *bytes = static_cast<const char *>(data);
    // A piece as large as the buffer goes out as it is, uncopied.
    if (size >= bufferSize)
        return flush() && writeAll(bytes, size);
    if (m_buffer.size() + size > bufferSize && !flush())
        return false;
    m_buffer.insert(m_buffer.end(), bytes, bytes + size);
    return true;
}

bool AtomicFile::flush()
{
    if (!writeAll(m_buffer.data(), m_buffer.size()))
        return false;
    m_buffer.clear();
    return true;
}

bool AtomicFile::writeAll(const char *next, std::size_t left)
{
    while (left > 0) {
        const ssize_t written = ::write(m_fd, next, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (written == 0)
            return fail(ENOSPC);
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

void AtomicFile::closeTemporary()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool AtomicFile::commit()
{
    if (m_fd < 0) {
        fail(EBADF);
        discard();
        return false;
    }
    if (m_error == 0)
        flush();
    // close() can report a delayed write error (NFS, quotas): it counts.
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        fail(errno);
    if (m_error == 0 && ::rename(m_temporary.c_str(), m_destination.c_str()) != 0)
        fail(errno);
    if (m_error != 0) {
        discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::discard()
{
    closeTemporary();
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    m_buffer.clear();
}

} // namespace yunque
