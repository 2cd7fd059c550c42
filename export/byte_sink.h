#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

namespace yunque {

class AtomicFile;

// Where the worksheet writer puts its bytes: a file being saved, or memory.
//
// A sink may offer a buffer (setBuffer); write() then copies small runs into
// it inline and calls overflow() only when the buffer is full. A sink
// without a buffer gets every run through overflow().
class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Appends size bytes. False once the sink cannot take them; a sink that
    // failed stays failed.
    bool write(const void *data, std::size_t size)
    {
        if (size <= static_cast<std::size_t>(m_end - m_next)) {
            if (size != 0)
                std::memcpy(m_next, data, size);
            m_next += size;
            return true;
        }
        return overflow(data, size);
    }

protected:
    // Takes the buffered bytes and then the given run (which did not fit).
    virtual bool overflow(const void *data, std::size_t size) = 0;

    void setBuffer(char *begin, char *end)
    {
        m_begin = m_next = begin;
        m_end = end;
    }
    const char *bufferBegin() const { return m_begin; }
    std::size_t buffered() const { return static_cast<std::size_t>(m_next - m_begin); }
    void emptyBuffer() { m_next = m_begin; }

private:
    char *m_begin = nullptr;
    char *m_next = nullptr;
    char *m_end = nullptr;
};

// Collects the bytes in a string.
class MemorySink final : public ByteSink {
public:
    const std::string &bytes() const { return m_bytes; }
    std::string takeBytes();

protected:
    bool overflow(const void *data, std::size_t size) override;

private:
    std::string m_bytes;
};

// Feeds an AtomicFile through a buffer of its own, the size of the file's:
// every full buffer then reaches the file without being copied again. The
// file must be open and outlive the sink; flush() before the file's commit().
class AtomicFileSink final : public ByteSink {
public:
    explicit AtomicFileSink(AtomicFile &file);

    AtomicFileSink(const AtomicFileSink &) = delete;
    AtomicFileSink &operator=(const AtomicFileSink &) = delete;

    // Hands the buffered bytes to the file. False once any write failed.
    bool flush();

protected:
    bool overflow(const void *data, std::size_t size) override;

private:
    AtomicFile &m_file;
    bool m_failed = false;
    std::unique_ptr<char[]> m_buffer;
};

} // namespace yunque
