#pragma once
// Counts the heap calls a plug-in makes on one thread while a window is open, e.g. around
// its process calls. How the calls are seen depends on the platform:
// - Linux: the validator executable defines malloc, calloc, realloc, free and the aligned
//   variants; the dynamic linker binds every library's calls to them (the plug-in's and its
//   C++ runtime's operator new alike), and they forward to the C library's allocator.
// - Sanitizer builds: the sanitizer's allocator hooks.
// - Windows: the plug-in module's import address table entries of the C runtime's heap
//   functions, operator new/delete and the Win32 heap calls are pointed at counting
//   functions while the watch lives, and restored afterwards. A plug-in that carries its
//   own static allocator is not visible; Available() then says so.
// Only calls on the thread that opened the window are counted, never the host's own (the
// host callback closes the window while it runs). One watch at a time.

#include <cstdint>
#include <string>

struct AllocationCounts
{
    std::int64_t allocations = 0; // malloc, calloc, realloc, aligned and operator new calls
    std::int64_t frees = 0;
    std::int64_t firstSize = -1; // bytes asked by the first allocation counted
};

class AllocationWatch
{
public:
    // pluginAddress: any address inside the plug-in's module (its entry point or dispatcher).
    explicit AllocationWatch(const void* pluginAddress);
    ~AllocationWatch();
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;

    // Whether calls can be seen, and how (for the report).
    bool Available() const { return available_; }
    const std::string& How() const { return how_; }

    // Opens and closes the counting window on the calling thread. Windows nest: Pause
    // inside an open window stops counting until Resume.
    void Begin();
    void End();
    static void Pause();
    static void Resume();
    AllocationCounts Counts() const;
    void Reset();

private:
    bool available_ = false;
    std::string how_;
};
