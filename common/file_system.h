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
#include <string>
#include <string_view>
#include <vector>

namespace yunque {

// A path from a name in UTF-8, on every system.
std::filesystem::path pathFromUtf8(std::string_view name);
// The path's name in UTF-8, on every system.
std::string utf8FromPath(const std::filesystem::path &path);

// The running program file's full path, from the system's own record of it
// (not the command line, not the current directory); empty when the system
// will not tell.
std::filesystem::path programFile();

// The system's description of an error code, in UTF-8, in the system's
// language.
std::string systemErrorText(int error);

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
};

// Reads a file as a whole. Others may read the file meanwhile but not write
// it: a file that another process is writing (on POSIX systems: holds under
// an exclusive advisory lock, as our own writes do; on Windows: has open for
// writing) is not read. A size of 2 GiB or more gives empty bytes without
// reading. A read that stops early keeps the bytes that arrived. Nothing is
// reported.
FileContent readWholeFile(const std::filesystem::path &path);

// Replaces a file's whole content with bytes, through an AtomicFile, so the
// file is either the old one or the new one, whole. Refused, leaving the file
// as it was: a read-only file (all write permission bits off, even for root;
// the read-only attribute on Windows), a file another process is writing
// (exclusive advisory lock; open elsewhere on Windows), a file that cannot be
// opened for writing, anything that is not a regular file. When the folder
// refuses the temporary file but the file itself can be written, the file is
// rewritten in place. True when the file now holds exactly bytes; false
// otherwise, quietly.
bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes);

// Replaces a file as a whole. The bytes go, through a buffer, into a
// temporary file in the destination's folder, which commit() puts in the
// destination's place. Until then the destination is untouched, so a crash
// of the program, a full disk or a failed write leaves the old file (or none)
// and never a partial one; several writers of one name never mix their
// bytes, the last one to commit wins. The temporary file is shared with no
// other writer while it is open.
//
// POSIX systems: the destination is the final target when the path is a
// symbolic link, so the link stays a link. An existing destination's
// permission bits (and, when allowed, owner and group) carry over to the new
// file; a new file gets 0666 less the umask.
// Windows: an existing destination is replaced with ReplaceFileW, which keeps
// its attributes, security and hard-link identity; a new one is moved into
// place with write-through.
class AtomicFile {
public:
    // Writes of at least this many bytes go to the file uncopied; smaller
    // ones are gathered into a buffer of this size first.
    static constexpr std::size_t bufferSize = 256 * 1024;

    explicit AtomicFile(std::filesystem::path path);
    ~AtomicFile();

    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file. False when it cannot be created; error()
    // then tells why. An empty path always fails.
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
    // The system's description of error().
    std::string errorText() const { return m_error == 0 ? std::string() : systemErrorText(m_error); }

    // The file that commit() replaces (on POSIX systems with symbolic links
    // followed).
    const std::filesystem::path &destination() const { return m_destination; }

private:
    bool flush();
    bool writeAll(const char *data, std::size_t size);
    bool fail(int error);
    void closeTemporary();

    static constexpr std::intptr_t noHandle = -1;
    // The error of a write or commit without a successful open().
    static const int notOpenError;

    std::filesystem::path m_path;
    std::filesystem::path m_destination;
    std::filesystem::path m_temporary;
    std::vector<char> m_buffer;
    // The temporary file: a descriptor on POSIX systems, a HANDLE on Windows.
    std::intptr_t m_handle = noHandle;
    int m_error = 0;
};

} // namespace yunque
