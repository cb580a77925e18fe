#pragma once
// How much memory this process holds, for leak checks across many load/unload cycles.
// Linux: resident set size (/proc/self/statm). Windows: private commit
// (GetProcessMemoryInfo). Sanitizer builds: bytes the sanitizer's allocator holds live,
// which ignores its quarantine. [any thread]

#include <cstdint>

// Bytes, or -1 when the system does not say.
std::int64_t ProcessMemoryBytes();
// What ProcessMemoryBytes measures, for the report ("resident", "commit", "live heap").
const char* ProcessMemoryKind();
