#include "app/keyword_edit.h"
#include "app/main_window.h"

#include "keywords/keyword_file.h"

namespace yunque {

void bindKeywordFile(MainWindow &window)
{
    KeywordEdit *box = window.编辑框2;
    // Each handler keeps its own copy of the window's folder and builds the
    // path anew every time it runs. The load's setText raises
    // keywordTextChanged, so the save below runs inside it; the core decides
    // whether that write-back goes to disk.
    QObject::connect(&window, &ConventionalWindow::created, box,
                     [box, folder = window.keywordFolder()] { loadKeywordFile(*box, folder); });
    QObject::connect(box, &KeywordEdit::keywordTextChanged, box,
                     [box, folder = window.keywordFolder()] { saveKeywordFile(*box, folder); });
}

} // namespace yunque
