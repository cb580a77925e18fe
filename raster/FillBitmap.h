#pragma once
// Filling a rectangle of a bitmap with one colour, and clearing a whole bitmap.

#include "raster/PackedPixel.h"
#include "raster/RasterBitmap.h"

// Combines colour into the w x h rectangle at (x, y), clipped to the bitmap, with a
// weight (1.0 = full strength) and a blend mode word (raster/BlendMode.h; the
// channel-copy modes draw nothing). With BlendUseSourceAlpha the weight is scaled by the
// colour's alpha; the integer weight then also stands in for the source alpha. Does
// nothing when dest is absent or has no pixels, or the weight or clipped area is empty.
// [editor thread] No locking.
void FillBitmapRect(RasterBitmap* dest, int x, int y, int w, int h, PackedPixel colour, float weight,
                    int mode);

// Sets every pixel (Width() x Height(), not the row padding) to 0. [editor thread]
void ClearBitmap(RasterBitmap* dest);
