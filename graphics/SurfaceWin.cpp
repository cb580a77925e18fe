#include "graphics/Graphics.h"
#include "raster/SysBitmap.h"

RasterBitmap* CreateSurfaceBitmap(int width, int height)
{
    return new SysBitmap(width, height);
}
