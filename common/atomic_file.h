#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace yunque {

// Replaces a file as a whole. The bytes go, through a buffer, into a
// temporary file in the destination's folder, which commit() renames over
// the destination. Until then the destination is untouched, so a crash, a
// full disk or a failed write leaves the old file (or none) and never a
// partial one; several writers of one name never mix their bytes, the last
// one to commit wins.
//
// The destination is the final target when the path is a symbolic link, so
// the link stays a link. An existing destination's permission bits (and, when
// allowed, owner and group) carry over to the new file; a new file gets
// 0666 less the umask, like any newly created file. The temporary file holds
// an exclusive advisory lock from its creation until it is closed.
class AtomicFile {
public:
    // Writes of at least this many bytes go to the file uncopied; smaller
    // ones are gathered into a buffer of this size first.
    static constexpr std::size_t bufferSize = 256 * 1024;

    explicit AtomicFile(std::string path);
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

    // Flushes, closes and renames the temporary file over the destination.
    // True when the destination now holds exactly the bytes written.
    bool commit();

    // Removes the temporary file; the destination stays as it was. Runs on
    // destruction when commit() was not reached.
    void discard();

    // The errno value of the first failure, 0 when there was none.
    int error() const { return m_error; }
    // The system's description of error().
    std::string errorText() const;

    // The file that commit() replaces: the path with symbolic links followed.
    const std::string &destination() const { return m_destination; }

private:
    bool flush();
    bool writeAll(const char *data, std::size_t size);
    bool fail(int error);
    void closeTemporary();

    std::string m_path;
    std::string m_destination;
    std::string m_temporary;
    std::vector<char> m_buffer;
    int m_fd = -1;
    int m_error = 0;
};

// Follows symbolic links from path to the file they finally name, which need
// not exist. A path that is no link comes back unchanged.
std::string resolveLinks(const std::string &path);

} // namespace yunque
