#include "raster/FillBitmap.h"

#include "raster/BitmapRows.h"
#include "raster/BlendMode.h"
#include "raster/Combine.h"

#include <cstdint>
#include <cstring>

namespace
{
struct Area
{
    BitmapRows rows;
    int width = 0;
    int height = 0;
};

template <class Op> void ForEachPixel(const Area& area, Op op)
{
    for (int y = 0; y < area.height; ++y)
    {
        PackedPixel* d = area.rows.Row(y);
        for (int x = 0; x < area.width; ++x)
            op(d[x]);
    }
}

using CombineFn = void (*)(PackedPixel&, int, int, int, int, int);

// The rule at integer weight wi, with the weight standing in for the source alpha.
template <CombineFn Combine> void CombineArea(const Area& area, PackedPixel colour, int wi)
{
    const int r = PixelR(colour), g = PixelG(colour), b = PixelB(colour);
    ForEachPixel(area, [=](PackedPixel& d) { Combine(d, r, g, b, wi, wi); });
}
} // namespace

void FillBitmapRect(RasterBitmap* dest, int x, int y, int w, int h, PackedPixel colour, float weight,
                    int mode)
{
    if (!dest)
        return;
    if (mode & BlendUseSourceAlpha)
        weight = weight * (static_cast<float>(PixelA(colour)) / 255.0f);

    // Clip in 64 bits so that no sum of position and size wraps.
    std::int64_t left = x, top = y, width = w, height = h;
    if (left < 0)
    {
        width += left;
        left = 0;
    }
    if (top < 0)
    {
        height += top;
        top = 0;
    }
    if (left + width > dest->Width())
        width = dest->Width() - left;
    if (top + height > dest->Height())
        height = dest->Height() - top;
    if (weight == 0.0f || !dest->PixelData() || width <= 0 || height <= 0 || dest->RowStride() <= 0)
        return;

    Area area;
    area.rows = RowsAt(*dest, static_cast<int>(left), static_cast<int>(top));
    area.width = static_cast<int>(width);
    area.height = static_cast<int>(height);

    const int rule = mode & BlendRuleMask;
    const int wi = BlendWeightToInt(weight);
    if (rule == BlendCopy)
    {
        // Weights 1, 1/2, 1/4 and 3/4 on whole words: each byte is pre-shifted and masked
        // so that the partial sums cannot carry into the neighbouring byte.
        const PackedPixel c = colour;
        switch (wi)
        {
        case 256:
            ForEachPixel(area, [c](PackedPixel& d) { d = c; });
            return;
        case 128: // C/2 + D/2
            ForEachPixel(area,
                         [c](PackedPixel& d) { d = ((c >> 1) & 0x7F7F7F7F) + ((d >> 1) & 0x7F7F7F7F); });
            return;
        case 64: // D/2 + C/4 + D/4
            ForEachPixel(area,
                         [c](PackedPixel& d) {
                             d = ((d >> 1) & 0x7F7F7F7F) + ((c >> 2) & 0x3F3F3F3F) + ((d >> 2) & 0x3F3F3F3F);
                         });
            return;
        case 192: // C/4 + D/4 + C/2
            ForEachPixel(area,
                         [c](PackedPixel& d) {
                             d = ((c >> 2) & 0x3F3F3F3F) + ((d >> 2) & 0x3F3F3F3F) + ((c >> 1) & 0x7F7F7F7F);
                         });
            return;
        default:
            break;
        }
    }
    if (wi == 0)
        return;
    switch (rule)
    {
    case BlendCopy:
        CombineArea<CombineCopy>(area, colour, wi);
        break;
    case BlendAdd:
        CombineArea<CombineAdd>(area, colour, wi);
        break;
    case BlendDodge:
        CombineArea<CombineDodge>(area, colour, wi);
        break;
    case BlendMultiply:
        CombineArea<CombineMultiply>(area, colour, wi);
        break;
    case BlendOverlay:
        CombineArea<CombineOverlay>(area, colour, wi);
        break;
    case BlendHsvAdjust:
        CombineArea<CombineHsvAdjust>(area, colour, wi);
        break;
    default:
        break;
    }
}

void ClearBitmap(RasterBitmap* dest)
{
    if (!dest || !dest->PixelData() || dest->Width() <= 0 || dest->Height() <= 0)
        return;
    const BitmapRows rows = RowsAt(*dest, 0, 0);
    const std::size_t bytes = static_cast<std::size_t>(dest->Width()) * sizeof(PackedPixel);
    for (int y = 0; y < dest->Height(); ++y)
        std::memset(rows.Row(y), 0, bytes);
}
