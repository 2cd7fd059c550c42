#include "app/win32/list_view_adapter.h"

#include "app/win32/conventional_window.h"
#include "app/win32/wide_text.h"
#include "common/gbk_codec.h"

#include <commctrl.h>

#include <climits>
#include <cwchar>
#include <string>

namespace yunque {
namespace {

// The control copies at most the room it is given and does not tell the
// whole length, so the room grows until the text no longer fills it.
// fetch(buffer, room) returns the characters copied, or -1 when it does not
// say.
template <typename Fetch>
GbkText fetchWholeText(Fetch fetch)
{
    std::wstring buffer;
    for (int room = 256; room > 0 && room <= INT_MAX / 2; room *= 2) {
        buffer.assign(static_cast<std::size_t>(room), L'\0');
        int copied = fetch(buffer.data(), room);
        if (copied < 0)
            copied = static_cast<int>(wcsnlen(buffer.data(), static_cast<std::size_t>(room)));
        if (copied < room - 1) {
            buffer.resize(static_cast<std::size_t>(copied));
            return encodeGbk(utf16View(buffer));
        }
    }
    return {};
}

} // namespace

WindowListView::WindowListView(const ConventionalWindow &window, HWND listView)
    : m_window(window)
    , m_listView(listView)
{
}

bool WindowListView::available() const
{
    return m_window.isOpen() && m_listView && IsWindow(m_listView);
}

std::int32_t WindowListView::itemCount() const
{
    return static_cast<std::int32_t>(SendMessageW(m_listView, LVM_GETITEMCOUNT, 0, 0));
}

std::int32_t WindowListView::columnCount() const
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(m_listView, LVM_GETHEADER, 0, 0));
    if (!header)
        return 0;
    const LRESULT count = SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
    return count > 0 ? static_cast<std::int32_t>(count) : 0;
}

GbkText WindowListView::columnTitle(std::int32_t column) const
{
    return fetchWholeText([this, column](wchar_t *buffer, int room) {
        LVCOLUMNW item{};
        item.mask = LVCF_TEXT;
        item.pszText = buffer;
        item.cchTextMax = room;
        if (!SendMessageW(m_listView, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item)))
            return 0;
        // The control may point pszText at its own copy instead.
        if (item.pszText != buffer && item.pszText)
            wcsncpy(buffer, item.pszText, static_cast<std::size_t>(room) - 1);
        return -1;
    });
}

GbkText WindowListView::cellText(std::int32_t item, std::int32_t column) const
{
    return fetchWholeText([this, item, column](wchar_t *buffer, int room) {
        LVITEMW cell{};
        cell.iSubItem = column;
        cell.pszText = buffer;
        cell.cchTextMax = room;
        return static_cast<int>(
            SendMessageW(m_listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell)));
    });
}

} // namespace yunque
