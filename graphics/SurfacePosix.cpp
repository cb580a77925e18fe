#include "graphics/Graphics.h"
#include "raster/MemBitmap.h"

RasterBitmap* CreateSurfaceBitmap(int width, int height)
{
    return new MemBitmap(width, height);
}
