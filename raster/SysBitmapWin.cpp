#include "raster/SysBitmap.h"

#include <cstdint>
#include <limits>
#include <windows.h>

SysBitmap::SysBitmap(int width, int height) : memoryDC_(CreateCompatibleDC(nullptr))
{
    SetSize(width, height);
}

SysBitmap::~SysBitmap()
{
    ReleaseDib();
    if (memoryDC_)
        DeleteDC(memoryDC_);
}

// Puts the DC's original object back before deleting the DIB: GDI refuses to delete a
// bitmap that is still selected.
void SysBitmap::ReleaseDib()
{
    if (previousObject_)
    {
        SelectObject(memoryDC_, static_cast<HGDIOBJ>(previousObject_));
        previousObject_ = nullptr;
    }
    if (dib_)
    {
        DeleteObject(dib_);
        dib_ = nullptr;
    }
    pixels_ = nullptr;
}

bool SysBitmap::SetSize(int width, int height)
{
    if (!memoryDC_)
    {
        width_ = height_ = 0;
        pixels_ = nullptr;
        return false;
    }
    if (width == width_ && height == height_)
        return false;
    width_ = width;
    height_ = height;
    if (width > 0 && height > 0 && allocWidth_ >= width && allocHeight_ >= height && pixels_)
        return true;

    // Width rounded up to 4 pixels, in 64 bits. A negative dimension, or a DIB whose byte
    // count leaves the int32 range, is refused up front as GDI would refuse it.
    const std::int64_t alignedWidth = (static_cast<std::int64_t>(width) + 3) & ~std::int64_t{3};
    constexpr std::int64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();
    const bool representable = width >= 0 && height >= 0 && alignedWidth <= kMaxBytes / 4 &&
                               (alignedWidth == 0 || height <= kMaxBytes / (alignedWidth * 4));
    allocWidth_ = representable ? static_cast<int>(alignedWidth) : 0;
    allocHeight_ = representable ? height : 0;
    ReleaseDib();
    if (!representable)
    {
        width_ = height_ = 0;
        return true;
    }
    if (allocWidth_ == 0 || allocHeight_ == 0)
        return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = allocWidth_;
    // A negative height asks GDI for a top-down DIB.
    info.bmiHeader.biHeight = IsBottomUp() ? allocHeight_ : -allocHeight_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dib_ = CreateDIBSection(memoryDC_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib_ && bits)
    {
        pixels_ = static_cast<PackedPixel*>(bits);
        previousObject_ = SelectObject(memoryDC_, dib_);
    }
    else
    {
        ReleaseDib();
        width_ = height_ = 0;
    }
    return true;
}
