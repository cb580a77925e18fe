#pragma once
// SysBitmap (Windows only): a top-down 32-bit DIB section selected into the bitmap's own
// memory device context, so that GDI can draw into the pixels and BitBlt can copy them to
// a window. The DIB is recreated only when it must grow; a shrink keeps the larger DIB and
// its stride. [editor thread] Owned by whoever creates it.

#include "raster/RasterBitmap.h"

struct HBITMAP__;

class SysBitmap : public RasterBitmap
{
public:
    // Creates the memory device context, then sizes the bitmap; check PixelData() for success.
    explicit SysBitmap(int width = 0, int height = 0);
    ~SysBitmap() override;

    PackedPixel* PixelData() override { return pixels_; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // The allocated width, a multiple of 4.
    int RowStride() const override { return allocWidth_; }
    // Answers true when the size changed, also when the DIB could not be created (then the
    // size reads 0 x 0 and there are no pixels); false for a zero dimension (no DIB). Negative
    // dimensions and DIBs beyond the int32 byte range fail like a refused DIB.
    bool SetSize(int width, int height) override;
    DeviceContextHandle DeviceContext() override { return memoryDC_; }

private:
    void ReleaseDib();

    int width_ = 0;
    int height_ = 0;
    PackedPixel* pixels_ = nullptr;
    int allocWidth_ = 0;
    int allocHeight_ = 0;
    HBITMAP__* dib_ = nullptr;
    void* previousObject_ = nullptr; // what the memory DC held before the DIB went in
    DeviceContextHandle memoryDC_ = nullptr;
};
