#pragma once
// BlitBitmap: draws a block of one bitmap onto another with a blend mode and a weight.

#include "raster/PixelRect.h"
#include "raster/RasterBitmap.h"

// Draws srcRect of src (the whole source when absent) with its top-left corner at
// (destX, destY) of dest, clipped to both bitmaps. weight 1.0 is full strength; mode is a
// blend mode word (raster/BlendMode.h). Does nothing when either bitmap is absent or has
// no pixels, the weight is 0 or the clipped block is empty. src and dest may be the same
// bitmap; overlapping blocks are then drawn row by row from the top.
// [editor thread] No locking.
void BlitBitmap(RasterBitmap* dest, RasterBitmap* src, int destX, int destY, const PixelRect* srcRect,
                float weight, int mode);
