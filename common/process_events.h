#pragma once

#include <functional>

namespace yunque {

// Handles the window messages that are already waiting, then returns; never
// waits. The core calls it during long work so that the window keeps
// responding. The shell installs the toolkit's implementation at start; with
// no hook installed it does nothing, so the core runs without a toolkit.
void processEvents();

using ProcessEventsHook = std::function<void()>;

// Installs the hook (an empty function removes it) and returns the previous one.
ProcessEventsHook setProcessEventsHook(ProcessEventsHook hook);

} // namespace yunque
