#include "core/ModuleHandle.h"

#include <atomic>

namespace
{
std::atomic<void*> gModule{nullptr};
} // namespace

void SetModuleHandle(void* module)
{
    gModule.store(module, std::memory_order_release);
}
void* ModuleHandle()
{
    return gModule.load(std::memory_order_acquire);
}
