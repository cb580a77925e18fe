// Sanitizer builds: the sanitizer's allocator replaces the C library's. Allocations are
// seen through its hooks, and the memory figure is its count of live heap bytes (freed
// blocks wait in its quarantine and would look like growth in the resident size).
#include "tools/validator/AllocationTally.h"
#include "tools/validator/AllocationWatch.h"
#include "tools/validator/ProcessMemory.h"

#include <cstddef>

// The sanitizer runtime's allocator interface (GCC installs no header for it).
extern "C"
{
    int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                  void (*onFree)(const volatile void*));
    std::size_t __sanitizer_get_current_allocated_bytes();
}

namespace
{
void OnMalloc(const volatile void*, std::size_t size)
{
    AllocationTally::NoteAllocation(size);
}

void OnFree(const volatile void* block)
{
    AllocationTally::NoteFree(block);
}

bool InstallHooks()
{
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    return installed;
}
} // namespace

std::int64_t ProcessMemoryBytes()
{
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
}

const char* ProcessMemoryKind()
{
    return "live heap";
}

AllocationWatch::AllocationWatch(const void*)
{
    available_ = InstallHooks();
    how_ = available_ ? "heap calls seen through the sanitizer's allocator hooks"
                      : "not observable: the sanitizer refused its allocator hooks";
}

AllocationWatch::~AllocationWatch()
{
    AllocationTally::CloseWindows();
}
