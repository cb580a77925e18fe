#pragma once
// The blend mode word passed to every pixel operation, and the integer weight.
//
// Bits 0-7 choose the rule; bit 16 scales the weight by the source alpha of each pixel
// (blits) or by the colour's alpha (fills). Other bits are ignored. Low-byte values 6 to
// 0xEF draw nothing; 0xF0 to 0xFF copy one channel into another (blits only).

#include <cmath>

enum BlendModeBits : int
{
    BlendCopy = 0,      // replace, weighted
    BlendAdd = 1,       // add, saturating
    BlendDodge = 2,     // colour dodge
    BlendMultiply = 3,  // multiply
    BlendOverlay = 4,   // overlay
    BlendHsvAdjust = 5, // shift hue, saturation and value of the destination
    BlendChannelCopy = 0xF0,
    BlendUseSourceAlpha = 0x10000,
};

constexpr int BlendRuleMask = 0xFF;

// Channel numbers of BlendChannelCopy: the byte index inside a PackedPixel.
enum PixelChannel : int
{
    ChannelB = 0,
    ChannelG = 1,
    ChannelR = 2,
    ChannelA = 3,
};

// The mode word copying channel `from` of the source into channel `to` of the destination.
constexpr int BlendChannelCopyMode(int from, int to)
{
    return BlendChannelCopy | ((to & 3) << 2) | (from & 3);
}

// Largest integer weight magnitude: 16x full strength. Far beyond any meaningful weight,
// and small enough that no channel formula overflows 32 bits.
constexpr int kMaxBlendWeight = 16 * 256;

// The integer weight: trunc(weight * 256), formed in double precision from the float
// (256 = full strength). NaN reads as 0; magnitudes beyond kMaxBlendWeight saturate.
inline int BlendWeightToInt(float weight)
{
    const double scaled = static_cast<double>(weight) * 256.0;
    if (std::isnan(scaled))
        return 0;
    if (scaled >= kMaxBlendWeight)
        return kMaxBlendWeight;
    if (scaled <= -kMaxBlendWeight)
        return -kMaxBlendWeight;
    return static_cast<int>(scaled);
}
