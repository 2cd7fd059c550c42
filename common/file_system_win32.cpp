// The file layer on Windows, with the system's wide-character functions
// only: the C runtime's POSIX emulation garbles non-ASCII names and cannot
// rename over an existing file.
#include "common/file_system.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <utility>

namespace yunque {

const int AtomicFile::notOpenError = ERROR_INVALID_HANDLE;

namespace {

// The largest piece one ReadFile or WriteFile call is given.
constexpr std::size_t largestPiece = std::size_t{1} << 30;

// Closes a handle on every path out of a function.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (valid())
            ::CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    // Closes now and tells whether the close succeeded.
    bool close() { return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) != 0; }

private:
    HANDLE m_handle;
};

// The name to hand the system. A path near MAX_PATH characters or longer
// reaches it only with the \\?\ prefix, which also turns off the system's
// own name parsing, so such a path is made absolute and normal first.
std::wstring systemPath(const std::filesystem::path &path)
{
    constexpr std::size_t shortLimit = MAX_PATH - 12; // folders stop at 248
    const std::wstring &name = path.native();
    if (name.size() < shortLimit || name.starts_with(L"\\\\?\\"))
        return name;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error)
        return name;
    const std::wstring normal = full.lexically_normal().make_preferred().native();
    if (normal.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + normal.substr(2);
    return L"\\\\?\\" + normal;
}

// Reads up to size bytes into data until end of file. The count read, or -1
// on a read error.
std::int64_t readFully(HANDLE file, char *data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        DWORD got = 0;
        const auto piece = static_cast<DWORD>(std::min(size - done, largestPiece));
        if (!::ReadFile(file, data + done, piece, &got, nullptr))
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

bool writeFully(HANDLE file, const char *data, std::size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        const auto piece = static_cast<DWORD>(std::min(size, largestPiece));
        if (!::WriteFile(file, data, piece, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Rewrites an open file from its start and cuts it to the new length. Used
// only when the folder cannot take a temporary file, so it is not atomic.
bool writeInPlace(Handle &file, std::string_view bytes)
{
    LARGE_INTEGER start {};
    if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN))
        return false;
    if (!writeFully(file.get(), bytes.data(), bytes.size()) || !::SetEndOfFile(file.get()))
        return false;
    return file.close();
}

// Six characters that make a temporary name unique in its folder.
std::wstring randomSuffix()
{
    static constexpr wchar_t characters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random(std::random_device{}() ^ ::GetTickCount64() ^ ::GetCurrentProcessId());
    std::wstring suffix(6, L'x');
    for (wchar_t &c : suffix)
        c = characters[random() % (std::size(characters) - 1)];
    return suffix;
}

} // namespace

std::filesystem::path programFile()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        // A name that filled the buffer may have been cut.
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= 0x8000)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string systemErrorText(int error)
{
    wchar_t *message = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t *>(&message), 0, nullptr);
    if (length == 0 || message == nullptr)
        return "Windows error " + std::to_string(error);
    std::wstring text(message, length);
    ::LocalFree(message);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                          nullptr);
    return utf8;
}

FileContent readWholeFile(const std::filesystem::path &path)
{
    FileContent content;
    // Shared with readers only: the open fails while another process has the
    // file open for writing.
    Handle file(::CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        content.exact = ::GetLastError() == ERROR_FILE_NOT_FOUND;
        return content;
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return content;
    LARGE_INTEGER size {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > INT32_MAX)
        return content;

    const auto bytes = static_cast<std::size_t>(size.QuadPart > 0 ? size.QuadPart : 0);
    try {
        content.bytes.resize(bytes);
    } catch (const std::bad_alloc &) {
        content.bytes = ByteData();
        return content;
    }
    const std::int64_t got = readFully(file.get(), content.bytes.data(), bytes);
    if (got < 0) {
        content.bytes = ByteData();
        return content;
    }
    content.bytes.resize(static_cast<std::size_t>(got));
    if (static_cast<std::size_t>(got) < bytes)
        return content;

    // A file that has grown since its size was taken is not what was read.
    char probe = 0;
    const std::int64_t more = readFully(file.get(), &probe, 1);
    if (more < 0) {
        content.bytes = ByteData();
        return content;
    }
    content.exact = more == 0;
    return content;
}

bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes)
{
    if (path.empty())
        return false;
    const std::wstring name = systemPath(path);

    // An existing file is opened for writing and shared with no one: that is
    // the check that it is a writable file nobody else has open, and the way
    // in when the folder refuses a temporary file.
    std::optional<Handle> existing;
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (::GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
    } else {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY))
            return false;
        existing.emplace(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!existing->valid() || ::GetFileType(existing->get()) != FILE_TYPE_DISK)
            return false;
    }

    AtomicFile replacement(path);
    if (replacement.open()) {
        // The replacement needs the file to be open nowhere, ours included.
        existing.reset();
        replacement.write(bytes);
        return replacement.commit();
    }
    if (existing && replacement.error() == ERROR_ACCESS_DENIED)
        return writeInPlace(*existing, bytes);
    return false;
}

bool AtomicFile::fail(int error)
{
    if (m_error == 0)
        m_error = error != 0 ? error : ERROR_GEN_FAILURE;
    return false;
}

bool AtomicFile::open()
{
    if (m_handle != noHandle || m_error != 0)
        return m_handle != noHandle;
    if (m_path.empty())
        return fail(ERROR_PATH_NOT_FOUND);

    m_destination = m_path;
    const std::wstring name = m_destination.filename().native();
    if (name.empty())
        return fail(ERROR_INVALID_NAME);

    // "." + name + ".XXXXXX" must itself be a valid name: a destination name
    // near the length limit lends only its beginning, never half a
    // surrogate pair, to the temporary one.
    constexpr std::size_t nameMax = 255;
    constexpr std::size_t decoration = std::char_traits<wchar_t>::length(L"..XXXXXX");
    std::wstring stem = name.substr(0, nameMax - decoration);
    if (stem.size() < name.size() && !stem.empty() && stem.back() >= 0xD800 && stem.back() <= 0xDBFF)
        stem.pop_back();

    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temporary =
            m_destination.parent_path() / (L"." + stem + L"." + randomSuffix());
        // Shared with no one until it is closed.
        const HANDLE file = ::CreateFileW(systemPath(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_handle = reinterpret_cast<std::intptr_t>(file);
            m_temporary = temporary;
            m_buffer.reserve(bufferSize);
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return fail(static_cast<int>(error));
    }
    return fail(ERROR_FILE_EXISTS);
}

bool AtomicFile::writeAll(const char *data, std::size_t size)
{
    if (!writeFully(reinterpret_cast<HANDLE>(m_handle), data, size))
        return fail(static_cast<int>(::GetLastError()));
    return true;
}

void AtomicFile::closeTemporary()
{
    if (m_handle != noHandle)
        ::CloseHandle(reinterpret_cast<HANDLE>(std::exchange(m_handle, noHandle)));
}

bool AtomicFile::commit()
{
    if (m_handle == noHandle) {
        fail(ERROR_INVALID_HANDLE);
        discard();
        return false;
    }
    if (m_error == 0)
        flush();
    if (!::CloseHandle(reinterpret_cast<HANDLE>(std::exchange(m_handle, noHandle))))
        fail(static_cast<int>(::GetLastError()));
    if (m_error == 0) {
        const std::wstring target = systemPath(m_destination);
        const std::wstring temporary = systemPath(m_temporary);
        bool replaced = false;
        // ReplaceFileW keeps the existing file's attributes, security and
        // identity; it needs a file to replace.
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            replaced = ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                      nullptr, nullptr);
            const DWORD error = ::GetLastError();
            // Gone in the meantime: moved into place below like a new file.
            if (!replaced && error != ERROR_FILE_NOT_FOUND)
                fail(static_cast<int>(error));
            // Not every implementation carries the attributes over; the ones
            // a user sets are put back (the read-only one never got here).
            constexpr DWORD userAttributes =
                FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
            if (replaced) {
                const DWORD now = ::GetFileAttributesW(target.c_str());
                if (now != INVALID_FILE_ATTRIBUTES && (now & userAttributes) != (attributes & userAttributes))
                    ::SetFileAttributesW(target.c_str(), (now & ~userAttributes) | (attributes & userAttributes));
            }
        }
        if (!replaced && m_error == 0
            && !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            fail(static_cast<int>(::GetLastError()));
    }
    if (m_error != 0) {
        discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::discard()
{
    closeTemporary();
    if (!m_temporary.empty()) {
        ::DeleteFileW(systemPath(m_temporary).c_str());
        m_temporary.clear();
    }
    m_buffer.clear();
}

} // namespace yunque
