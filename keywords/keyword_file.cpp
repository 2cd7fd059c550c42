#include "keywords/keyword_file.h"

#include "common/file_system.h"
#include "common/gbk_text.h"

#include <ctime>
#include <set>
#include <string>
#include <system_error>

namespace yunque {
namespace {

// The load whose setText is running right now, if any. The save that the box
// raises from inside that setText consults it to decide whether writing the
// text back would keep the file's bytes.
struct LoadInProgress {
    const TextBox &box;
    const std::filesystem::path &path;
    const FileContent &file;
};

thread_local const LoadInProgress *currentLoad = nullptr;

// Marks a load as running for the lifetime of the object, also when setText
// throws.
class LoadScope {
public:
    explicit LoadScope(const LoadInProgress &load)
        : m_previous(currentLoad)
    {
        currentLoad = &load;
    }
    ~LoadScope() { currentLoad = m_previous; }
    LoadScope(const LoadScope &) = delete;
    LoadScope &operator=(const LoadScope &) = delete;

private:
    const LoadInProgress *m_previous;
};

// Keyword files whose last load did not show exactly their bytes (cut at a
// NUL, unreadable, too large, bytes the box changed). The first save after
// such a load would replace bytes the user never saw, so they are kept
// first.
std::set<std::filesystem::path> &lossyLoads()
{
    static std::set<std::filesystem::path> paths;
    return paths;
}

// Copies the keyword file, as it is, to a new file beside it whose name says
// what it is and when it was kept: "评论关键词 (原文件 2026-12-11 163000).txt",
// with " 2", " 3", ... before the ")" when that name is taken. An existing
// file is never replaced. True when the copy is made, or when there is no
// file any more to keep.
bool keepOriginal(const std::filesystem::path &path)
{
    std::error_code error;
    if (std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::not_found)
        return true;
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    if (const std::tm *local = std::localtime(&now))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H%M%S", local);
    const std::filesystem::path name = pathFromUtf8(keywordFileName);
    const std::string stem = utf8FromPath(name.stem());
    const std::string extension = utf8FromPath(name.extension());
    for (int number = 1; number < 1000; ++number) {
        const std::string suffix = number == 1 ? std::string() : " " + std::to_string(number);
        const std::filesystem::path copy =
            path.parent_path() / pathFromUtf8(stem + " (原文件 " + stamp + suffix + ")" + extension);
        if (std::filesystem::exists(std::filesystem::symlink_status(copy, error)))
            continue;
        if (copyToNewFile(path, copy) == 0)
            return true;
        // Taken in the meantime: try the next name; otherwise the file
        // cannot be copied (unreadable, in use, no room).
        if (!std::filesystem::exists(std::filesystem::symlink_status(copy, error)))
            return false;
    }
    return false;
}

} // namespace

std::filesystem::path keywordFilePath(const std::filesystem::path &folder)
{
    if (folder.empty())
        return {};
    return folder / pathFromUtf8(keywordFileName);
}

void loadKeywordFile(TextBox &box, const std::filesystem::path &folder)
{
    const std::filesystem::path path = keywordFilePath(folder);
    // An in-place write that a kill cut short is undone before the file is
    // read.
    if (!path.empty()) {
        recoverInterruptedWrite(path);
        lossyLoads().erase(path);
    }
    // Without a file the text is empty and the write-back has nothing to
    // keep: it is skipped like that of a file that could not be read.
    const FileContent file = path.empty() ? FileContent() : readWholeFile(path);
    const LoadInProgress load{box, path, file};
    const LoadScope scope(load);
    box.setText(textFromBytes(file.bytes));
}

void saveKeywordFile(TextBox &box, const std::filesystem::path &folder)
{
    const std::filesystem::path path = keywordFilePath(folder);
    if (path.empty())
        return;
    const ByteData bytes = bytesFromText(box.text());
    // The write-back of a load only creates a missing file. Writing back
    // what the file holds would gain nothing, and would undo what another
    // instance wrote since the read.
    if (currentLoad != nullptr && &currentLoad->box == &box && currentLoad->path == path) {
        const FileContent &file = currentLoad->file;
        if (file.missing && bytes.empty())
            createEmptyFile(path);
        else if (!file.exact || bytes != file.bytes)
            lossyLoads().insert(path);
        return;
    }
    // The first save after a lossy load keeps the file's own bytes first;
    // when they cannot be kept the file is left alone.
    const auto lossy = lossyLoads().find(path);
    if (lossy != lossyLoads().end()) {
        if (!keepOriginal(path))
            return;
        lossyLoads().erase(lossy);
    }
    // Not flushed to the disk: that would cost every keystroke several
    // times the write itself. A crash of the program still leaves the old
    // text or the new one, whole.
    writeWholeFile(path, bytes);
}

} // namespace yunque
