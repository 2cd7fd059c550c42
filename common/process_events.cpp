#include "common/process_events.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace yunque {
namespace {

ProcessEventsHook &installedHook()
{
    static ProcessEventsHook hook;
    return hook;
}

// Counts the operations begun; a throttled hook starts afresh when it
// changes.
std::uint64_t &operationNumber()
{
    static std::uint64_t number = 0;
    return number;
}

} // namespace

void processEvents()
{
    if (const ProcessEventsHook &hook = installedHook())
        hook();
}

ProcessEventsHook setProcessEventsHook(ProcessEventsHook hook)
{
    return std::exchange(installedHook(), std::move(hook));
}

void beginLongOperation()
{
    ++operationNumber();
}

ProcessEventsHook throttledHook(std::function<void()> look, std::chrono::microseconds interval, unsigned callsPerLook)
{
    using Clock = std::chrono::steady_clock;
    return [look = std::move(look), interval, callsPerLook = std::max(callsPerLook, 1U), calls = 0U,
            operation = operationNumber() - 1, last = Clock::time_point()]() mutable {
        const bool firstCall = operation != operationNumber();
        if (firstCall) {
            operation = operationNumber();
            calls = 0;
        }
        if (calls++ % callsPerLook != 0)
            return;
        if (!firstCall && Clock::now() - last < interval)
            return;
        look();
        last = Clock::now();
    };
}

} // namespace yunque
