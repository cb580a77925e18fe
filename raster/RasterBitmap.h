#pragma once
// RasterBitmap: the abstract bitmap every pixel operation works on. It holds no data of
// its own; implementations provide rows of PackedPixel, RowStride() pixels apart.
// Used on the editor's user-interface thread only; nothing here locks.

#include "raster/PackedPixel.h"

// The Windows device-context handle type (HDC), declared opaquely so that platform-neutral
// code can pass it along without the Windows headers.
struct HDC__;
using DeviceContextHandle = HDC__*;

class RasterBitmap
{
public:
    // The order of these virtual operations is part of the class's contract.
    virtual ~RasterBitmap() = default;
    // First pixel of the top row (of memory row 0 when IsBottomUp()), or none without storage.
    virtual PackedPixel* PixelData() = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Distance in pixels from one memory row to the next; at least Width().
    virtual int RowStride() const = 0;
    // True when memory row 0 is the bottom image row.
    virtual bool IsBottomUp() const { return false; }
    // Answers true when the size changed. Pixel contents are not kept in any meaningful layout.
    virtual bool SetSize(int width, int height) = 0;
    // The GDI device context drawing into the pixels, or none.
    virtual DeviceContextHandle DeviceContext() { return nullptr; }
    // Open extension query; no implementation answers anything.
    virtual void* Extension(int id, void* data)
    {
        (void)id;
        (void)data;
        return nullptr;
    }

protected:
    RasterBitmap() = default;
    RasterBitmap(const RasterBitmap&) = delete;
    RasterBitmap& operator=(const RasterBitmap&) = delete;
};
