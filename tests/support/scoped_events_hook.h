#pragma once

// The core's processEvents() hook set for one scope, in GoogleTest and Qt
// Test programs alike.

#include "common/process_events.h"

#include <utility>

namespace yunque::test {

// Installs a processEvents hook for one scope; the hook installed before
// comes back at the end.
class ScopedEventsHook {
public:
    explicit ScopedEventsHook(ProcessEventsHook hook)
        : m_previous(setProcessEventsHook(std::move(hook)))
    {
    }
    ~ScopedEventsHook() { setProcessEventsHook(std::move(m_previous)); }
    ScopedEventsHook(const ScopedEventsHook &) = delete;
    ScopedEventsHook &operator=(const ScopedEventsHook &) = delete;

    // The hook that was installed before this one.
    const ProcessEventsHook &previous() const { return m_previous; }

private:
    ProcessEventsHook m_previous;
};

} // namespace yunque::test
