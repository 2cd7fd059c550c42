#include "export/byte_sink.h"

#include "common/file_system.h"

#include <utility>

namespace yunque {

bool MemorySink::overflow(const void *data, std::size_t size)
{
    m_bytes.append(static_cast<const char *>(data), size);
    return true;
}

std::string MemorySink::takeBytes()
{
    return std::exchange(m_bytes, std::string());
}

AtomicFileSink::AtomicFileSink(AtomicFile &file)
    : m_file(file)
    , m_buffer(std::make_unique_for_overwrite<char[]>(AtomicFile::bufferSize))
{
    setBuffer(m_buffer.get(), m_buffer.get() + AtomicFile::bufferSize);
}

bool AtomicFileSink::flush()
{
    if (buffered() != 0) {
        if (!m_failed && !m_file.write(bufferBegin(), buffered()))
            m_failed = true;
        emptyBuffer();
    }
    return !m_failed;
}

bool AtomicFileSink::overflow(const void *data, std::size_t size)
{
    if (!flush())
        return false;
    if (size >= AtomicFile::bufferSize) {
        if (!m_file.write(data, size))
            m_failed = true;
        return !m_failed;
    }
    return write(data, size);
}

} // namespace yunque
