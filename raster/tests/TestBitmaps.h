#pragma once
// Bitmaps for the tests: a bottom-up bitmap (no implementation of the library is one) so
// that the row addressing of the pixel operations can be checked.

#include "raster/RasterBitmap.h"

#include <vector>

class BottomUpBitmap : public RasterBitmap
{
public:
    BottomUpBitmap(int width, int height, int stride)
        : width_(width), height_(height), stride_(stride), pixels_(std::size_t(stride) * height)
    {
    }
    PackedPixel* PixelData() override { return pixels_.data(); }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int RowStride() const override { return stride_; }
    bool IsBottomUp() const override { return true; }
    bool SetSize(int, int) override { return false; }
    // Memory row `row` (row 0 is the image's bottom row).
    PackedPixel* MemoryRow(int row) { return pixels_.data() + std::size_t(row) * stride_; }

private:
    int width_, height_, stride_;
    std::vector<PackedPixel> pixels_;
};
