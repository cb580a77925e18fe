#include "raster/BlitBitmap.h"

#include "raster/BitmapRows.h"
#include "raster/BlendMode.h"
#include "raster/Combine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace
{
// The clipped block: `width` x `height` pixels from src.first to dest.first.
struct Block
{
    BitmapRows dest;
    BitmapRows src;
    int width = 0;
    int height = 0;
};

// Clips the blit to both bitmaps. The arithmetic is in 64 bits so that extreme positions
// and rectangles cannot wrap.
bool ClipBlit(RasterBitmap& dest, RasterBitmap& src, int destX, int destY, const PixelRect* srcRect,
              Block& block)
{
    std::int64_t dx = destX, dy = destY;
    std::int64_t left = 0, top = 0, right = src.Width(), bottom = src.Height();
    if (srcRect)
    {
        // A rectangle starting left of (above) the source keeps its place on the
        // destination: the part outside the source is skipped by moving the destination.
        if (srcRect->left < 0)
            dx -= srcRect->left;
        else
            left = srcRect->left;
        if (srcRect->top < 0)
            dy -= srcRect->top;
        else
            top = srcRect->top;
        right = std::min<std::int64_t>(srcRect->right, right);
        bottom = std::min<std::int64_t>(srcRect->bottom, bottom);
    }
    if (dx < 0)
    {
        left -= dx;
        dx = 0;
    }
    if (dy < 0)
    {
        top -= dy;
        dy = 0;
    }
    if (right - left > dest.Width() - dx)
        right = dest.Width() - dx + left;
    if (bottom - top > dest.Height() - dy)
        bottom = dest.Height() - dy + top;
    if (left >= right || top >= bottom || !dest.PixelData() || !src.PixelData())
        return false;
    block.dest = RowsAt(dest, static_cast<int>(dx), static_cast<int>(dy));
    block.src = RowsAt(src, static_cast<int>(left), static_cast<int>(top));
    block.width = static_cast<int>(right - left);
    block.height = static_cast<int>(bottom - top);
    return true;
}

template <class Op> void ForEachPixel(const Block& block, Op op)
{
    for (int y = 0; y < block.height; ++y)
    {
        PackedPixel* d = block.dest.Row(y);
        const PackedPixel* s = block.src.Row(y);
        for (int x = 0; x < block.width; ++x)
            op(d[x], s[x]);
    }
}

void CopyRows(const Block& block)
{
    const std::size_t bytes = static_cast<std::size_t>(block.width) * sizeof(PackedPixel);
    for (int y = 0; y < block.height; ++y)
        std::memmove(block.dest.Row(y), block.src.Row(y), bytes);
}

void CopyChannel(const Block& block, int mode)
{
    const int fromShift = (mode & 3) * 8;
    const int toShift = ((mode >> 2) & 3) * 8;
    const PackedPixel keep = ~(PackedPixel{0xFF} << toShift);
    ForEachPixel(block, [=](PackedPixel& d, PackedPixel s)
                 { d = (d & keep) | (((s >> fromShift) & 0xFF) << toShift); });
}

// Copy weighted by each pixel's source alpha. At full weight the colour moves
// (a+1)/256 of the way to the source, written S + (D-S)*(255-a)/256, and the alpha
// accumulates; at a = 255 this is exactly the source pixel (keep 0, alpha saturated), so
// that case needs no branch. Below full weight the step is w' = w*(a+1)/256. Transparent
// source pixels leave the destination alone; the loops select rather than branch so that
// they vectorize whatever the alpha pattern.
void CopyWithSourceAlpha(const Block& block, int w)
{
    if (w == 256)
    {
        ForEachPixel(block,
                     [](PackedPixel& d, PackedPixel s)
                     {
                         const int a = PixelA(s);
                         const int keep = 255 - a;
                         const int r = PixelR(s), g = PixelG(s), b = PixelB(s);
                         const PackedPixel blended = MakePackedPixel(
                             std::min(255, PixelA(d) + a), r + (PixelR(d) - r) * keep / 256,
                             g + (PixelG(d) - g) * keep / 256, b + (PixelB(d) - b) * keep / 256);
                         d = a == 0 ? d : blended;
                     });
        return;
    }
    ForEachPixel(block,
                 [w](PackedPixel& d, PackedPixel s)
                 {
                     const int a = PixelA(s);
                     const int ws = w * (a + 1) / 256;
                     const PackedPixel blended = MakePackedPixel(
                         std::min(255, PixelA(d) + ws), combine_detail::CopyChannel(PixelR(d), PixelR(s), ws),
                         combine_detail::CopyChannel(PixelG(d), PixelG(s), ws),
                         combine_detail::CopyChannel(PixelB(d), PixelB(s), ws));
                     d = a == 0 ? d : blended;
                 });
}

using CombineFn = void (*)(PackedPixel&, int, int, int, int, int);

// A combine rule at one weight for the whole block.
template <CombineFn Combine> void CombineBlock(const Block& block, int w)
{
    ForEachPixel(block, [w](PackedPixel& d, PackedPixel s)
                 { Combine(d, PixelR(s), PixelG(s), PixelB(s), PixelA(s), w); });
}

// A combine rule at w' = w*(a+1)/256 per pixel; transparent source pixels are skipped
// when skipTransparent is set.
template <CombineFn Combine, bool skipTransparent> void CombineBlockWithSourceAlpha(const Block& block, int w)
{
    ForEachPixel(block,
                 [w](PackedPixel& d, PackedPixel s)
                 {
                     const int a = PixelA(s);
                     if (skipTransparent && a == 0)
                         return;
                     Combine(d, PixelR(s), PixelG(s), PixelB(s), a, w * (a + 1) / 256);
                 });
}
} // namespace

void BlitBitmap(RasterBitmap* dest, RasterBitmap* src, int destX, int destY, const PixelRect* srcRect,
                float weight, int mode)
{
    if (!dest || !src || weight == 0.0f)
        return;
    Block block;
    if (!ClipBlit(*dest, *src, destX, destY, srcRect, block))
        return;

    const int rule = mode & BlendRuleMask;
    if (rule >= BlendChannelCopy)
    {
        CopyChannel(block, mode);
        return;
    }
    const bool useSourceAlpha = (mode & BlendUseSourceAlpha) != 0;
    if (rule == BlendCopy && !useSourceAlpha)
    {
        if (weight == 1.0f)
        {
            CopyRows(block);
            return;
        }
        // Halving each byte before the add keeps the bytes from carrying into each other.
        if (weight == 0.5f)
        {
            ForEachPixel(block, [](PackedPixel& d, PackedPixel s)
                         { d = ((s >> 1) & 0x7F7F7F7F) + ((d >> 1) & 0x7F7F7F7F); });
            return;
        }
    }

    const int w = BlendWeightToInt(weight);
    if (w == 0)
        return;
    if (useSourceAlpha)
    {
        switch (rule)
        {
        case BlendCopy:
            CopyWithSourceAlpha(block, w);
            break;
        case BlendAdd:
            CombineBlockWithSourceAlpha<CombineAdd, true>(block, w);
            break;
        case BlendDodge:
            CombineBlockWithSourceAlpha<CombineDodge, false>(block, w);
            break;
        case BlendMultiply:
            CombineBlockWithSourceAlpha<CombineMultiply, true>(block, w);
            break;
        case BlendOverlay:
            CombineBlockWithSourceAlpha<CombineOverlay, false>(block, w);
            break;
        case BlendHsvAdjust:
            CombineBlockWithSourceAlpha<CombineHsvAdjust, false>(block, w);
            break;
        default:
            break;
        }
        return;
    }
    switch (rule)
    {
    case BlendCopy:
        CombineBlock<CombineCopy>(block, w);
        break;
    case BlendAdd:
        CombineBlock<CombineAdd>(block, w);
        break;
    case BlendDodge:
        CombineBlock<CombineDodge>(block, w);
        break;
    case BlendMultiply:
        CombineBlock<CombineMultiply>(block, w);
        break;
    case BlendOverlay:
        CombineBlock<CombineOverlay>(block, w);
        break;
    case BlendHsvAdjust:
        CombineBlock<CombineHsvAdjust>(block, w);
        break;
    default:
        break;
    }
}
