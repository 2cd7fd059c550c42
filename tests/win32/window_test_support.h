#pragma once

// A main window for a test, tied to a keyword file in a fresh folder, and
// helpers to drive it through the program's own message handling.

#include "app/win32/conventional_window.h"
#include "app/win32/main_window.h"
#include "app/win32/message_loop.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

namespace yunque::test {

// Handles every message waiting for this thread (the quit request
// included), so that posted work is done before a check.
inline void drainMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message != WM_QUIT)
            dispatchMessage(message);
}

// A key press as the message loop receives it, handed on the way the
// program's loops do.
inline void pressKey(HWND target, WPARAM key)
{
    const UINT scanCode = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    MSG down{target, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scanCode << 16)), static_cast<DWORD>(GetMessageTime()),
             {}};
    dispatchMessage(down);
    drainMessages();
}

// Holds Shift down in this thread's keyboard state while it lives.
class ShiftHeld {
public:
    ShiftHeld() { setShift(0x80); }
    ~ShiftHeld() { setShift(0); }
    ShiftHeld(const ShiftHeld &) = delete;
    ShiftHeld &operator=(const ShiftHeld &) = delete;

private:
    static void setShift(BYTE state)
    {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = keys[VK_LSHIFT] = state;
        SetKeyboardState(keys);
    }
};

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_shared<MainWindow>(folder.path());
        loadWindow(window, false);
        ASSERT_NE(window->handle(), nullptr);
        drainMessages();
    }

    void TearDown() override
    {
        if (window && window->handle())
            DestroyWindow(window->handle());
        drainMessages();
    }

    TempFolder folder;
    std::shared_ptr<MainWindow> window;
};

} // namespace yunque::test
