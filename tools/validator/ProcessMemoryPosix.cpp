#include "tools/validator/ProcessMemory.h"

#include <cstdio>
#include <unistd.h>

std::int64_t ProcessMemoryBytes()
{
    // statm: total program size, then resident pages.
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr)
        return -1;
    long long size = 0;
    long long resident = 0;
    const int read = std::fscanf(file, "%lld %lld", &size, &resident);
    std::fclose(file);
    if (read != 2)
        return -1;
    return static_cast<std::int64_t>(resident) * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
}

const char* ProcessMemoryKind()
{
    return "resident";
}
