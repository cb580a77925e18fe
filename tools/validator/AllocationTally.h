#pragma once
// The counters behind AllocationWatch, shared by its platform parts. The counting
// functions are called from inside the heap functions: they touch only plain thread-local
// integers and atomics, never the heap.

#include <cstddef>

namespace AllocationTally
{
// True while the calling thread has a window open and not paused.
bool Counting();
void NoteAllocation(std::size_t size);
void NoteFree(const volatile void* block);
// Closes every window of the calling thread (when a watch ends).
void CloseWindows();
} // namespace AllocationTally
