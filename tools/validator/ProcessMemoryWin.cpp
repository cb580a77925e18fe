#include "tools/validator/ProcessMemory.h"

#include <windows.h>

#include <psapi.h>

std::int64_t ProcessMemoryBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return -1;
    return static_cast<std::int64_t>(counters.PrivateUsage);
}

const char* ProcessMemoryKind()
{
    return "commit";
}
