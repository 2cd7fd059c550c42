// The file layer on Windows, with the system's wide-character functions
// only: the C runtime's POSIX emulation garbles non-ASCII names and cannot
// rename over an existing file.
#include "common/file_system.h"
#include "common/file_system_detail.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>

namespace yunque {

const int AtomicFile::notOpenError = ERROR_INVALID_HANDLE;
const int readOnlyFileError = ERROR_FILE_READ_ONLY;
const int fileInUseError = ERROR_SHARING_VIOLATION;
const int detail::unknownError = ERROR_GEN_FAILURE;

namespace {

// Codes not in every SDK: "An operation is not supported on a directory."
// and "Disk quota exceeded.".
constexpr DWORD directoryNotSupportedError = 336;
constexpr DWORD diskQuotaExceededError = 1295;

// The largest piece one ReadFile or WriteFile call is given.
constexpr std::size_t largestPiece = std::size_t{1} << 30;

// Closes a handle on every path out of a function.
class Handle {
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle)
    {
    }
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

// writeFully() of new content, which a test's full disk stops.
bool writeNewContent(HANDLE file, const char *data, std::size_t size)
{
    const std::size_t allowed = detail::bytesAllowed(size);
    if (!writeFully(file, data, allowed))
        return false;
    if (!detail::storedWhole(allowed, size)) {
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

// Reads an open file as a whole from its start, as readWholeFile() does.
FileContent readHandle(HANDLE file)
{
    FileContent content;
    if (::GetFileType(file) != FILE_TYPE_DISK)
        return content;
    LARGE_INTEGER size{};
    LARGE_INTEGER start{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > INT32_MAX
        || !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return content;
    return detail::readSized(static_cast<std::size_t>(size.QuadPart > 0 ? size.QuadPart : 0),
                             [file](char *data, std::size_t count) { return readFully(file, data, count); });
}

// Gives a new write the space of size bytes before any byte of the file
// changes, so that a full disk stops it there; the file's size stays.
bool reserveSpace(HANDLE file, std::size_t size)
{
    if (detail::fileFaults != nullptr && detail::fileFaults->reserveError != 0) {
        ::SetLastError(static_cast<DWORD>(detail::fileFaults->reserveError));
        return false;
    }
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation))
        return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == diskQuotaExceededError)
        return false;
    // Without allocation control: a growing file is made its new size
    // first, which the recovery copy covers.
    LARGE_INTEGER current{};
    if (!::GetFileSizeEx(file, &current))
        return false;
    if (static_cast<std::size_t>(current.QuadPart) >= size)
        return true;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// Puts bytes at the file's start, cuts it there and flushes it to the disk.
bool overwrite(HANDLE file, std::string_view bytes, bool injected)
{
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    const bool written =
        injected ? writeNewContent(file, bytes.data(), bytes.size()) : writeFully(file, bytes.data(), bytes.size());
    return written && ::SetEndOfFile(file) && ::FlushFileBuffers(file);
}

// An open file as an in-place write reaches it.
class InPlaceHandle : public detail::InPlaceFile {
public:
    explicit InPlaceHandle(HANDLE file)
        : m_file(file)
    {
    }

    FileContent read() override { return readHandle(m_file); }
    bool reserve(std::size_t, std::size_t size) override { return reserveSpace(m_file, size); }
    bool overwrite(std::string_view bytes, bool injected) override
    {
        return yunque::overwrite(m_file, bytes, injected);
    }

private:
    HANDLE m_file;
};

// The start of a temporary file's name for a destination name: "." + name +
// "." + six characters must itself be a valid name, so a name near the
// length limit lends only its beginning, never half a surrogate pair.
std::wstring temporaryStem(const std::wstring &name)
{
    constexpr std::size_t nameMax = 255;
    constexpr std::size_t decoration = std::char_traits<wchar_t>::length(L"..XXXXXX");
    std::wstring stem = name.substr(0, nameMax - decoration);
    if (stem.size() < name.size() && !stem.empty() && stem.back() >= 0xD800 && stem.back() <= 0xDBFF)
        stem.pop_back();
    return stem;
}

// Removes the temporary files of a destination that a killed writer left
// behind. A live writer's file is open and shared with no one, so it cannot
// be deleted.
void removeStaleTemporaries(const std::filesystem::path &folder, const std::wstring &stem)
{
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = systemPath(folder / (L"." + stem + L".*"));
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const std::string stemUtf8 = utf8FromPath(stem);
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::filesystem::path name(found.cFileName);
        if (detail::isTemporaryName(utf8FromPath(name), stemUtf8))
            ::DeleteFileW(systemPath(folder / name).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
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
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t *>(&message), 0, nullptr);
    if (length == 0 || message == nullptr)
        return "Windows error " + std::to_string(error);
    std::wstring text(message, length);
    ::LocalFree(message);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

detail::Reason detail::reasonOf(int error)
{
    Reason reason = Reason::other;
    switch (static_cast<DWORD>(error)) {
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        reason = Reason::noPermission;
        break;
    case ERROR_FILE_READ_ONLY:
        reason = Reason::readOnlyFile;
        break;
    case ERROR_WRITE_PROTECT:
        reason = Reason::readOnlyFileSystem;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        reason = Reason::diskFull;
        break;
    case diskQuotaExceededError:
        reason = Reason::quota;
        break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        reason = Reason::folderMissing;
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        reason = Reason::nameTooLong;
        break;
    case directoryNotSupportedError:
        reason = Reason::isFolder;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        reason = Reason::inUse;
        break;
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        reason = Reason::ioError;
        break;
    default:
        break;
    }
    return reason;
}

FileContent readWholeFile(const std::filesystem::path &path)
{
    // Shared with readers only: the open fails while another process has the
    // file open for writing.
    Handle file(::CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        FileContent content;
        content.missing = ::GetLastError() == ERROR_FILE_NOT_FOUND;
        content.exact = content.missing;
        return content;
    }
    return readHandle(file.get());
}

bool AtomicFile::writeInPlaceInstead(std::string_view bytes)
{
    // ReplaceFileW keeps hard links, so only a folder that refuses the
    // temporary file or the replacement sends an existing file in place.
    if (m_existingLinks == 0 || !m_refusedByFolder)
        return false;
    dropTemporary();
    Handle existing(::CreateFileW(systemPath(m_destination).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing.valid() || ::GetFileType(existing.get()) != FILE_TYPE_DISK)
        return false;
    InPlaceHandle file(existing.get());
    return detail::writeInPlace(file, m_destination, bytes);
}

bool createEmptyFile(const std::filesystem::path &path)
{
    if (path.empty())
        return false;
    Handle file(
        ::CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && file.close();
}

int copyToNewFile(const std::filesystem::path &from, const std::filesystem::path &to)
{
    const std::wstring target = systemPath(to);
    if (!::CopyFileW(systemPath(from).c_str(), target.c_str(), TRUE))
        return static_cast<int>(::GetLastError());
    Handle copy(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (copy.valid() && ::FlushFileBuffers(copy.get()) && copy.close())
        return 0;
    const int error = static_cast<int>(::GetLastError());
    copy.close();
    ::DeleteFileW(target.c_str());
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

std::filesystem::path recoveryFolder()
{
    std::wstring folder(MAX_PATH, L'\0');
    DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), static_cast<DWORD>(folder.size()));
    if (length >= folder.size()) {
        folder.resize(length);
        length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), static_cast<DWORD>(folder.size()));
    }
    if (length == 0 || length >= folder.size())
        return {};
    folder.resize(length);
    const std::filesystem::path base(folder);
    if (!base.is_absolute())
        return {};
    return base / L"yunque";
}

namespace detail {

std::filesystem::path followLinks(const std::filesystem::path &path)
{
    return path;
}

void removeFile(const std::filesystem::path &path)
{
    ::DeleteFileW(systemPath(path).c_str());
}

bool createRecoveryFolder(const std::filesystem::path &folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return !error;
}

} // namespace detail

bool AtomicFile::checkDestination()
{
    const std::wstring name = systemPath(m_destination);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || fail(static_cast<int>(error));
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return fail(static_cast<int>(directoryNotSupportedError));
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return fail(ERROR_INVALID_FUNCTION);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return fail(readOnlyFileError);
    // Opened for writing and shared with no one: the check that it is a
    // writable file nobody else has open. Closed again at once, as the
    // replacement needs the file to be open nowhere.
    Handle existing(
        ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing.valid())
        return fail(static_cast<int>(::GetLastError()));
    if (::GetFileType(existing.get()) != FILE_TYPE_DISK)
        return fail(ERROR_INVALID_FUNCTION);
    m_existingLinks = 1;
    return true;
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
    if (!checkDestination())
        return false;

    const std::wstring stem = temporaryStem(name);
    removeStaleTemporaries(m_destination.parent_path(), stem);
    if (detail::fileFaults != nullptr && detail::fileFaults->temporaryError != 0) {
        m_refusedByFolder = true;
        return fail(detail::fileFaults->temporaryError);
    }

    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temporary = m_destination.parent_path() / (L"." + stem + L"." + randomSuffix());
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
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            m_refusedByFolder = error == ERROR_ACCESS_DENIED;
            return fail(static_cast<int>(error));
        }
    }
    return fail(ERROR_FILE_EXISTS);
}

bool AtomicFile::writeAll(const char *data, std::size_t size)
{
    if (!writeNewContent(reinterpret_cast<HANDLE>(m_handle), data, size))
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
    if (m_error == 0 && m_durability == Durability::systemCrash
        && !::FlushFileBuffers(reinterpret_cast<HANDLE>(m_handle)))
        fail(static_cast<int>(::GetLastError()));
    if (m_error == 0)
        detail::reachStep(detail::FileStep::temporaryWritten);
    if (!::CloseHandle(reinterpret_cast<HANDLE>(std::exchange(m_handle, noHandle))))
        fail(static_cast<int>(::GetLastError()));
    if (m_error == 0 && detail::fileFaults != nullptr && detail::fileFaults->renameError != 0) {
        m_refusedByFolder = true;
        fail(detail::fileFaults->renameError);
    }
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
            if (!replaced && error != ERROR_FILE_NOT_FOUND) {
                m_refusedByFolder = error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
                fail(static_cast<int>(error));
            }
            // Not every implementation carries the attributes over; the ones
            // a user sets are put back (the read-only one never got here).
            constexpr DWORD userAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
                                             | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
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
        dropTemporary();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::closeExisting()
{
    // The existing file is not kept open on Windows (see checkDestination).
    m_existing = noHandle;
}

} // namespace yunque
