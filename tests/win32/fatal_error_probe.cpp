// Runs out of memory inside a handler of a real main window, for the test of
// the fatal error report (test_fatal_error.cpp). A watcher thread waits for
// the report's message box and answers OK; the program must then end with
// exit code 1. Other exit codes tell what went wrong:
//   2  the handler's failure came back out of the message
//   3  no message box titled as the definitions say appeared
//   4  the main window still took input while the box was up
// Argument: the folder for the keyword file.

#include "app/win32/conventional_window.h"
#include "app/win32/main_window.h"
#include "app/win32/wide_text.h"
#include "common/window_definitions.h"

#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <memory>
#include <new>
#include <thread>

namespace {

HWND mainWindow = nullptr;

void answerTheReport()
{
    const std::wstring title = yunque::wideText(yunque::fatalErrorMessage.title);
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (HWND box = FindWindowW(L"#32770", title.c_str())) {
            if (IsWindowEnabled(mainWindow))
                ExitProcess(4);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
        }
        Sleep(25);
    }
    ExitProcess(3);
}

} // namespace

int wmain(int argc, wchar_t **argv);

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2)
        return 5;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    auto window = std::make_shared<yunque::MainWindow>(std::filesystem::path(argv[1]));
    yunque::loadWindow(window, false);
    mainWindow = window->handle();
    window->编辑框2.setChangedHandler([] { throw std::bad_alloc(); });

    std::thread(answerTheReport).detach();
    // A key typed into the keyword box: its changed handler runs out of
    // memory.
    SendMessageW(window->编辑框2.handle(), WM_CHAR, L'x', 0);
    return 2;
}
