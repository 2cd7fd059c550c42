// The system-independent part of the file layer: path conversions, the
// buffering of AtomicFile, the recovery copies of in-place writes and the
// failure reasons' texts. The system calls are in file_system_posix.cpp and
// file_system_win32.cpp.
#include "common/file_system.h"
#include "common/file_system_detail.h"

#include <charconv>
#include <new>
#include <system_error>
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

AtomicFile::AtomicFile(std::filesystem::path path, Durability durability)
    : m_path(std::move(path))
    , m_durability(durability)
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

std::string failureReason(int error)
{
    const detail::Reason reason = detail::reasonOf(error);
    if (reason == detail::Reason::other)
        return systemErrorText(error);
    return std::string(detail::reasonText(reason));
}

bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes, Durability durability)
{
    if (path.empty())
        return false;

    AtomicFile replacement(path, durability);
    // A file with several names is written in place: a replacement would
    // leave the other names on the old content. (On Windows ReplaceFileW
    // keeps them, and an existing file counts one name.)
    const bool opened = replacement.open();
    if (opened && replacement.m_existingLinks <= 1) {
        replacement.write(bytes);
        if (replacement.commit()) {
            detail::forgetRecoveryCopy(replacement.destination());
            return true;
        }
    }
    return replacement.writeInPlaceInstead(bytes);
}

bool recoverInterruptedWrite(const std::filesystem::path &path)
{
    const std::filesystem::path folder = recoveryFolder();
    if (folder.empty() || path.empty())
        return false;
    const std::filesystem::path target = detail::recoveryTarget(path);
    const std::filesystem::path copyPath = detail::recoveryCopyPath(folder, target);
    const FileContent copy = readWholeFile(copyPath);
    if (copy.missing || !copy.exact)
        return false;
    detail::RecoveryHeader header;
    if (!detail::parseRecoveryHeader(copy.bytes, header) || header.target != utf8FromPath(target))
        return false;

    std::error_code ignored;
    const FileContent now = readWholeFile(target);
    // Being written by someone else, or unreadable: try again next time.
    if (!now.exact)
        return false;
    // Removed since: there is nothing to repair.
    if (now.missing) {
        std::filesystem::remove(copyPath, ignored);
        return false;
    }
    // The write got to its end; only the copy's removal was missed.
    if (now.bytes.size() == header.newSize && detail::contentHash(now.bytes) == header.newHash) {
        std::filesystem::remove(copyPath, ignored);
        return false;
    }
    // A successful write removes the copy itself.
    return writeWholeFile(target, std::string_view(copy.bytes).substr(header.length));
}

namespace detail {

// FNV-1a, 64 bits: enough to tell the new content from a mixture.
std::uint64_t contentHash(std::string_view bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

namespace {

constexpr std::string_view recoveryMagic = "yunque recovery 1\n";

bool takeNumber(std::string_view &rest, char end, std::uint64_t &value)
{
    const auto [next, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || next == rest.data() + rest.size() || *next != end)
        return false;
    rest.remove_prefix(static_cast<std::size_t>(next - rest.data()) + 1);
    return true;
}

} // namespace

// "yunque recovery 1\n", the target's name in UTF-8 and "\n", the new
// content's size and hash and "\n"; the previous content follows.
std::string recoveryHeader(const std::filesystem::path &target, std::string_view newBytes)
{
    std::string header(recoveryMagic);
    header += utf8FromPath(target);
    header += '\n';
    header += std::to_string(newBytes.size());
    header += ' ';
    header += std::to_string(contentHash(newBytes));
    header += '\n';
    return header;
}

bool parseRecoveryHeader(std::string_view copy, RecoveryHeader &header)
{
    if (!copy.starts_with(recoveryMagic))
        return false;
    std::string_view rest = copy.substr(recoveryMagic.size());
    const std::size_t nameEnd = rest.find('\n');
    if (nameEnd == std::string_view::npos)
        return false;
    header.target = std::string(rest.substr(0, nameEnd));
    rest.remove_prefix(nameEnd + 1);
    if (!takeNumber(rest, ' ', header.newSize) || !takeNumber(rest, '\n', header.newHash))
        return false;
    header.length = copy.size() - rest.size();
    return true;
}

std::filesystem::path recoveryCopyPath(const std::filesystem::path &folder, const std::filesystem::path &target)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::uint64_t hash = contentHash(utf8FromPath(target));
    std::string name(16, '0');
    for (auto c = name.rbegin(); c != name.rend(); ++c, hash >>= 4)
        *c = digits[hash & 0xF];
    return folder / (name + ".recovery");
}

bool isTemporaryName(std::string_view name, std::string_view stem)
{
    constexpr std::size_t suffix = 6;
    if (name.size() != stem.size() + 2 + suffix || name[0] != '.' || name.substr(1, stem.size()) != stem
        || name[1 + stem.size()] != '.')
        return false;
    for (const char c : name.substr(2 + stem.size())) {
        const bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alphanumeric)
            return false;
    }
    return true;
}

std::filesystem::path recoveryTarget(const std::filesystem::path &path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(followLinks(path), error);
    return error ? path : absolute;
}

FileContent readSized(std::size_t size, const std::function<std::int64_t(char *, std::size_t)> &readFully)
{
    FileContent content;
    try {
        content.bytes.resize(size);
    } catch (const std::bad_alloc &) {
        content.bytes = ByteData();
        return content;
    }
    const std::int64_t got = readFully(content.bytes.data(), size);
    if (got < 0) {
        content.bytes = ByteData();
        return content;
    }
    content.bytes.resize(static_cast<std::size_t>(got));
    if (static_cast<std::size_t>(got) < size)
        return content;

    // The size was taken before reading: a file that has grown since, or
    // whose size understates its content, is not what was read.
    char probe = 0;
    const std::int64_t more = readFully(&probe, 1);
    if (more < 0) {
        content.bytes = ByteData();
        return content;
    }
    content.exact = more == 0;
    return content;
}

bool writeInPlace(InPlaceFile &file, const std::filesystem::path &target, std::string_view bytes)
{
    const std::filesystem::path folder = recoveryFolder();
    if (folder.empty() || !createRecoveryFolder(folder))
        return false;
    const FileContent current = file.read();
    if (!current.exact)
        return false;

    // The previous content is the file's, unless a copy is still there from
    // a write that was cut short and the file is not that write's result:
    // then the file is a mixture and the copy's previous content is the one
    // to keep.
    const std::filesystem::path absolute = recoveryTarget(target);
    const std::filesystem::path copyPath = recoveryCopyPath(folder, absolute);
    std::string_view previous = current.bytes;
    const FileContent leftover = readWholeFile(copyPath);
    RecoveryHeader header;
    bool leftoverKept = false;
    if (leftover.exact && !leftover.missing && parseRecoveryHeader(leftover.bytes, header)
        && header.target == utf8FromPath(absolute)
        && !(current.bytes.size() == header.newSize && contentHash(current.bytes) == header.newHash)) {
        previous = std::string_view(leftover.bytes).substr(header.length);
        leftoverKept = true;
    }

    // Injected faults stand for the file's own disk, not the cache's.
    FileFaults *const faults = std::exchange(fileFaults, nullptr);
    AtomicFile copy(copyPath, Durability::systemCrash);
    const bool kept =
        copy.open() && copy.write(recoveryHeader(absolute, bytes)) && copy.write(previous) && copy.commit();
    fileFaults = faults;
    if (!kept)
        return false;

    if (!file.reserve(current.bytes.size(), bytes.size())) {
        if (!leftoverKept)
            removeFile(copyPath);
        return false;
    }
    reachStep(FileStep::recoveryKept);
    if (file.overwrite(bytes, true)) {
        removeFile(copyPath);
        return true;
    }
    // Back to the previous content, whose space the file had; the copy goes
    // only once that is on the disk.
    if (file.overwrite(previous, false))
        removeFile(copyPath);
    return false;
}

void forgetRecoveryCopy(const std::filesystem::path &destination)
{
    const std::filesystem::path folder = recoveryFolder();
    if (!folder.empty())
        removeFile(recoveryCopyPath(folder, recoveryTarget(destination)));
}

std::string_view reasonText(Reason reason)
{
    switch (reason) {
    case Reason::noPermission:
        return "没有权限";
    case Reason::readOnlyFile:
        return "文件是只读的";
    case Reason::readOnlyFileSystem:
        return "文件系统是只读的";
    case Reason::diskFull:
        return "磁盘空间不足";
    case Reason::quota:
        return "超出了磁盘配额";
    case Reason::folderMissing:
        return "文件夹不存在";
    case Reason::nameTooLong:
        return "文件名太长";
    case Reason::isFolder:
        return "这是一个文件夹";
    case Reason::inUse:
        return "文件正被其他程序使用";
    case Reason::ioError:
        return "输入/输出错误";
    case Reason::other:
        break;
    }
    return {};
}

} // namespace detail

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

bool AtomicFile::fail(int error)
{
    if (m_error == 0)
        m_error = error != 0 ? error : detail::unknownError;
    return false;
}

void AtomicFile::dropTemporary()
{
    closeTemporary();
    if (!m_temporary.empty()) {
        detail::removeFile(m_temporary);
        m_temporary.clear();
    }
    m_buffer.clear();
}

void AtomicFile::discard()
{
    dropTemporary();
    closeExisting();
}

} // namespace yunque
