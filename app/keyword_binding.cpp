#include "app/keyword_edit.h"
#include "app/main_window.h"

#include "common/run_directory.h"
#include "keywords/keyword_file.h"

#include <utility>

namespace yunque {
namespace {

std::optional<std::filesystem::path> &folderOverride()
{
    static std::optional<std::filesystem::path> folder;
    return folder;
}

// Asked anew each time a handler runs, as the path is built anew.
std::filesystem::path keywordFolder()
{
    const std::optional<std::filesystem::path> &folder = folderOverride();
    return folder ? *folder : runDirectory();
}

} // namespace

void setKeywordFolder(std::optional<std::filesystem::path> folder)
{
    folderOverride() = std::move(folder);
}

void bindKeywordFile(MainWindow &window)
{
    KeywordEdit *box = window.编辑框2;
    // The load's setText raises keywordTextChanged, so the save below runs
    // inside it; the core decides whether that write-back goes to disk.
    QObject::connect(&window, &ConventionalWindow::created, box, [box] { loadKeywordFile(*box, keywordFolder()); });
    QObject::connect(box, &KeywordEdit::keywordTextChanged, box, [box] { saveKeywordFile(*box, keywordFolder()); });
}

} // namespace yunque
