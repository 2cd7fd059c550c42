#pragma once

#include <cstddef>
#include <string>

namespace yunque {

class AtomicFile;

// Where the worksheet writer puts its bytes: a file being saved, or memory.
class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Appends size bytes. False once the sink cannot take them; a sink that
    // failed stays failed.
    virtual bool write(const void *data, std::size_t size) = 0;
};

// Collects the bytes in a string.
class MemorySink final : public ByteSink {
public:
    bool write(const void *data, std::size_t size) override;

    const std::string &bytes() const { return m_bytes; }
    std::string takeBytes();

private:
    std::string m_bytes;
};

// Feeds an AtomicFile, which buffers the bytes and replaces its destination
// on commit. The file must be open and outlive the sink.
class AtomicFileSink final : public ByteSink {
public:
    explicit AtomicFileSink(AtomicFile &file) : m_file(file) {}

    bool write(const void *data, std::size_t size) override;

private:
    AtomicFile &m_file;
};

} // namespace yunque
