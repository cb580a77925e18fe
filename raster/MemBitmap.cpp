#include "raster/MemBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace
{
constexpr std::int64_t kAlignSlack = 63;
// Largest usable byte count: the capacity is an int32 and the block is 63 bytes larger.
constexpr std::int64_t kMaxCapacity = std::numeric_limits<std::int32_t>::max() - kAlignSlack;
} // namespace

MemBitmap::MemBitmap(int width, int height)
{
    if (width != 0 || height != 0)
        SetSize(width, height);
}

MemBitmap::~MemBitmap()
{
    std::free(buffer_);
}

PackedPixel* MemBitmap::PixelData()
{
    if (!buffer_)
        return nullptr;
    const std::uintptr_t aligned =
        (reinterpret_cast<std::uintptr_t>(buffer_) + kAlignSlack) & ~static_cast<std::uintptr_t>(kAlignSlack);
    return reinterpret_cast<PackedPixel*>(aligned);
}

void MemBitmap::FreeBlock()
{
    std::free(buffer_);
    buffer_ = nullptr;
    capacityBytes_ = 0;
}

bool MemBitmap::SetSize(int width, int height)
{
    if (width == width_ && height == height_)
        return false;
    width_ = width;
    height_ = height;

    // Bytes needed. A negative dimension (two of them would multiply to a positive count)
    // or a count past the int32 range is "no storage". The row bytes fit 64 bits, and the
    // division bounds the height before the product is formed, so nothing wraps.
    std::int64_t need = 0;
    if (width > 0 && height > 0)
    {
        const std::int64_t rowBytes =
            ((static_cast<std::int64_t>(width) + rowAlignMask_) & ~std::int64_t{rowAlignMask_}) * 4;
        need = height <= kMaxCapacity / rowBytes ? height * rowBytes : -1;
    }

    if (need <= 0)
        FreeBlock();
    else if (!buffer_)
    {
        buffer_ = std::malloc(static_cast<std::size_t>(need + kAlignSlack));
        capacityBytes_ = buffer_ ? static_cast<int>(need) : 0;
    }
    else if (capacityBytes_ < need)
    {
        // 25% headroom, so that a run of slightly larger requests reuses the block.
        std::int64_t capacity = (need / 4) * 5;
        if (capacity > kMaxCapacity)
            capacity = need;
        void* grown = std::realloc(buffer_, static_cast<std::size_t>(capacity + kAlignSlack));
        if (grown)
        {
            buffer_ = grown;
            capacityBytes_ = static_cast<int>(capacity);
        }
        else
        {
            // The old contents are worthless after a resize; try the bare need afresh.
            FreeBlock();
            buffer_ = std::malloc(static_cast<std::size_t>(need + kAlignSlack));
            capacityBytes_ = buffer_ ? static_cast<int>(need) : 0;
        }
    }

    if (!buffer_)
        width_ = height_ = 0;
    return true;
}
