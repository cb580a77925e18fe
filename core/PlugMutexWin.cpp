#include "core/PlugMutex.h"

#include <new>
#include <windows.h>

static_assert(sizeof(CRITICAL_SECTION) <= 64, "PlugMutex storage too small");

namespace
{
CRITICAL_SECTION* Native(unsigned char* storage)
{
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
} // namespace

// Critical sections are recursive for the owning thread.
PlugMutex::PlugMutex()
{
    InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}
PlugMutex::~PlugMutex()
{
    DeleteCriticalSection(Native(storage_));
}
void PlugMutex::Lock()
{
    EnterCriticalSection(Native(storage_));
}
void PlugMutex::Unlock()
{
    LeaveCriticalSection(Native(storage_));
}

namespace
{
// Created when the library loads rather than on first use: a function-local static would
// take the C++ runtime's thread-safe-initialisation guard, which with the static
// winpthreads runtime allocates per-thread data that survives FreeLibrary (about 50 KB
// lost on every load and unload of the plug-in).
PlugMutex gProcessLock;
} // namespace

PlugMutex& ProcessLock::Get()
{
    return gProcessLock;
}
