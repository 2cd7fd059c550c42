// The file layer on POSIX systems (Linux).
#include "common/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace yunque {

const int AtomicFile::notOpenError = EBADF;

namespace {

constexpr int maximumLinkDepth = 40;

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Follows symbolic links from path to the file they finally name, which need
// not exist. A path that is no link comes back unchanged.
std::filesystem::path resolveLinks(const std::filesystem::path &path)
{
    std::filesystem::path current = path;
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
        // A relative target is relative to the link's folder.
        current = current.parent_path() / target;
    }
    return current;
}

// Closes a descriptor on every path out of a function.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    // Closes now and tells whether the close succeeded; a delayed write
    // error shows up here.
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

// Another open file description holds a conflicting lock. Other failures
// (a file system without flock support) do not stop the operation.
bool lockedElsewhere(int fd, int operation)
{
    return ::flock(fd, operation | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

// Reads up to size bytes into data until end of file. The count read, or -1
// on a read error.
ssize_t readFully(int fd, char *data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, data + done, size - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// Rewrites an open file from its start and cuts it to the new length. Used
// only when the folder cannot take a temporary file, so it is not atomic;
// writing before cutting needs no new space when the file does not grow.
bool writeInPlace(Descriptor &file, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(file.get(), bytes.data() + done, bytes.size() - done,
                                         static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    if (::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0)
        return false;
    return file.close();
}

} // namespace

std::filesystem::path programFile()
{
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string systemErrorText(int error)
{
    return std::strerror(error);
}

FileContent readWholeFile(const std::filesystem::path &path)
{
    FileContent content;
    // O_NONBLOCK keeps a FIFO in the file's place from hanging the open; it
    // changes nothing for a regular file.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        content.exact = errno == ENOENT;
        return content;
    }
    if (lockedElsewhere(file.get(), LOCK_SH))
        return content;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return content;
    if (info.st_size > INT32_MAX)
        return content;

    const auto size = static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0);
    try {
        content.bytes.resize(size);
    } catch (const std::bad_alloc &) {
        content.bytes = ByteData();
        return content;
    }
    const ssize_t got = readFully(file.get(), content.bytes.data(), size);
    if (got < 0) {
        content.bytes = ByteData();
        return content;
    }
    content.bytes.resize(static_cast<std::size_t>(got));
    if (static_cast<std::size_t>(got) < size)
        return content;

    // The size was taken before reading: a file that has grown since, or
    // whose size understates its content, is not what was read.
    char probe = 0;
    const ssize_t more = readFully(file.get(), &probe, 1);
    if (more < 0) {
        content.bytes = ByteData();
        return content;
    }
    content.exact = more == 0;
    return content;
}

bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes)
{
    if (path.empty())
        return false;

    // Opening the existing file for writing (without cutting it) is the
    // permission check, gives the descriptor for the lock, and is the way in
    // when the folder refuses a temporary file.
    Descriptor existing(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (existing.get() < 0 && errno != ENOENT)
        return false;
    if (existing.get() >= 0) {
        struct stat info {};
        if (::fstat(existing.get(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        // Read-only means read-only, also for a user whom permission bits
        // do not stop.
        if ((info.st_mode & 0222) == 0)
            return false;
        // Held from here until the new content is in place.
        if (lockedElsewhere(existing.get(), LOCK_EX))
            return false;
    }

    AtomicFile replacement(path);
    if (replacement.open()) {
        replacement.write(bytes);
        return replacement.commit();
    }
    const int refusal = replacement.error();
    if (existing.get() >= 0 && (refusal == EACCES || refusal == EPERM || refusal == EROFS))
        return writeInPlace(existing, bytes);
    return false;
}

bool AtomicFile::fail(int error)
{
    if (m_error == 0)
        m_error = error != 0 ? error : EIO;
    return false;
}

bool AtomicFile::open()
{
    if (m_handle != noHandle || m_error != 0)
        return m_handle != noHandle;
    if (m_path.empty())
        return fail(ENOENT);

    m_destination = resolveLinks(m_path);
    const std::string name = m_destination.filename().native();
    if (name.empty())
        return fail(EISDIR);

    // "." + name + ".XXXXXX" must itself be a valid name: a destination name
    // near the length limit lends only its beginning to the temporary one.
    constexpr std::size_t nameMax = 255;
    constexpr std::size_t decoration = std::char_traits<char>::length("..XXXXXX");
    const std::string stem = name.substr(0, nameMax - decoration);
    std::string pattern = (m_destination.parent_path() / ("." + stem + ".XXXXXX")).native();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    m_handle = fd;
    m_temporary = std::move(pattern);
    ::flock(fd, LOCK_EX | LOCK_NB);

    struct stat existing {};
    if (::stat(m_destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            // Not allowed to give the file away: keep our own owner.
        }
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        ::fchmod(fd, newFileMode());
    }
    m_buffer.reserve(bufferSize);
    return true;
}

bool AtomicFile::writeAll(const char *next, std::size_t left)
{
    while (left > 0) {
        const ssize_t written = ::write(static_cast<int>(m_handle), next, left);
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
    if (m_handle != noHandle)
        ::close(static_cast<int>(std::exchange(m_handle, noHandle)));
}

bool AtomicFile::commit()
{
    if (m_handle == noHandle) {
        fail(EBADF);
        discard();
        return false;
    }
    if (m_error == 0)
        flush();
    // close() can report a delayed write error (NFS, quotas): it counts.
    if (::close(static_cast<int>(std::exchange(m_handle, noHandle))) != 0)
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
