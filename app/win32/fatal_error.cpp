#include "app/win32/fatal_error.h"

#include "app/win32/wide_text.h"
#include "common/process_events.h"
#include "common/window_definitions.h"

#include <windows.h>

#include <cstdlib>

namespace yunque {
namespace {

bool shown = false;

} // namespace

bool fatalErrorShown()
{
    return shown;
}

void fatalErrorReport()
{
    if (!shown) {
        shown = true;
        setProcessEventsHook({});
        // Task-modal without an owner: every window of the program is
        // disabled while the box is up. The texts are literals of the
        // definitions, so showing them needs no memory of ours.
        static_assert(sizeof(wchar_t) == sizeof(char16_t));
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t *>(fatalErrorMessage.text.data()),
                    reinterpret_cast<const wchar_t *>(fatalErrorMessage.title.data()),
                    MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    }
    std::_Exit(EXIT_FAILURE);
}

} // namespace yunque
