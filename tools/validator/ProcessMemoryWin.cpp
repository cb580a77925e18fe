#include "tools/validator/ProcessMemory.h"

#include <windows.h>

#include <psapi.h>

std::int64_t ProcessMemoryBytes()
{
    // PagefileUsage is the process's private commit charge (the same figure as
    // PrivateUsage, which Wine leaves at 0).
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<std::int64_t>(counters.PagefileUsage);
}

const char* ProcessMemoryKind()
{
    return "commit";
}
