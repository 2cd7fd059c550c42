#pragma once

// Between the portable part of the file layer (file_system.cpp) and the
// system's part (file_system_posix.cpp or file_system_win32.cpp): what each
// side gives the other. Used by those files only.

#include "common/file_system.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

namespace yunque::detail {

// Given by the system's part.

// The code a failure without a system code of its own is given (EIO;
// ERROR_GEN_FAILURE on Windows).
extern const int unknownError;

// Removes the file of that name; quietly when it cannot.
void removeFile(const std::filesystem::path &path);

// Creates the recovery folder and the folders above it that are missing; on
// POSIX systems a folder created here is its user's alone. False when the
// folder cannot be made.
bool createRecoveryFolder(const std::filesystem::path &folder);

// The file a path finally names: on POSIX systems with symbolic links
// followed (the target need not exist), on Windows the path itself.
std::filesystem::path followLinks(const std::filesystem::path &path);

// Which of the Chinese reasons a system error code has; Reason::other for
// the rest.
Reason reasonOf(int error);

// Given by the portable part.

// Reads size bytes, the size the system gave for an open file, through
// readFully (up to the count asked, until end of file; the count read or -1
// on a read error), as readWholeFile() does: exact only when the file held
// exactly size bytes.
FileContent readSized(std::size_t size, const std::function<std::int64_t(char *, std::size_t)> &readFully);

// Counts allowed of size bytes of new content as stored. False, after the
// step that tells so, when a test's full disk stopped the write short.
inline bool storedWhole(std::size_t allowed, std::size_t size)
{
    bytesStored(allowed);
    if (allowed < size) {
        reachStep(FileStep::writeStopped);
        return false;
    }
    return true;
}

// A file held open for writing, as an in-place write reaches it.
class InPlaceFile {
public:
    virtual ~InPlaceFile() = default;
    // The file's content as it is now.
    virtual FileContent read() = 0;
    // Gives a write of size bytes its space before any byte of the file
    // changes, so that a full disk stops it there; the file holds
    // currentSize bytes.
    virtual bool reserve(std::size_t currentSize, std::size_t size) = 0;
    // Puts bytes at the file's start, cuts it there and flushes it to the
    // disk. injected: the bytes are new content, which a test's full disk
    // stops.
    virtual bool overwrite(std::string_view bytes, bool injected) = 0;
};

// Rewrites the file target in place with bytes. The previous content goes
// first into a recovery copy on the disk; then the space is reserved, the
// bytes are written and flushed, and the copy is removed. A failure part-way
// puts the previous content back; a kill leaves the copy for
// recoverInterruptedWrite(). Refused (nothing changed) without a recovery
// folder or when the file cannot be read.
bool writeInPlace(InPlaceFile &file, const std::filesystem::path &target, std::string_view bytes);

// Removes the recovery copy of a file that has just been written whole: it
// would otherwise put older content back at the next start.
void forgetRecoveryCopy(const std::filesystem::path &destination);

} // namespace yunque::detail
