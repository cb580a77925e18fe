#pragma once
// A plain per-pixel model of the blits and fills, written independently of the library:
// each destination pixel is visited, the source pixel that lands on it (if any) is found
// from the geometry, and the channel formulas are evaluated one channel at a time.
// The randomized tests compare the library against it.

#include "raster/MemBitmap.h"
#include "raster/PixelRect.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace pixelref
{
// Channels of a pixel in memory order: [0] = B, [1] = G, [2] = R, [3] = A.
struct Channels
{
    int c[4];
};

inline Channels Split(std::uint32_t p)
{
    return {{int(p & 0xFF), int((p >> 8) & 0xFF), int((p >> 16) & 0xFF), int(p >> 24)}};
}

inline std::uint32_t Join(const Channels& ch)
{
    std::uint32_t p = 0;
    for (int i = 0; i < 4; ++i)
        p |= std::uint32_t(ch.c[i] & 0xFF) << (8 * i);
    return p;
}

inline int Clamp(int x)
{
    return std::clamp(x, 0, 255);
}

// Integer weight from a float weight (weights used in the tests stay within +-16).
inline int IntWeight(float weight)
{
    return static_cast<int>(static_cast<double>(weight) * 256.0);
}

// The channel rules of blend modes 0-4 (HSV is modelled separately below).
inline int Channel(int rule, int d, int s, int w)
{
    switch (rule)
    {
    case 0:
        return s + (d - s) * (256 - w) / 256;
    case 1:
        return Clamp(d + w * s / 256);
    case 2:
    {
        const int f = w * s / 256;
        return std::min(f > 254 ? d * 256 : d * 256 / (256 - f), 255);
    }
    case 3:
        return (w * s + (256 - w) * 256) * d / 65536;
    case 4:
    {
        const int k = w * s + (256 - w) * 128;
        return Clamp(((32768 - k) * d / 256 + k) * d / 32768);
    }
    }
    return d;
}

inline int Recip(int x)
{
    return x == 0 ? 0 : 65536 / x - 1;
}

// HSV adjustment of destination (R, G, B), written as a direct transcription of the hue
// sectors and the sextant table.
inline std::uint32_t Hsv(std::uint32_t dest, int r, int g, int b, int alpha, int k)
{
    const Channels d = Split(dest);
    const int R = d.c[2], G = d.c[1], B = d.c[0];
    int mx, delta, base, num;
    if (R >= G && R > B)
    {
        mx = R;
        base = G >= B ? 0 : 383;
        delta = G >= B ? R - B : R - G;
        num = G - B;
    }
    else if (R < G && B < G)
    {
        mx = G, base = 128, num = B - R, delta = G - std::min(B, R);
    }
    else if (R < G)
    {
        mx = B, base = 256, num = R - G, delta = B - R;
    }
    else
    {
        mx = B, base = 256, num = R - G, delta = B - G;
    }
    int hue = base + num * (Recip(delta) + 1) / 1024 + k * (r + r / 2 - 192) / 256;
    if (hue < 0)
        hue += 384;
    else if (hue >= 384)
        hue -= 384;
    const int s = Clamp(delta * Recip(mx) / 256 + k * (g - 128) / 128);
    const int v = Clamp(mx + k * (b - 128) / 128);
    const int p = (256 - s) * v / 256;
    int oR, oG, oB;
    if (hue < 64)
        oR = v, oG = v * (16384 - s * (64 - hue)) / 16384, oB = p;
    else if (hue < 128)
        oR = (s * (64 - hue) + 16384) * v / 16384, oG = v, oB = p;
    else if (hue < 192)
        oR = p, oG = v, oB = v * (16384 - s * (192 - hue)) / 16384;
    else if (hue < 256)
        oR = p, oG = ((192 - hue) * s + 16384) * v / 16384, oB = v;
    else if (hue < 320)
        oR = v * (16384 - s * (320 - hue)) / 16384, oG = p, oB = v;
    else
        oR = v, oG = p, oB = v * (s * (320 - hue) + 16384) / 16384;
    return Join({{oB, oG, oR, alpha}});
}

// One pixel of a blit or fill under rule 0-5 without source alpha: source channels s.
inline std::uint32_t Plain(int rule, std::uint32_t dest, const Channels& s, int w)
{
    if (rule == 5)
        return Hsv(dest, s.c[2], s.c[1], s.c[0], s.c[3], w);
    if (rule == 0 && w <= 0)
        return dest;
    Channels d = Split(dest);
    for (int i = 0; i < 4; ++i)
        d.c[i] = Channel(rule, d.c[i], s.c[i], w);
    return Join(d);
}

// One pixel of a blit with BlendUseSourceAlpha.
inline std::uint32_t WithSourceAlpha(int rule, std::uint32_t dest, std::uint32_t src, int w)
{
    const Channels s = Split(src);
    const int a = s.c[3];
    const int ws = w * (a + 1) / 256;
    if (rule == 0)
    {
        if (a == 0)
            return dest;
        Channels d = Split(dest);
        if (w == 256)
        {
            if (a == 255)
                return src;
            for (int i = 0; i < 3; ++i)
                d.c[i] = s.c[i] + (d.c[i] - s.c[i]) * (255 - a) / 256;
            d.c[3] = std::min(255, d.c[3] + a);
            return Join(d);
        }
        for (int i = 0; i < 3; ++i)
            d.c[i] = s.c[i] + (d.c[i] - s.c[i]) * (256 - ws) / 256;
        d.c[3] = std::min(255, d.c[3] + ws);
        return Join(d);
    }
    if ((rule == 1 || rule == 3) && a == 0)
        return dest;
    if (rule == 5)
        return Hsv(dest, s.c[2], s.c[1], s.c[0], a, ws);
    if (rule > 5)
        return dest;
    return Plain(rule, dest, s, ws);
}

// A bitmap's image as a plain width x height array, row by row.
struct Image
{
    int width = 0, height = 0;
    std::vector<std::uint32_t> px;
    std::uint32_t& at(int x, int y) { return px[std::size_t(y) * width + x]; }
};

inline Image Capture(RasterBitmap& b)
{
    Image img{b.Width(), b.Height(), std::vector<std::uint32_t>(std::size_t(b.Width()) * b.Height())};
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
        {
            const int row = b.IsBottomUp() ? b.Height() - 1 - y : y;
            img.at(x, y) = b.PixelData()[std::size_t(row) * b.RowStride() + x];
        }
    return img;
}

// The blit on images: visit every destination pixel and find its source pixel.
inline void Blit(Image& dest, Image& src, int destX, int destY, const PixelRect* rect, float weight, int mode)
{
    if (weight == 0.0f)
        return;
    const int rl = rect ? rect->left : 0, rt = rect ? rect->top : 0;
    const int sxMin = std::max(rl, 0), syMin = std::max(rt, 0);
    const int sxEnd = rect ? std::min(rect->right, src.width) : src.width;
    const int syEnd = rect ? std::min(rect->bottom, src.height) : src.height;
    const int low = mode & 0xFF;
    const bool sa = (mode & 0x10000) != 0;
    const int w = IntWeight(weight);
    for (int y = 0; y < dest.height; ++y)
        for (int x = 0; x < dest.width; ++x)
        {
            const long long sx = (long long)x - destX + rl, sy = (long long)y - destY + rt;
            if (sx < sxMin || sx >= sxEnd || sy < syMin || sy >= syEnd)
                continue;
            std::uint32_t& d = dest.at(x, y);
            const std::uint32_t s = src.at(int(sx), int(sy));
            if (low >= 0xF0)
            {
                Channels dc = Split(d);
                dc.c[(mode >> 2) & 3] = Split(s).c[mode & 3];
                d = Join(dc);
            }
            else if (low == 0 && !sa && weight == 1.0f)
                d = s;
            else if (low == 0 && !sa && weight == 0.5f)
            {
                Channels dc = Split(d);
                const Channels scs = Split(s);
                for (int i = 0; i < 4; ++i)
                    dc.c[i] = scs.c[i] / 2 + dc.c[i] / 2;
                d = Join(dc);
            }
            else if (w == 0)
                continue;
            else if (sa)
                d = WithSourceAlpha(low, d, s, w);
            else
                d = Plain(low, d, Split(s), w);
        }
}

// The fill on an image.
inline void Fill(Image& dest, int x0, int y0, int w, int h, std::uint32_t colour, float weight, int mode)
{
    if (mode & 0x10000)
        weight = weight * (float(colour >> 24) / 255.0f);
    const int wi = IntWeight(weight);
    const int low = mode & 0xFF;
    if (weight == 0.0f)
        return;
    const Channels c = Split(colour);
    for (int y = std::max(y0, 0); y < std::min<long long>((long long)y0 + h, dest.height); ++y)
        for (int x = std::max(x0, 0); x < std::min<long long>((long long)x0 + w, dest.width); ++x)
        {
            std::uint32_t& d = dest.at(x, y);
            if (low == 0 && (wi == 64 || wi == 128 || wi == 192 || wi == 256))
            {
                // The word fast paths, as a per-channel mix of halves and quarters.
                Channels dc = Split(d);
                for (int i = 0; i < 4; ++i)
                {
                    const int cv = c.c[i], dv = dc.c[i];
                    dc.c[i] = wi == 256   ? cv
                              : wi == 128 ? cv / 2 + dv / 2
                              : wi == 64  ? dv / 2 + cv / 4 + dv / 4
                                          : cv / 4 + dv / 4 + cv / 2;
                }
                d = Join(dc);
            }
            else if (wi != 0 && low <= 5)
                d = Plain(low, d, {{c.c[0], c.c[1], c.c[2], wi}}, wi);
        }
}

// Random pixels with a good share of the alpha values 0 and 255.
inline std::uint32_t RandomPixel(std::mt19937& rng)
{
    std::uint32_t p = static_cast<std::uint32_t>(rng());
    switch (rng() % 4)
    {
    case 0:
        p &= 0x00FFFFFF;
        break;
    case 1:
        p |= 0xFF000000;
        break;
    default:
        break;
    }
    return p;
}

inline void Randomize(RasterBitmap& b, std::mt19937& rng)
{
    // The whole block including the row padding, so stray writes into it would show.
    const std::size_t count = std::size_t(b.RowStride()) * b.Height();
    for (std::size_t i = 0; i < count; ++i)
        b.PixelData()[i] = RandomPixel(rng);
}
} // namespace pixelref
