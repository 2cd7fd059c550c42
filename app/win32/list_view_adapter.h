#pragma once

#include "export/list_view.h"

#include <windows.h>

namespace yunque {

class ConventionalWindow;

// The export's view of a report-style list view control on one of the
// program's windows: items and header columns (zero-width ones included),
// texts of any length in code page 936. Unavailable as soon as the window
// starts to close; the control is not touched then.
class WindowListView final : public ListView {
public:
    WindowListView(const ConventionalWindow &window, HWND listView);

    bool available() const override;
    std::int32_t itemCount() const override;
    std::int32_t columnCount() const override;
    GbkText columnTitle(std::int32_t column) const override;
    GbkText cellText(std::int32_t item, std::int32_t column) const override;

private:
    const ConventionalWindow &m_window;
    HWND m_listView;
};

} // namespace yunque
