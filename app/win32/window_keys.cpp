#include "app/win32/window_keys.h"

#include "app/win32/controls.h"
#include "app/win32/conventional_window.h"

namespace yunque {

bool handleWindowKeys(const MSG &message)
{
    if (message.message != WM_KEYDOWN)
        return false;
    const WPARAM key = message.wParam;
    if (key != VK_ESCAPE && key != VK_TAB && key != VK_RETURN)
        return false;
    ConventionalWindow *window = ConventionalWindow::owning(message.hwnd);
    if (!window || !window->handle())
        return false;

    switch (key) {
    case VK_ESCAPE:
        SendMessageW(window->handle(), WM_CLOSE, 0, 0);
        return true;
    case VK_TAB:
        window->moveFocus(GetKeyState(VK_SHIFT) >= 0);
        return true;
    default:
        // Enter: a character only for the multi-line edit box. Nothing else
        // sees it, so no control can take it for a default button.
        return !isMultiLineEdit(message.hwnd);
    }
}

} // namespace yunque
