#include "common/process_events.h"

#include <utility>

namespace yunque {
namespace {

ProcessEventsHook &installedHook()
{
    static ProcessEventsHook hook;
    return hook;
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

} // namespace yunque
