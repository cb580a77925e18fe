#include "raster/Combine.h"
#include "raster/ReciprocalTable.h"

#include <algorithm>

namespace
{
// Hue circle of 384 units, 64 per sextant: red 0, yellow 64, green 128, cyan 192, blue
// 256, magenta 320.
constexpr int kHueCircle = 384;
} // namespace

void CombineHsvAdjust(PackedPixel& dest, int r, int g, int b, int alpha, int weight)
{
    const int R = PixelR(dest);
    const int G = PixelG(dest);
    const int B = PixelB(dest);
    const auto& T = ReciprocalTable;

    // RGB to hue: the sector of the largest channel gives the base, and the difference of
    // the other two over delta (max - min) places the hue within +-64 of it. Red's sector
    // is split: base 0 going up toward yellow, base 383 going down from magenta.
    int maxValue, delta, base, numerator;
    if (R >= G && R > B)
    {
        maxValue = R;
        if (G >= B)
        {
            base = 0;
            delta = R - B;
        }
        else
        {
            base = 383;
            delta = R - G;
        }
        numerator = G - B;
    }
    else if (R < G && B < G)
    {
        maxValue = G;
        base = 128;
        numerator = B - R;
        delta = G - std::min(B, R);
    }
    else if (R < G)
    {
        maxValue = B;
        base = 256;
        numerator = R - G;
        delta = B - R;
    }
    else
    {
        maxValue = B;
        base = 256;
        numerator = R - G;
        delta = B - G;
    }

    // numerator * (T[delta] + 1) / 1024 is numerator * 64 / delta. The hue adjustment
    // r + r/2 - 192 spans -192..190 units, half the circle either way.
    int hue = base + numerator * (T[delta] + 1) / 1024 + weight * (r + r / 2 - 192) / 256;
    if (hue < 0)
        hue += kHueCircle;
    else if (hue >= kHueCircle)
        hue -= kHueCircle;
    // Only weights beyond full strength can push the hue further than one turn; wrap those
    // onto the circle too rather than leaving the sextant table.
    if (hue < 0 || hue >= kHueCircle)
        hue = ((hue % kHueCircle) + kHueCircle) % kHueCircle;

    // Saturation delta/max in 1/256 steps (delta * T[max] / 256), value = max; each
    // shifted by the weighted adjustment and clamped.
    const int s = combine_detail::Clamp255(delta * T[maxValue] / 256 + weight * (g - 128) / 128);
    const int v = combine_detail::Clamp255(maxValue + weight * (b - 128) / 128);

    // Back to RGB. p = v * (1 - s) is the smallest channel; in each sextant one channel is
    // v, one is p and the third ramps between them: v * (1 - s * (distance to the next
    // sextant edge) / 64), with s/256 * distance/64 scaled by 16384 = 256 * 64.
    const int p = (256 - s) * v / 256;
    int outR, outG, outB;
    switch (hue / 64)
    {
    case 0:
        outR = v;
        outG = v * (16384 - s * (64 - hue)) / 16384;
        outB = p;
        break;
    case 1:
        outR = (s * (64 - hue) + 16384) * v / 16384;
        outG = v;
        outB = p;
        break;
    case 2:
        outR = p;
        outG = v;
        outB = v * (16384 - s * (192 - hue)) / 16384;
        break;
    case 3:
        outR = p;
        outG = ((192 - hue) * s + 16384) * v / 16384;
        outB = v;
        break;
    case 4:
        outR = v * (16384 - s * (320 - hue)) / 16384;
        outG = p;
        outB = v;
        break;
    default:
        outR = v;
        outG = p;
        outB = v * (s * (320 - hue) + 16384) / 16384;
        break;
    }
    dest = MakePackedPixel(alpha, outR, outG, outB);
}
