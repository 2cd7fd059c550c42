// The export's save dialog: the settings the common dialog is shown with,
// and the path it keeps, through the main window's export button with the
// system's dialog replaced by an answer.

#include "app/win32/save_dialog_adapter.h"
#include "app/win32/wide_text.h"
#include "common/run_directory.h"
#include "window_test_support.h"

#include <commdlg.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace yunque {
namespace {

// What one showing of the dialog was given.
struct Shown {
    HWND owner = nullptr;
    DWORD flags = 0;
    std::wstring filter; // with its NULs, up to and including the last two
    DWORD filterIndex = 0;
    std::optional<std::wstring> initialFolder;
    std::optional<std::wstring> defaultExtension;
    bool hasTitle = false;
    std::wstring prefilled;
    DWORD room = 0;
};

std::wstring filterList(const wchar_t *filter)
{
    if (!filter)
        return {};
    const wchar_t *end = filter;
    while (end[0] || end[1])
        ++end;
    return std::wstring(filter, end + 2);
}

class SaveDialogTest : public test::MainWindowTest {
protected:
    // Clicks the export button; the dialog answers with path, or cancels
    // when there is none.
    Shown exportAnswering(const std::optional<std::filesystem::path> &path)
    {
        Shown shown;
        window->通用对话框1.setRunner([&shown, &path](OPENFILENAMEW &settings) {
            shown.owner = settings.hwndOwner;
            shown.flags = settings.Flags;
            shown.filter = filterList(settings.lpstrFilter);
            shown.filterIndex = settings.nFilterIndex;
            if (settings.lpstrInitialDir)
                shown.initialFolder = settings.lpstrInitialDir;
            if (settings.lpstrDefExt)
                shown.defaultExtension = settings.lpstrDefExt;
            shown.hasTitle = settings.lpstrTitle != nullptr;
            shown.prefilled = settings.lpstrFile;
            shown.room = settings.nMaxFile;
            if (!path)
                return false;
            const std::wstring answer = path->wstring();
            answer.copy(settings.lpstrFile, answer.size());
            settings.lpstrFile[answer.size()] = L'\0';
            return true;
        });
        SendMessageW(window->按钮3, BM_CLICK, 0, 0);
        return shown;
    }
};

TEST_F(SaveDialogTest, IsShownWithTheExportSettings)
{
    const Shown shown = exportAnswering(std::nullopt);
    EXPECT_EQ(shown.owner, window->handle());
    EXPECT_EQ(shown.flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER
                                              | OFN_NOCHANGEDIR));
    std::wstring filter = wideText(exportFileFilter.description);
    filter += L'\0';
    filter += wideText(exportFileFilter.pattern);
    filter += std::wstring(2, L'\0');
    EXPECT_EQ(shown.filter, filter);
    EXPECT_EQ(shown.filterIndex, 1U);
    EXPECT_EQ(shown.initialFolder, runDirectory().wstring());
    EXPECT_EQ(shown.defaultExtension, wideText(exportDefaultExtension));
    EXPECT_FALSE(shown.hasTitle);
    EXPECT_EQ(shown.prefilled, L"");
    EXPECT_EQ(shown.room, 32768U);
}

TEST_F(SaveDialogTest, OffersTheLastAcceptedPathAndKeepsItOnCancel)
{
    const std::filesystem::path first = folder / "第一.xls";
    exportAnswering(first);
    EXPECT_TRUE(std::filesystem::exists(first));

    EXPECT_EQ(exportAnswering(std::nullopt).prefilled, first.wstring());
    EXPECT_EQ(exportAnswering(std::nullopt).prefilled, first.wstring());

    const std::filesystem::path second = folder / "second.xls";
    EXPECT_EQ(exportAnswering(second).prefilled, first.wstring());
    EXPECT_EQ(exportAnswering(std::nullopt).prefilled, second.wstring());
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"second.xls", "第一.xls", "评论关键词.txt"}));
}

TEST(WriteFailureText, IsTheMessageThePathAndTheReasonOnItsOwnLine)
{
    const std::filesystem::path path = L"C:\\导出\\表格.xls";
    EXPECT_EQ(writeFailureText(path, "\xE6\x8B\x92\xE7\xBB\x9D\xE8\xAE\xBF\xE9\x97\xAE\xE3\x80\x82"),
              L"无法写入文件：C:\\导出\\表格.xls\n拒绝访问。");
}

} // namespace
} // namespace yunque
