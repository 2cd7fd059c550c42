// The system-independent part of the file layer: path conversions and the
// buffering of AtomicFile. The system calls are in file_system_posix.cpp and
// file_system_win32.cpp.
#include "common/file_system.h"

#include <utility>

namespace yunque {

std::filesystem::path pathFromUtf8(std::string_view name)
{
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t *>(name.data()), name.size()));
}

std::string utf8FromPath(const std::filesystem::path &path)
{
    const std::u8string name = path.u8string();
    return std::string(reinterpret_cast<const char *>(name.data()), name.size());
}

AtomicFile::AtomicFile(std::filesystem::path path)
    : m_path(std::move(path))
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::write(const void *data, std::size_t size)
{
    if (m_handle == noHandle)
        return fail(notOpenError);
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

} // namespace yunque
