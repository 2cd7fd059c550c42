#include "keywords/keyword_file.h"

#include "common/gbk_text.h"
#include "common/run_directory.h"
#include "keywords/whole_file.h"

namespace yunque {
namespace {

// The load whose setText is running right now, if any. The save that the box
// raises from inside that setText consults it to decide whether writing the
// text back would keep the file's bytes.
struct LoadInProgress {
    const std::string &path;
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

std::string keywordFilePath(const std::string &folder)
{
    return joinTexts({folder, "/", keywordFileName});
}

std::string keywordFilePath()
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

void loadKeywordFile(TextBox &box, const std::string &folder)
{
    const std::string path = keywordFilePath(folder);
    const FileContent file = readWholeFile(path);
    const LoadInProgress load{path, file};
    const LoadScope scope(load);
    box.setText(textFromBytes(file.bytes));
}

void saveKeywordFile(TextBox &box, const std::string &folder)
{
    const std::string path = keywordFilePath(folder);
    const ByteData bytes = bytesFromText(box.text());
    // The write-back of a load may only rewrite the file with what it held.
    if (currentLoad != nullptr && currentLoad->path == path
        && (!currentLoad->file.exact || bytes != currentLoad->file.bytes))
        return;
    writeWholeFile(path, bytes);
}

} // namespace yunque
