#pragma once

#include <windows.h>

namespace yunque {

// The keys every window of the program shares, taken before a message is
// translated or dispatched, so that no control (the multi-line edit box
// included) sees them:
// - Esc closes the window, like its close box, whichever control has the
//   focus;
// - Tab and Shift+Tab move the focus along the window's tab order and wrap;
// - Enter does nothing, except in a multi-line edit box, which takes it as a
//   line break.
// True when the message was one of these and is done with. Messages for
// windows that are not the program's own (a system dialog) are left alone.
bool handleWindowKeys(const MSG &message);

} // namespace yunque
