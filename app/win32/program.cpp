#include "app/win32/program.h"

#include "app/win32/conventional_window.h"
#include "app/win32/disclaimer_window.h"
#include "app/win32/fatal_error.h"
#include "app/win32/message_loop.h"
#include "common/run_directory.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

namespace yunque {

int startProgram()
{
    try {
        std::error_code ignored;
        // An unknown folder, or one that is gone or closed to us: nothing
        // depends on the current directory, so go on from where we are.
        if (const std::filesystem::path folder = runDirectory(); !folder.empty())
            std::filesystem::current_path(folder, ignored);

        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        installProcessEvents();

        loadWindow(std::make_shared<DisclaimerWindow>(), true);
        if (openWindowCount() == 0)
            return EXIT_SUCCESS;

        endProgramWithLastWindow();
        return runMessageLoop();
    } catch (const std::bad_alloc &) {
        fatalErrorReport();
    }
}

} // namespace yunque
