#include "keywords/whole_file.h"

#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <utility>

namespace yunque {
namespace {

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

FileContent readWholeFile(const std::string &path)
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

bool writeWholeFile(const std::string &path, std::string_view bytes)
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

} // namespace yunque
