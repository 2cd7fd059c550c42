#pragma once

// The file operations that differ between systems, behind one interface:
// file_system_posix.cpp and file_system_win32.cpp implement it, and the
// build picks one. Everything else in the core is portable and reaches the
// file system only through these.
//
// Paths are std::filesystem::path: on POSIX systems the name's bytes (UTF-8
// here), on Windows UTF-16, so that any name the system can hold can be
// used. Error codes are the system's own: errno values on POSIX systems,
// GetLastError() values on Windows.

#include "common/gbk_text.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace yunque {

// A path from a name in UTF-8, on every system.
std::filesystem::path pathFromUtf8(std::string_view name);
// The path's name in UTF-8, on every system.
std::string utf8FromPath(const std::filesystem::path &path);

// The running program file's full path, from the system's own record of it
// (not the current directory): on Linux /proc/self/exe, and when that cannot
// be read (no /proc, a path longer than the kernel reports) the name the
// program was started by (AT_EXECFN), made absolute against the current
// directory, which the program has not left at that point; on Windows the
// module's file name. Empty when the system will not tell.
std::filesystem::path programFile();

// The system's description of an error code, in UTF-8, in the system's
// language.
std::string systemErrorText(int error);

// The layer's own codes, beside the system's: a file whose write permission
// is off (ERROR_FILE_READ_ONLY on Windows; on POSIX systems a code outside
// the errno range), and a file that another process is writing (EWOULDBLOCK;
// ERROR_SHARING_VIOLATION on Windows).
extern const int readOnlyFileError;
extern const int fileInUseError;

// Why an operation failed, as the program tells the user, in UTF-8: Chinese
// for the common reasons (no permission, read-only file or file system, disk
// full, quota, missing folder, name too long, a folder in the file's place,
// file in use, input/output error), the system's own text for the rest.
std::string failureReason(int error);

// What a whole-file read gave.
struct FileContent {
    // The bytes read; empty on any failure. May hold NULs.
    ByteData bytes;
    // True when bytes are exactly what the file holds, so writing them back
    // changes nothing. A missing file counts as exact and empty. False when
    // the file could not be opened, was being written, too large, not a
    // regular file, failed while being read, or held more or fewer bytes
    // than its size said.
    bool exact = false;
    // True when there was no file of that name at all.
    bool missing = false;
};

// Reads a file as a whole. Others may read the file meanwhile but not write
// it: a file that another process is writing (on POSIX systems: holds under
// an exclusive advisory lock, as our own writes do; on Windows: has open for
// writing) is not read. A size of 2 GiB or more gives empty bytes without
// reading. A read that stops early keeps the bytes that arrived. Nothing is
// reported.
FileContent readWholeFile(const std::filesystem::path &path);

// How far AtomicFile::commit() and writeWholeFile() take the new content
// before they return.
enum class Durability {
    // Into the system's file cache. A crash of the program at any point
    // leaves the old file or the new one, whole, and nothing else. After a
    // crash of the whole system or a power loss the file may hold the old or
    // the new content and, on a file system that does not write a file's data
    // before its rename, may be empty or partial.
    programCrash,
    // Onto the disk: the data is flushed before the rename and the folder
    // after it (on Windows FlushFileBuffers and a write-through move), so
    // that also after a system crash or power loss the file is the old one or
    // the new one, whole.
    systemCrash,
};

// Replaces a file's whole content with bytes, so the file is either the old
// one or the new one, whole. Refused, leaving the file as it was: whatever
// AtomicFile::open() refuses (a read-only file, a file another process is
// writing, a file that cannot be opened for writing, anything that is not a
// regular file). True when the file now holds exactly bytes; false otherwise,
// quietly.
//
// Mostly through an AtomicFile. The file is instead rewritten in place when
// it has more than one hard link (POSIX systems: replacing it would part the
// links), or when the folder refuses the temporary file or its rename (a
// read-only folder, another user's file in a sticky folder) while the file
// itself can be written. An in-place write is made safe: the new size is
// reserved first, so a full disk fails before any byte changes, and a
// recovery copy of the previous content is kept in recoveryFolder(), on the
// disk, until the new content is on the disk too; a write that fails
// part-way puts the previous content back at once, and a write cut short by
// a kill is undone by recoverInterruptedWrite() at the next start. Without a
// recovery folder, or when the file cannot be read for its copy, the in-place
// write is refused and the file stays as it was.
bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes,
                    Durability durability = Durability::programCrash);

// Creates an empty file at path when there is none (a symbolic link whose
// target is missing creates the target); an existing file is never touched.
// True when this call created the file.
bool createEmptyFile(const std::filesystem::path &path);

// Copies the regular file from into a new file to, which must not exist (an
// existing one is never replaced); holes stay holes where the system allows.
// 0 on success, with to whole on the disk; otherwise the system's error code
// (EEXIST or ERROR_FILE_EXISTS when to exists) and nothing at to.
int copyToNewFile(const std::filesystem::path &from, const std::filesystem::path &to);

// Where in-place writes keep their recovery copies: $XDG_CACHE_HOME/yunque
// or else ~/.cache/yunque on POSIX systems, %LOCALAPPDATA%\yunque on
// Windows. Empty when none is known. Not created here.
std::filesystem::path recoveryFolder();

// Finishes an in-place write of path that a kill or a crash cut short, as
// found from its recovery copy: a file that holds the new content whole keeps
// it, any other content (the new one in part, the old one after it) is
// replaced by the previous content, whole. The copy is removed once the file
// is whole; a file that cannot be read or written now keeps its copy for a
// later try. True when the previous content was put back.
bool recoverInterruptedWrite(const std::filesystem::path &path);

// Replaces a file as a whole. The bytes go, through a buffer, into a
// temporary file in the destination's folder, which commit() puts in the
// destination's place. Until then the destination is untouched, so a crash
// of the program, a full disk or a failed write leaves the old file (or none)
// and never a partial one (after a system crash as far as the Durability
// says); several writers of one name never mix their bytes, the last one to
// commit wins. The temporary file is shared with no other writer while it is
// open.
//
// open() refuses an existing destination that may not be replaced: one whose
// write permission is off (all write bits, even for root; the read-only
// attribute on Windows), one the caller cannot open for writing (another
// user's file), one another process is writing (an exclusive advisory lock;
// open elsewhere on Windows), anything that is not a regular file.
//
// Nothing is left behind. POSIX systems: the temporary file has no name
// (O_TMPFILE) until commit() links it in, where the file system allows;
// otherwise, and on Windows, it is named "." + destination name + "." + six
// letters or digits. Such temporaries of this destination that a killed
// writer left behind are removed by the next open(): on POSIX systems those
// of our own user whose advisory lock is free (a live writer holds its lock),
// on Windows those that can be deleted (a live writer shares its file with
// no one).
//
// POSIX systems: the destination is the final target when the path is a
// symbolic link, so the link stays a link. An existing destination's
// permission bits, extended attributes (user attributes, ACLs, security
// labels where allowed) and, when allowed, owner and group carry over to the
// new file; a new file gets 0666 less the umask.
// Windows: an existing destination is replaced with ReplaceFileW, which keeps
// its attributes, security and hard-link identity; a new one is moved into
// place with write-through.
class AtomicFile {
public:
    // Writes of at least this many bytes go to the file uncopied; smaller
    // ones are gathered into a buffer of this size first.
    static constexpr std::size_t bufferSize = 256 * 1024;

    explicit AtomicFile(std::filesystem::path path, Durability durability = Durability::programCrash);
    ~AtomicFile();

    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Checks the destination (see above), removes stale temporaries and
    // creates the temporary file. False when the destination is refused or
    // the temporary file cannot be created; error() then tells why. An empty
    // path always fails. An existing destination stays open (on POSIX systems
    // with its lock held) until commit() or discard().
    bool open();

    // Appends bytes. False once any write has failed; the failure sticks and
    // commit() then discards the temporary file.
    bool write(const void *data, std::size_t size);
    bool write(std::string_view bytes) { return write(bytes.data(), bytes.size()); }

    // Flushes, closes and puts the temporary file in the destination's place.
    // True when the destination now holds exactly the bytes written.
    bool commit();

    // Removes the temporary file; the destination stays as it was. Runs on
    // destruction when commit() was not reached.
    void discard();

    // The system's error code of the first failure, 0 when there was none.
    int error() const { return m_error; }
    // failureReason() of error().
    std::string errorText() const { return m_error == 0 ? std::string() : failureReason(m_error); }

    // The file that commit() replaces (on POSIX systems with symbolic links
    // followed).
    const std::filesystem::path &destination() const { return m_destination; }

private:
    friend bool writeWholeFile(const std::filesystem::path &, std::string_view, Durability);

    // For writeWholeFile(), after the replacement was refused or passed over
    // (a file with several names): rewrites the existing destination in place
    // when the system's rules send it there. False otherwise, or when that
    // write fails.
    bool writeInPlaceInstead(std::string_view bytes);
    bool flush();
    bool writeAll(const char *data, std::size_t size);
    bool fail(int error);
    bool checkDestination();
    void closeTemporary();
    // Closes and removes the temporary file; the existing destination stays
    // open.
    void dropTemporary();
    void closeExisting();

    static constexpr std::intptr_t noHandle = -1;
    // The error of a write or commit without a successful open().
    static const int notOpenError;

    std::filesystem::path m_path;
    std::filesystem::path m_destination;
    std::filesystem::path m_temporary;
    std::vector<char> m_buffer;
    Durability m_durability;
    // The temporary file: a descriptor on POSIX systems, a HANDLE on Windows.
    std::intptr_t m_handle = noHandle;
    // POSIX systems: the existing destination, open for writing and locked.
    std::intptr_t m_existing = noHandle;
    // The existing destination's number of hard links; 0 when there is none.
    std::uint64_t m_existingLinks = 0;
    // The temporary file has no name yet (O_TMPFILE).
    bool m_unnamed = false;
    // The failure came from the folder (the temporary file or its rename was
    // refused), not from the destination itself.
    bool m_refusedByFolder = false;
    int m_error = 0;
};

namespace detail {

// Points in a write where a test can stand in a kill (by ending the
// process in the hook).
enum class FileStep {
    // The temporary file holds every byte; it is not yet in place.
    temporaryWritten,
    // An in-place write has its recovery copy and its space; no byte of the
    // file has changed yet.
    recoveryKept,
    // A write stopped by bytesUntilFull has stored what fitted.
    writeStopped,
};

// Faults a test injects into the file layer. Never set by the program.
struct FileFaults {
    // Bytes that writes of new content (the temporary file, an in-place
    // write) may still store; the write that reaches the limit stores what
    // fits and then fails as on a full disk.
    std::uint64_t bytesUntilFull = UINT64_MAX;
    // Nonzero: reserving space for an in-place write fails with it.
    int reserveError = 0;
    // Nonzero: putting the temporary file in place (rename, ReplaceFileW)
    // fails with it.
    int renameError = 0;
    // Nonzero: creating the temporary file fails with it.
    int temporaryError = 0;
    // POSIX systems: no unnamed temporary files.
    bool noUnnamedTemporary = false;
    // POSIX systems: where programFile() reads the program's path first,
    // instead of /proc/self/exe; and whether it may fall back to AT_EXECFN.
    std::string programLink;
    bool noExecFn = false;
    // Called at each FileStep.
    std::function<void(FileStep)> step;
};

inline FileFaults *fileFaults = nullptr;

inline void reachStep(FileStep step)
{
    if (fileFaults != nullptr && fileFaults->step)
        fileFaults->step(step);
}

// How many of size bytes a write may store before the injected full disk.
inline std::size_t bytesAllowed(std::size_t size)
{
    if (fileFaults == nullptr || fileFaults->bytesUntilFull >= size)
        return size;
    return static_cast<std::size_t>(fileFaults->bytesUntilFull);
}
inline void bytesStored(std::size_t size)
{
    if (fileFaults != nullptr && fileFaults->bytesUntilFull != UINT64_MAX)
        fileFaults->bytesUntilFull -= size;
}

// The recovery copy's header: what the file held before is the rest of the
// copy; the new content is known by its size and hash.
struct RecoveryHeader {
    std::string target;
    std::uint64_t newSize = 0;
    std::uint64_t newHash = 0;
    // Where the previous content starts in the copy.
    std::size_t length = 0;
};
std::uint64_t contentHash(std::string_view bytes);
std::string recoveryHeader(const std::filesystem::path &target, std::string_view newBytes);
bool parseRecoveryHeader(std::string_view copy, RecoveryHeader &header);
// The recovery copy's name for an absolute target path, in folder.
std::filesystem::path recoveryCopyPath(const std::filesystem::path &folder, const std::filesystem::path &target);
// Whether name is "." + stem + "." + six letters or digits.
bool isTemporaryName(std::string_view name, std::string_view stem);
// The absolute path whose recovery copy an in-place write of path keeps
// (POSIX systems: with symbolic links followed, like AtomicFile).
std::filesystem::path recoveryTarget(const std::filesystem::path &path);

// The reasons failureReason() gives in Chinese.
enum class Reason {
    other,
    noPermission,
    readOnlyFile,
    readOnlyFileSystem,
    diskFull,
    quota,
    folderMissing,
    nameTooLong,
    isFolder,
    inUse,
    ioError,
};
// The Chinese text of a reason; empty for Reason::other.
std::string_view reasonText(Reason reason);

} // namespace detail

} // namespace yunque
