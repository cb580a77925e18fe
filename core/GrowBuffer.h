#pragma once
// GrowBuffer: a growable array of trivially copyable T with a reserve granularity.
//
// Sizes are kept in bytes. Growing past the allocation reallocates to the new size plus
// max(new/2, granularity); for granularities of 4096 bytes or more the extra is rounded
// down to a multiple of 4096, held within [4096, 4194304], and the whole allocation is
// chosen so that (allocation + 96) is a multiple of 4096 (room for the C heap's header).
// Shrinking keeps the block; a size of 0 frees it. A failed reallocation keeps the old
// block and size. No thread safety of its own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

// Size arithmetic for the growth rule, in bytes. Answers 0 when the result would not
// fit the int range the buffers are addressed with.
inline std::size_t GrowBufferAllocation(std::size_t newBytes, std::size_t granularity)
{
    constexpr std::size_t kPage = 4096;
    constexpr std::size_t kMaxExtra = 4194304;
    constexpr std::size_t kHeader = 96;
    constexpr std::size_t kLimit = static_cast<std::size_t>(std::numeric_limits<int>::max());
    if (newBytes > kLimit)
        return 0;
    std::size_t extra = newBytes / 2 > granularity ? newBytes / 2 : granularity;
    if (granularity >= kPage)
    {
        extra &= ~(kPage - 1);
        if (extra < kPage)
            extra = kPage;
        if (extra > kMaxExtra)
            extra = kMaxExtra;
        const std::size_t total = ((newBytes + extra + kHeader) & ~(kPage - 1)) - kHeader;
        return total > kLimit ? 0 : total;
    }
    const std::size_t total = newBytes + extra;
    return total > kLimit ? 0 : total;
}

template <class T> class GrowBuffer
{
    static_assert(std::is_trivially_copyable_v<T>, "GrowBuffer moves its elements with realloc");

public:
    explicit GrowBuffer(int granularityBytes = 0)
        : granularity_(granularityBytes > 0 ? static_cast<std::size_t>(granularityBytes) : 0)
    {
    }
    ~GrowBuffer() { std::free(data_); }
    GrowBuffer(const GrowBuffer&) = delete;
    GrowBuffer& operator=(const GrowBuffer&) = delete;

    T* Get() { return data_; }
    const T* Get() const { return data_; }
    // Number of whole elements in use.
    int Count() const { return static_cast<int>(usedBytes_ / sizeof(T)); }
    int SizeBytes() const { return static_cast<int>(usedBytes_); }
    int AllocatedBytes() const { return static_cast<int>(allocatedBytes_); }
    int Granularity() const { return static_cast<int>(granularity_); }

    // Resizes to count elements. Answers false, changing nothing, when the size cannot be
    // represented or the allocation fails. New elements are uninitialised.
    bool Resize(int count)
    {
        if (count < 0 || static_cast<std::size_t>(count) > std::numeric_limits<int>::max() / sizeof(T))
            return false;
        return ResizeBytes(static_cast<std::size_t>(count) * sizeof(T));
    }

    bool ResizeBytes(std::size_t newBytes)
    {
        if (newBytes == usedBytes_)
            return true;
        if (newBytes == 0)
        {
            std::free(data_);
            data_ = nullptr;
            usedBytes_ = allocatedBytes_ = 0;
            return true;
        }
        if (newBytes > allocatedBytes_)
        {
            const std::size_t total = GrowBufferAllocation(newBytes, granularity_);
            if (total == 0)
                return false;
            void* grown = std::realloc(data_, total);
            if (!grown)
                return false;
            data_ = static_cast<T*>(grown);
            allocatedBytes_ = total;
        }
        usedBytes_ = newBytes;
        return true;
    }

    // Appends count elements copied from src; answers false (unchanged) on failure.
    bool Append(const T* src, int count)
    {
        if (count <= 0)
            return count == 0;
        const int old = Count();
        if (count > std::numeric_limits<int>::max() - old || !Resize(old + count))
            return false;
        std::memcpy(data_ + old, src, static_cast<std::size_t>(count) * sizeof(T));
        return true;
    }

    void Free() { ResizeBytes(0); }

private:
    T* data_ = nullptr;
    std::size_t granularity_;
    std::size_t usedBytes_ = 0;
    std::size_t allocatedBytes_ = 0;
};
