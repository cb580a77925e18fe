#include "raster/Combine.h"
#include "raster/BlendMode.h"

void CombinePixel(int rule, PackedPixel& dest, int r, int g, int b, int a, int weight)
{
    switch (rule)
    {
    case BlendCopy:
        CombineCopy(dest, r, g, b, a, weight);
        break;
    case BlendAdd:
        CombineAdd(dest, r, g, b, a, weight);
        break;
    case BlendDodge:
        CombineDodge(dest, r, g, b, a, weight);
        break;
    case BlendMultiply:
        CombineMultiply(dest, r, g, b, a, weight);
        break;
    case BlendOverlay:
        CombineOverlay(dest, r, g, b, a, weight);
        break;
    case BlendHsvAdjust:
        CombineHsvAdjust(dest, r, g, b, a, weight);
        break;
    default:
        break;
    }
}
