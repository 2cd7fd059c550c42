#include "app/win32/main_window.h"

#include "app/win32/list_view_adapter.h"
#include "app/win32/save_dialog_adapter.h"
#include "app/win32/wide_text.h"
#include "common/run_directory.h"
#include "export/export_grid.h"
#include "keywords/keyword_file.h"

#include <commctrl.h>

#include <iterator>
#include <memory>
#include <string>
#include <utility>

namespace yunque {
namespace {

void addResultColumns(HWND list, int dpi)
{
    for (std::size_t index = 0; index < std::size(resultListColumns); ++index) {
        const ListColumnDefinition &definition = resultListColumns[index];
        std::wstring title = wideText(definition.title);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = scaledLength(definition.width, dpi);
        column.pszText = title.data();
        column.iSubItem = static_cast<int>(index);
        SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    }
}

} // namespace

MainWindow::MainWindow(std::filesystem::path keywordFolder)
    : ConventionalWindow(mainWindowDefinition)
    , m_keywordFolder(std::move(keywordFolder))
{
}

void MainWindow::controlsCreated()
{
    标签1 = control(u"标签1");
    编辑框1 = control(u"编辑框1");
    按钮1 = control(u"按钮1");
    超级列表框1 = control(u"超级列表框1");
    标签2 = control(u"标签2");
    编辑框2.attach(control(u"编辑框2"));
    按钮3 = control(u"按钮3");
    通用对话框1.setOwner(handle());

    if (超级列表框1)
        addResultColumns(超级列表框1, dpi());
    // The load's setText raises the changed event, so the save runs inside
    // it; the core decides whether that write-back goes to disk.
    编辑框2.setChangedHandler([this] { saveKeywordFile(编辑框2, m_keywordFolder); });
}

void MainWindow::created()
{
    loadKeywordFile(编辑框2, m_keywordFolder);
}

void MainWindow::command(HWND control, WORD code)
{
    if (control == 编辑框2.handle() && code == EN_CHANGE)
        编辑框2.editChanged();
    else if (control == 按钮3 && code == BN_CLICKED)
        exportResults();
}

void MainWindow::exportResults()
{
    // Each click runs one complete export with its own adapters, also when
    // it arrives while another export is still copying or saving. The window
    // may close while this runs: the message that called this holds the
    // object, and the adapters then report it unavailable.
    WindowListView listView(*this, 超级列表框1);
    ComponentSaveDialog saveDialog(*this, 通用对话框1);
    const ExportOutcome outcome = exportGrid(listView, saveDialog);
    if (outcome.result == ExportOutcome::Result::Failed)
        showWriteFailure(*this, outcome.path, outcome.reason);
}

} // namespace yunque
