#include "app/win32/message_loop.h"

#include "app/win32/fatal_error.h"
#include "app/win32/window_keys.h"
#include "common/process_events.h"

#include <cstdlib>

namespace yunque {

void dispatchMessage(MSG &message)
{
    if (handleWindowKeys(message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void runModalLoop(const std::function<bool()> &running)
{
    MSG message;
    while (running()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (got < 0)
            return;
        dispatchMessage(message);
    }
}

int runMessageLoop()
{
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got < 0)
            return EXIT_FAILURE;
        dispatchMessage(message);
    }
    return static_cast<int>(message.wParam);
}

void dispatchWaitingMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (message.message == WM_QUIT)
            return;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            return;
        // The queue can change between the two looks (the quit request
        // comes when nothing else is waiting): put it back.
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatchMessage(message);
    }
}

void installProcessEvents(std::chrono::microseconds interval)
{
    setProcessEventsHook(throttledHook(
        [] {
            if (!fatalErrorShown())
                dispatchWaitingMessages();
        },
        interval));
}

} // namespace yunque
