#pragma once
// MemBitmap: a top-down bitmap on the heap. The pixels start on a 64-byte boundary inside
// the block, rows are padded to a multiple of 4 pixels, and the block grows by 25% beyond
// a request and never shrinks, so repeated resizing does not reallocate.
// [editor thread] Owned by whoever creates it.

#include "raster/RasterBitmap.h"

class MemBitmap : public RasterBitmap
{
public:
    // Gives the bitmap storage when either dimension is non-zero; check PixelData() for success.
    explicit MemBitmap(int width = 0, int height = 0);
    ~MemBitmap() override;

    PackedPixel* PixelData() override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // The width rounded up to a multiple of 4.
    int RowStride() const override { return (width_ + rowAlignMask_) & ~rowAlignMask_; }
    // Sizes with a negative dimension, or whose byte count does not fit an int32, get no
    // storage. Without storage the size reads 0 x 0.
    bool SetSize(int width, int height) override;

    // Usable bytes in the block (the block itself is 63 bytes larger for the alignment).
    int CapacityBytes() const { return capacityBytes_; }

private:
    void FreeBlock();

    void* buffer_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int capacityBytes_ = 0;
    int rowAlignMask_ = 3;
};
