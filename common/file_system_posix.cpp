// The file layer on POSIX systems (Linux).
#include "common/file_system.h"
#include "common/file_system_detail.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/auxv.h>
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <system_error>
#include <utility>

namespace yunque {

const int AtomicFile::notOpenError = EBADF;
// Above every errno value.
const int readOnlyFileError = 0x10001;
const int fileInUseError = EWOULDBLOCK;
const int detail::unknownError = EIO;

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

// The folder of a path, "." for a bare name.
std::filesystem::path folderOf(const std::filesystem::path &path)
{
    std::filesystem::path folder = path.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// Closes a descriptor on every path out of a function.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
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

// Reads an open file as a whole from its start, as readWholeFile() does.
FileContent readDescriptor(int fd)
{
    FileContent content;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return content;
    if (info.st_size > INT32_MAX)
        return content;
    return detail::readSized(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0),
                             [fd](char *data, std::size_t size) { return readFully(fd, data, size); });
}

// Writes all of size bytes at offset. False with errno set on failure.
// injected: the write stands for new content, which a test's full disk
// stops.
bool writeAt(int fd, const char *data, std::size_t size, off_t offset, bool injected)
{
    std::size_t allowed = injected ? detail::bytesAllowed(size) : size;
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t written = ::pwrite(fd, data + done, allowed - done, offset + static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    if (injected && !detail::storedWhole(allowed, size)) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

// Letters and digits for names of temporary files.
std::string randomSuffix()
{
    static constexpr char characters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random(std::random_device{}() ^ static_cast<std::uint64_t>(::getpid()));
    std::string suffix(6, 'x');
    for (char &c : suffix)
        c = characters[random() % (sizeof characters - 1)];
    return suffix;
}

// The name of a temporary file for a destination name: "." + name + "." +
// six characters must itself be a valid name, so a name near the length
// limit lends only its beginning.
std::string temporaryStem(const std::string &name)
{
    constexpr std::size_t nameMax = 255;
    constexpr std::size_t decoration = std::char_traits<char>::length("..XXXXXX");
    return name.substr(0, nameMax - decoration);
}

// Removes the temporary files of a destination that a killed writer left
// behind: ours (same user), regular, and not locked by a live writer. The
// lock is taken before the check that the name still names the file that
// was locked, and a new temporary file is only used once its creator holds
// its lock, so a live writer's file is never removed.
void removeStaleTemporaries(const std::filesystem::path &folder, const std::string &stem)
{
    DIR *listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return;
    const uid_t user = ::geteuid();
    while (const struct dirent *entry = ::readdir(listing)) {
        if (!detail::isTemporaryName(entry->d_name, stem))
            continue;
        const int fd = ::openat(::dirfd(listing), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == user
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(::dirfd(listing), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0
            && named.st_ino == opened.st_ino && named.st_dev == opened.st_dev)
            ::unlinkat(::dirfd(listing), entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(listing);
}

// Carries the extended attributes (user attributes, ACLs, security labels)
// of one open file over to another, each as far as the system allows.
void copyExtendedAttributes(int from, int to)
{
#ifdef __linux__
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0)
        return;
    std::string names(static_cast<std::size_t>(size), '\0');
    size = ::flistxattr(from, names.data(), names.size());
    if (size <= 0)
        return;
    names.resize(static_cast<std::size_t>(size));
    std::string value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char *name = names.c_str() + at;
        const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0)
            continue;
        value.resize(static_cast<std::size_t>(length));
        const ssize_t got = ::fgetxattr(from, name, value.data(), value.size());
        if (got < 0)
            continue;
        if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0) {
            // Not allowed (a security label) or not supported there: the
            // new file goes without it.
        }
    }
#else
    (void)from;
    (void)to;
#endif
}

// Flushes a folder's entries to the disk. Systems that cannot sync a folder
// say EINVAL; that is no failure.
bool syncFolder(const std::filesystem::path &folder)
{
    Descriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.get() < 0)
        return false;
    return ::fsync(descriptor.get()) == 0 || errno == EINVAL;
}

// Gives a new write the space of size bytes in the file before any byte of
// it changes, so that a full disk stops it there. The file's size stays
// where the system allows that.
bool reserveSpace(int fd, off_t oldSize, off_t size)
{
    if (detail::fileFaults != nullptr && detail::fileFaults->reserveError != 0) {
        errno = detail::fileFaults->reserveError;
        return false;
    }
    if (size == 0)
        return true;
#ifdef __linux__
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
#endif
    if (size <= oldSize)
        return true;
    const int error = ::posix_fallocate(fd, oldSize, size - oldSize);
    if (error == 0 || error == EOPNOTSUPP || error == EINVAL)
        return true;
    errno = error;
    return false;
}

// Puts bytes at the file's start and cuts it there, then flushes it to the
// disk.
bool overwrite(int fd, std::string_view bytes, bool injected)
{
    return writeAt(fd, bytes.data(), bytes.size(), 0, injected)
           && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fdatasync(fd) == 0;
}

// An open file as an in-place write reaches it: fd, held open for writing,
// and target, its name.
class InPlaceDescriptor : public detail::InPlaceFile {
public:
    InPlaceDescriptor(int fd, const std::filesystem::path &target)
        : m_fd(fd)
        , m_target(target)
    {
    }

    FileContent read() override
    {
        // The file as it is: read through a descriptor of its own, which
        // must be the file that is held open for writing.
        struct stat held {};
        struct stat read {};
        Descriptor reader(::open(m_target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (reader.get() < 0 || ::fstat(m_fd, &held) != 0 || ::fstat(reader.get(), &read) != 0
            || held.st_ino != read.st_ino || held.st_dev != read.st_dev)
            return FileContent();
        return readDescriptor(reader.get());
    }
    bool reserve(std::size_t currentSize, std::size_t size) override
    {
        return reserveSpace(m_fd, static_cast<off_t>(currentSize), static_cast<off_t>(size));
    }
    bool overwrite(std::string_view bytes, bool injected) override { return yunque::overwrite(m_fd, bytes, injected); }

private:
    int m_fd;
    const std::filesystem::path &m_target;
};

} // namespace

std::filesystem::path programFile()
{
    const char *link = "/proc/self/exe";
    if (detail::fileFaults != nullptr && !detail::fileFaults->programLink.empty())
        link = detail::fileFaults->programLink.c_str();
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        const ssize_t length = ::readlink(link, buffer.data(), buffer.size());
        if (length < 0)
            break;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
#ifdef __linux__
    // The name the program was started by, as the kernel passed it on: the
    // program file itself or a link to it, relative to the folder it was
    // started from.
    if (detail::fileFaults != nullptr && detail::fileFaults->noExecFn)
        return {};
    const auto *started = reinterpret_cast<const char *>(::getauxval(AT_EXECFN));
    if (started == nullptr || *started == '\0')
        return {};
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(started, error);
    if (error)
        return {};
    std::filesystem::path resolved = std::filesystem::canonical(absolute, error);
    if (error)
        resolved = absolute.lexically_normal();
    if (!std::filesystem::is_regular_file(resolved, error))
        return {};
    return resolved;
#else
    return {};
#endif
}

std::string systemErrorText(int error)
{
    if (error == readOnlyFileError)
        return "File is read-only";
    return std::strerror(error);
}

detail::Reason detail::reasonOf(int error)
{
    Reason reason = Reason::other;
    switch (error) {
    case EACCES:
    case EPERM:
        reason = Reason::noPermission;
        break;
    case EROFS:
        reason = Reason::readOnlyFileSystem;
        break;
    case ENOSPC:
        reason = Reason::diskFull;
        break;
    case EDQUOT:
        reason = Reason::quota;
        break;
    case ENOENT:
    case ENOTDIR:
        reason = Reason::folderMissing;
        break;
    case ENAMETOOLONG:
        reason = Reason::nameTooLong;
        break;
    case EISDIR:
        reason = Reason::isFolder;
        break;
    case EWOULDBLOCK:
    case ETXTBSY:
        reason = Reason::inUse;
        break;
    case EIO:
        reason = Reason::ioError;
        break;
    default:
        if (error == readOnlyFileError)
            reason = Reason::readOnlyFile;
        break;
    }
    return reason;
}

FileContent readWholeFile(const std::filesystem::path &path)
{
    // O_NONBLOCK keeps a FIFO in the file's place from hanging the open; it
    // changes nothing for a regular file.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        FileContent content;
        content.missing = errno == ENOENT;
        content.exact = content.missing;
        return content;
    }
    if (lockedElsewhere(file.get(), LOCK_SH))
        return FileContent();
    return readDescriptor(file.get());
}

bool AtomicFile::writeInPlaceInstead(std::string_view bytes)
{
    // A file with several names, or one whose folder refused the temporary
    // file or its rename, through the descriptor that holds its lock.
    if (m_existing == noHandle || !(m_existingLinks > 1 || m_refusedByFolder))
        return false;
    dropTemporary();
    InPlaceDescriptor file(static_cast<int>(m_existing), m_destination);
    return detail::writeInPlace(file, m_destination, bytes);
}

bool createEmptyFile(const std::filesystem::path &path)
{
    if (path.empty())
        return false;
    Descriptor file(::open(resolveLinks(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
    return file.get() >= 0 && file.close();
}

int copyToNewFile(const std::filesystem::path &from, const std::filesystem::path &to)
{
    Descriptor in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (in.get() < 0)
        return errno;
    if (lockedElsewhere(in.get(), LOCK_SH))
        return EWOULDBLOCK;
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    Descriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, info.st_mode & 0666));
    if (out.get() < 0)
        return errno;

    // The data runs one by one, the holes between them skipped.
    constexpr std::size_t pieceSize = 1 << 20;
    std::string piece(pieceSize, '\0');
    int failure = 0;
    off_t offset = 0;
    while (failure == 0 && offset < info.st_size) {
        off_t data = ::lseek(in.get(), offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;
        if (data < 0)
            data = offset;
        off_t hole = ::lseek(in.get(), data, SEEK_HOLE);
        if (hole < 0 || hole > info.st_size)
            hole = info.st_size;
        for (off_t at = data; failure == 0 && at < hole;) {
            const auto want = static_cast<std::size_t>(std::min<off_t>(hole - at, static_cast<off_t>(pieceSize)));
            const ssize_t got = ::pread(in.get(), piece.data(), want, at);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                failure = got < 0 ? errno : EIO;
                break;
            }
            if (!writeAt(out.get(), piece.data(), static_cast<std::size_t>(got), at, false))
                failure = errno;
            at += got;
        }
        offset = hole;
    }
    if (failure == 0 && ::ftruncate(out.get(), info.st_size) != 0)
        failure = errno;
    if (failure == 0 && ::fsync(out.get()) != 0)
        failure = errno;
    if (!out.close() && failure == 0)
        failure = errno;
    if (failure != 0)
        ::unlink(to.c_str());
    return failure;
}

std::filesystem::path recoveryFolder()
{
    const char *cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/')
        return std::filesystem::path(cache) / "yunque";
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const struct passwd *user = ::getpwuid(::geteuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/')
        return {};
    return std::filesystem::path(home) / ".cache" / "yunque";
}

namespace detail {

std::filesystem::path followLinks(const std::filesystem::path &path)
{
    return resolveLinks(path);
}

void removeFile(const std::filesystem::path &path)
{
    ::unlink(path.c_str());
}

bool createRecoveryFolder(const std::filesystem::path &folder)
{
    std::error_code error;
    if (std::filesystem::create_directories(folder, error))
        ::chmod(folder.c_str(), 0700);
    return !error;
}

} // namespace detail

bool AtomicFile::checkDestination()
{
    // Opening for writing (without cutting) is the permission check and
    // gives the descriptor for the lock and, for writeWholeFile(), for an
    // in-place write.
    const int fd = ::open(m_destination.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || fail(errno);
    m_existing = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fail(errno);
    if (!S_ISREG(info.st_mode))
        return fail(EINVAL);
    // Read-only means read-only, also for a user whom permission bits do
    // not stop.
    if ((info.st_mode & 0222) == 0)
        return fail(readOnlyFileError);
    // Held until the new content is in place.
    if (lockedElsewhere(fd, LOCK_EX))
        return fail(fileInUseError);
    m_existingLinks = info.st_nlink;
    return true;
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
    if (!checkDestination()) {
        closeExisting();
        return false;
    }

    const std::filesystem::path folder = folderOf(m_destination);
    const std::string stem = temporaryStem(name);
    removeStaleTemporaries(folder, stem);

    const detail::FileFaults *faults = detail::fileFaults;
    if (faults != nullptr && faults->temporaryError != 0) {
        m_refusedByFolder = true;
        return fail(faults->temporaryError);
    }
    int fd = -1;
#ifdef O_TMPFILE
    // Linked in by commit() through /proc/self/fd.
    if ((faults == nullptr || !faults->noUnnamedTemporary) && ::access("/proc/self/fd", X_OK) == 0) {
        fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        m_unnamed = fd >= 0;
        if (fd >= 0)
            ::flock(fd, LOCK_EX | LOCK_NB);
    }
#endif
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        std::string pattern = (folder / ("." + stem + ".XXXXXX")).native();
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            m_refusedByFolder = errno == EACCES || errno == EPERM || errno == EROFS;
            return fail(errno);
        }
        // In use only once locked and still named: a stale-file sweep may
        // have taken it in between.
        struct stat info {};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 || info.st_nlink == 0) {
            ::close(std::exchange(fd, -1));
            continue;
        }
        m_temporary = std::move(pattern);
    }
    if (fd < 0)
        return fail(EEXIST);
    m_handle = fd;

    struct stat existing {};
    if (m_existing != noHandle && ::fstat(static_cast<int>(m_existing), &existing) == 0) {
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            // Not allowed to give the file away: keep our own owner.
        }
        copyExtendedAttributes(static_cast<int>(m_existing), fd);
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        ::fchmod(fd, newFileMode());
    }
    m_buffer.reserve(bufferSize);
    return true;
}

bool AtomicFile::writeAll(const char *next, std::size_t left)
{
    const std::size_t allowed = detail::bytesAllowed(left);
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t written = ::write(static_cast<int>(m_handle), next + done, allowed - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (written == 0)
            return fail(ENOSPC);
        done += static_cast<std::size_t>(written);
    }
    if (!detail::storedWhole(allowed, left))
        return fail(ENOSPC);
    return true;
}

void AtomicFile::closeTemporary()
{
    if (m_handle != noHandle)
        ::close(static_cast<int>(std::exchange(m_handle, noHandle)));
}

void AtomicFile::closeExisting()
{
    if (m_existing != noHandle)
        ::close(static_cast<int>(std::exchange(m_existing, noHandle)));
}

bool AtomicFile::commit()
{
    if (m_handle == noHandle) {
        fail(EBADF);
        discard();
        return false;
    }
    const int fd = static_cast<int>(m_handle);
    if (m_error == 0)
        flush();
    if (m_error == 0 && m_durability == Durability::systemCrash && ::fdatasync(fd) != 0)
        fail(errno);
    if (m_error == 0)
        detail::reachStep(detail::FileStep::temporaryWritten);

    const std::filesystem::path folder = folderOf(m_destination);
    // An unnamed file gets a temporary name first: a link cannot replace
    // an existing name, a rename can.
    for (int attempt = 0; m_error == 0 && m_unnamed && m_temporary.empty() && attempt < 100; ++attempt) {
        const std::filesystem::path name =
            folder / ("." + temporaryStem(m_destination.filename().native()) + "." + randomSuffix());
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            m_temporary = name;
        else if (errno != EEXIST)
            fail(errno);
    }
    if (m_error == 0 && m_temporary.empty())
        fail(EEXIST);

    // The lock stays on through a second descriptor until the rename, so
    // that no sweep takes the named file for a stale one.
    const int lockHolder = ::dup(fd);
    // close() can report a delayed write error (NFS, quotas): it counts.
    if (::close(static_cast<int>(std::exchange(m_handle, noHandle))) != 0)
        fail(errno);
    const detail::FileFaults *faults = detail::fileFaults;
    if (m_error == 0 && faults != nullptr && faults->renameError != 0) {
        m_refusedByFolder = true;
        fail(faults->renameError);
    }
    if (m_error == 0 && ::rename(m_temporary.c_str(), m_destination.c_str()) != 0) {
        m_refusedByFolder = errno == EPERM || errno == EACCES;
        fail(errno);
    }
    if (lockHolder >= 0)
        ::close(lockHolder);
    if (m_error != 0) {
        dropTemporary();
        return false;
    }
    m_temporary.clear();
    closeExisting();
    if (m_durability == Durability::systemCrash && !syncFolder(folder))
        return fail(errno);
    return true;
}

} // namespace yunque
