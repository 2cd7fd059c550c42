#include "keywords/keyword_file.h"

#include "common/file_system.h"
#include "common/gbk_text.h"
#include "common/run_directory.h"

namespace yunque {
namespace {

// The load whose setText is running right now, if any. The save that the box
// raises from inside that setText consults it to decide whether writing the
// text back would keep the file's bytes.
struct LoadInProgress {
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

} // namespace

std::filesystem::path keywordFilePath(const std::filesystem::path &folder)
{
    if (folder.empty())
        return {};
    return folder / pathFromUtf8(keywordFileName);
}

std::filesystem::path keywordFilePath()
{
    return keywordFilePath(runDirectory());
}

void loadKeywordFile(TextBox &box)
{
    loadKeywordFile(box, runDirectory());
}

void saveKeywordFile(TextBox &box)
{
    saveKeywordFile(box, runDirectory());
}

void loadKeywordFile(TextBox &box, const std::filesystem::path &folder)
{
    const std::filesystem::path path = keywordFilePath(folder);
    // Without a file the text is empty and the write-back has nothing to
    // keep: it is skipped like that of a file that could not be read.
    const FileContent file = path.empty() ? FileContent() : readWholeFile(path);
    const LoadInProgress load{path, file};
    const LoadScope scope(load);
    box.setText(textFromBytes(file.bytes));
}

void saveKeywordFile(TextBox &box, const std::filesystem::path &folder)
{
    const std::filesystem::path path = keywordFilePath(folder);
    if (path.empty())
        return;
    const ByteData bytes = bytesFromText(box.text());
    // The write-back of a load may only rewrite the file with what it held.
    if (currentLoad != nullptr && currentLoad->path == path
        && (!currentLoad->file.exact || bytes != currentLoad->file.bytes))
        return;
    writeWholeFile(path, bytes);
}

} // namespace yunque
