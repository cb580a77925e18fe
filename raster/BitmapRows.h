#pragma once
// Row addressing shared by the pixel operations: where image row y of a bitmap starts in
// memory and how to step to the next image row, honouring IsBottomUp() (image row y then
// lives at memory row Height-1-y and the walk goes backwards by the stride).

#include "raster/RasterBitmap.h"

#include <cstddef>

struct BitmapRows
{
    PackedPixel* first = nullptr; // pixel (x, y) of the walk's first row
    std::ptrdiff_t step = 0;      // pixels from one image row to the next

    PackedPixel* Row(int i) const { return first + step * i; }
};

// The walk starting at pixel (x, y); the caller has clipped (x, y) into the bitmap and
// checked that it has pixel data.
inline BitmapRows RowsAt(RasterBitmap& bitmap, int x, int y)
{
    const std::ptrdiff_t stride = bitmap.RowStride();
    const int memoryRow = bitmap.IsBottomUp() ? bitmap.Height() - 1 - y : y;
    BitmapRows rows;
    rows.first = bitmap.PixelData() + stride * memoryRow + x;
    rows.step = bitmap.IsBottomUp() ? -stride : stride;
    return rows;
}
