#include "export/byte_sink.h"

#include "common/atomic_file.h"

#include <utility>

namespace yunque {

bool MemorySink::write(const void *data, std::size_t size)
{
    m_bytes.append(static_cast<const char *>(data), size);
    return true;
}

std::string MemorySink::takeBytes()
{
    return std::exchange(m_bytes, std::string());
}

bool AtomicFileSink::write(const void *data, std::size_t size)
{
    return m_file.write(data, size);
}

} // namespace yunque
