// The Linux allocation watch: this executable's own definitions of the C heap functions,
// which the dynamic linker binds every loaded library to (the executable comes first in
// symbol lookup), so the plug-in's calls and its C++ runtime's operator new arrive here.
// They forward to the C library's allocator under its internal names.
#include "tools/validator/AllocationTally.h"
#include "tools/validator/AllocationWatch.h"

#include <cerrno>
#include <cstddef>

extern "C"
{
    void* __libc_malloc(std::size_t size);
    void* __libc_calloc(std::size_t count, std::size_t size);
    void* __libc_realloc(void* block, std::size_t size);
    void __libc_free(void* block);
    void* __libc_memalign(std::size_t alignment, std::size_t size);

    void* malloc(std::size_t size)
    {
        AllocationTally::NoteAllocation(size);
        return __libc_malloc(size);
    }

    void* calloc(std::size_t count, std::size_t size)
    {
        AllocationTally::NoteAllocation(count * size);
        return __libc_calloc(count, size);
    }

    void* realloc(void* block, std::size_t size)
    {
        AllocationTally::NoteAllocation(size);
        return __libc_realloc(block, size);
    }

    void free(void* block)
    {
        AllocationTally::NoteFree(block);
        __libc_free(block);
    }

    void* memalign(std::size_t alignment, std::size_t size)
    {
        AllocationTally::NoteAllocation(size);
        return __libc_memalign(alignment, size);
    }

    void* aligned_alloc(std::size_t alignment, std::size_t size)
    {
        AllocationTally::NoteAllocation(size);
        return __libc_memalign(alignment, size);
    }

    int posix_memalign(void** result, std::size_t alignment, std::size_t size)
    {
        if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
            return EINVAL;
        AllocationTally::NoteAllocation(size);
        void* block = __libc_memalign(alignment, size);
        if (block == nullptr)
            return ENOMEM;
        *result = block;
        return 0;
    }

    void* valloc(std::size_t size)
    {
        AllocationTally::NoteAllocation(size);
        return __libc_memalign(4096, size);
    }
}

AllocationWatch::AllocationWatch(const void*)
{
    available_ = true;
    how_ = "C heap calls seen through this program's own malloc family";
}

AllocationWatch::~AllocationWatch()
{
    AllocationTally::CloseWindows();
}
