#pragma once

#include <chrono>
#include <functional>

namespace yunque {

// Handles the window messages that are already waiting, then returns; never
// waits. The core calls it during long work (after every cell of an export)
// so that the window keeps responding. The shell installs the toolkit's
// implementation at start; with no hook installed it does nothing, so the
// core runs without a toolkit.
void processEvents();

using ProcessEventsHook = std::function<void()>;

// Installs the hook (an empty function removes it) and returns the previous one.
ProcessEventsHook setProcessEventsHook(ProcessEventsHook hook);

// Marks the start of an operation that calls processEvents() (an export):
// a throttled hook looks at the queue on the operation's first call.
void beginLongOperation();

// A hook that calls look() to handle the waiting messages, but only now and
// then: looking costs microseconds even when nothing waits, far more than
// the work between two calls, and reading the clock costs more than that
// work too. Within one operation it looks on the first call, then on every
// callsPerLook-th call that comes at least interval after the last look. So
// every operation, however short, looks at the queue at least once, whatever
// operations ran before it, and a waiting message is handled within about
// interval plus the work of callsPerLook calls.
ProcessEventsHook throttledHook(std::function<void()> look, std::chrono::microseconds interval,
                                unsigned callsPerLook = 32);

} // namespace yunque
