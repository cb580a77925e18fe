#pragma once
// Bitmaps for the tests: a bottom-up bitmap (no implementation of the library is one) so
// that the row addressing of the pixel operations can be checked.

#include "raster/RasterBitmap.h"

#include <vector>

class BottomUpBitmap : public RasterBitmap
{
public:
    // A resizable bitmap takes any positive size (stride width + 1); a fixed one refuses.
    BottomUpBitmap(int width, int height, int stride, bool resizable = false)
        : width_(width), height_(height), stride_(stride), resizable_(resizable),
          pixels_(std::size_t(stride) * height)
    {
    }
    PackedPixel* PixelData() override { return pixels_.empty() ? nullptr : pixels_.data(); }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int RowStride() const override { return stride_; }
    bool IsBottomUp() const override { return true; }
    bool SetSize(int width, int height) override
    {
        if (!resizable_ || width <= 0 || height <= 0 || (width == width_ && height == height_))
            return false;
        width_ = width;
        height_ = height;
        stride_ = width + 1;
        pixels_.assign(std::size_t(stride_) * height, 0);
        return true;
    }
    // Memory row `row` (row 0 is the image's bottom row).
    PackedPixel* MemoryRow(int row) { return pixels_.data() + std::size_t(row) * stride_; }

private:
    int width_, height_, stride_;
    bool resizable_;
    std::vector<PackedPixel> pixels_;
};
