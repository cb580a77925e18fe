#include "tools/validator/AllocationWatch.h"
#include "tools/validator/AllocationTally.h"

#include <atomic>
#include <cstdint>

namespace
{
thread_local int tDepth = 0;  // open windows on this thread
thread_local int tPaused = 0; // pauses inside them
std::atomic<std::int64_t> gAllocations{0};
std::atomic<std::int64_t> gFrees{0};
std::atomic<std::int64_t> gFirstSize{-1};
} // namespace

bool AllocationTally::Counting()
{
    return tDepth > 0 && tPaused == 0;
}

void AllocationTally::NoteAllocation(std::size_t size)
{
    if (!Counting())
        return;
    std::int64_t none = -1;
    gFirstSize.compare_exchange_strong(none, static_cast<std::int64_t>(size));
    gAllocations.fetch_add(1, std::memory_order_relaxed);
}

void AllocationTally::NoteFree(const volatile void* block)
{
    if (block != nullptr && Counting())
        gFrees.fetch_add(1, std::memory_order_relaxed);
}

void AllocationTally::CloseWindows()
{
    tDepth = 0;
    tPaused = 0;
}

void AllocationWatch::Begin()
{
    ++tDepth;
}

void AllocationWatch::End()
{
    if (tDepth > 0)
        --tDepth;
}

void AllocationWatch::Pause()
{
    ++tPaused;
}

void AllocationWatch::Resume()
{
    if (tPaused > 0)
        --tPaused;
}

AllocationCounts AllocationWatch::Counts() const
{
    return {gAllocations.load(), gFrees.load(), gFirstSize.load()};
}

void AllocationWatch::Reset()
{
    gAllocations = 0;
    gFrees = 0;
    gFirstSize = -1;
}
