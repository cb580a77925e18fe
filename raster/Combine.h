#pragma once
// The per-pixel combine rules shared by blits, fills and glyph drawing. Each takes the
// destination pixel, the source channels r, g, b, a (normally 0-255; a fill passes its
// integer weight as a) and an integer weight (256 = full strength, see BlendWeightToInt),
// and applies its rule to the four channels B, G, R, A alike (CombineHsvAdjust works on
// the colour as a whole). Results are kept to their low 8 bits. Signed 32-bit arithmetic;
// every division truncates toward zero, which the formulas rely on for negative terms.

#include "raster/PackedPixel.h"

namespace combine_detail
{
inline int Clamp255(int x)
{
    return x < 0 ? 0 : (x > 255 ? 255 : x);
}

// Weighted replace. The mix S*w/256 + D*(256-w)/256 written as S + (D-S)*(256-w)/256: one
// multiply per channel, and exactly S at w = 256.
inline int CopyChannel(int d, int s, int w)
{
    return s + (d - s) * (256 - w) / 256;
}

// Saturating add of the weighted source: D + S*w/256, clamped so 200 + 100 stays 255.
inline int AddChannel(int d, int s, int w)
{
    return Clamp255(d + w * s / 256);
}

// Colour dodge D / (1 - f) with f = S*w/256 in 1/256 steps, i.e. D*256/(256-f). From f = 255
// on the divisor would be 1 or less, so the quotient is capped at D*256; the result is
// limited to 255.
inline int DodgeChannel(int d, int s, int w)
{
    const int f = w * s / 256;
    const int t = f > 254 ? d * 256 : d * 256 / (256 - f);
    return t < 255 ? t : 255;
}

// Multiply by the source faded toward white by the weight: D * (S*w + 256*(256-w)) / 256^2.
// At w = 0 the factor is 65536 (D unchanged), at w = 256 it is D*S/256.
inline int MultiplyChannel(int d, int s, int w)
{
    return (w * s + (256 - w) * 256) * d / 65536;
}

// Overlay-style curve. k = S*w + 128*(256-w) is the source faded toward mid-grey, in 1/256
// steps (32768 is neutral). D' = (D*(32768-k)/256 + k) * D / 32768: k = 32768 gives D,
// k = 0 gives D^2/256 (darken), k = 65536 gives 2D - D^2/256 (lighten).
inline int OverlayChannel(int d, int s, int w)
{
    const int k = w * s + (256 - w) * 128;
    return Clamp255(((32768 - k) * d / 256 + k) * d / 32768);
}

// Applies a channel rule to the four channels of dest with the source (b, g, r, a).
template <int (*Rule)(int, int, int)> inline void Apply(PackedPixel& dest, int r, int g, int b, int a, int w)
{
    const PackedPixel d = dest;
    dest = MakePackedPixel(Rule(PixelA(d), a, w), Rule(PixelR(d), r, w), Rule(PixelG(d), g, w),
                           Rule(PixelB(d), b, w));
}
} // namespace combine_detail

// Weighted replace of all four channels; does nothing for weight <= 0.
inline void CombineCopy(PackedPixel& dest, int r, int g, int b, int a, int weight)
{
    if (weight > 0)
        combine_detail::Apply<combine_detail::CopyChannel>(dest, r, g, b, a, weight);
}

inline void CombineAdd(PackedPixel& dest, int r, int g, int b, int a, int weight)
{
    combine_detail::Apply<combine_detail::AddChannel>(dest, r, g, b, a, weight);
}

inline void CombineDodge(PackedPixel& dest, int r, int g, int b, int a, int weight)
{
    combine_detail::Apply<combine_detail::DodgeChannel>(dest, r, g, b, a, weight);
}

inline void CombineMultiply(PackedPixel& dest, int r, int g, int b, int a, int weight)
{
    combine_detail::Apply<combine_detail::MultiplyChannel>(dest, r, g, b, a, weight);
}

inline void CombineOverlay(PackedPixel& dest, int r, int g, int b, int a, int weight)
{
    combine_detail::Apply<combine_detail::OverlayChannel>(dest, r, g, b, a, weight);
}

// Shifts the destination's hue by weight * (r*1.5 - 192) / 256 units of a 384-unit circle,
// its saturation by weight * (g - 128) / 128 and its value by weight * (b - 128) / 128
// (r = 128, g = 128, b = 128 is the neutral adjustment at full weight). The result's
// alpha is `alpha`.
void CombineHsvAdjust(PackedPixel& dest, int r, int g, int b, int alpha, int weight);

// The rule of blend-mode low byte `rule` (BlendCopy ... BlendHsvAdjust) without the
// source-alpha scaling; other values leave dest unchanged.
void CombinePixel(int rule, PackedPixel& dest, int r, int g, int b, int a, int weight);
