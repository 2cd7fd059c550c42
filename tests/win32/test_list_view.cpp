// The export's view of the main window's results list, a real report-style
// list view control.

#include "app/win32/list_view_adapter.h"
#include "common/gbk_codec.h"
#include "common/process_events.h"
#include "window_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace yunque {
namespace {

class ResultListTest : public test::MainWindowTest {
protected:
    void addItem(const std::vector<std::wstring> &texts)
    {
        HWND list = window->超级列表框1;
        const int index = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (std::size_t column = 0; column < texts.size(); ++column) {
            std::wstring text = texts[column];
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = index;
            item.iSubItem = static_cast<int>(column);
            item.pszText = text.data();
            if (column == 0)
                ASSERT_EQ(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)), index);
            else
                ASSERT_TRUE(SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item)));
        }
    }
};

TEST_F(ResultListTest, HasTheFiveColumnsOfTheDefinitionsTheHiddenOneIncluded)
{
    WindowListView view(*window, window->超级列表框1);
    ASSERT_TRUE(view.available());
    EXPECT_EQ(view.itemCount(), 0);
    ASSERT_EQ(view.columnCount(), static_cast<std::int32_t>(std::size(resultListColumns)));
    for (std::size_t column = 0; column < std::size(resultListColumns); ++column) {
        const ListColumnDefinition &definition = resultListColumns[column];
        EXPECT_EQ(view.columnTitle(static_cast<std::int32_t>(column)), encodeGbk(definition.title));
        EXPECT_EQ(SendMessageW(window->超级列表框1, LVM_GETCOLUMNWIDTH, column, 0),
                  scaledLength(definition.width, window->dpi()))
            << "column " << column;
    }
    EXPECT_EQ(SendMessageW(window->超级列表框1, LVM_GETCOLUMNWIDTH, 3, 0), 0);
}

TEST_F(ResultListTest, GivesEveryCellWholeInCodePage936)
{
    // Longer than the 260 characters a list view shows of a cell.
    std::wstring longText;
    for (int i = 0; i < 150; ++i)
        longText += L"评论x";
    addItem({L"1", L"昵称", L"", L"12345", longText});
    addItem({L"2"});

    WindowListView view(*window, window->超级列表框1);
    ASSERT_EQ(view.itemCount(), 2);
    EXPECT_EQ(view.cellText(0, 0), "1");
    EXPECT_EQ(view.cellText(0, 1), "\xEA\xC7\xB3\xC6");
    EXPECT_EQ(view.cellText(0, 2), "");
    EXPECT_EQ(view.cellText(0, 3), "12345");
    const GbkText whole = view.cellText(0, 4);
    EXPECT_EQ(whole.size(), 150U * 5);
    EXPECT_EQ(whole, encodeGbk(std::u16string(longText.begin(), longText.end())));
    EXPECT_EQ(view.cellText(1, 4), "");
}

TEST_F(ResultListTest, ClosingTheWindowDuringAnExportEndsItWithoutTheDialog)
{
    addItem({L"1", L"a", L"b", L"c", L"d"});
    bool dialogShown = false;
    window->通用对话框1.setRunner([&dialogShown](OPENFILENAMEW &) { return dialogShown = true; });
    // The user closes the window while the export copies the list.
    const ProcessEventsHook previous = setProcessEventsHook([this] {
        if (window->handle())
            PostMessageW(window->handle(), WM_CLOSE, 0, 0);
        dispatchWaitingMessages();
    });
    SendMessageW(window->按钮3, BM_CLICK, 0, 0);
    setProcessEventsHook(previous);

    EXPECT_EQ(window->handle(), nullptr);
    EXPECT_FALSE(dialogShown);
    EXPECT_FALSE(WindowListView(*window, window->超级列表框1).available());
}

} // namespace
} // namespace yunque
