#include "raster/Combine.h"
#include "raster/BlendMode.h"
#include "raster/ReciprocalTable.h"

#include <gtest/gtest.h>

TEST(ReciprocalTable, Values)
{
    EXPECT_EQ(ReciprocalTable[0], 0);
    EXPECT_EQ(ReciprocalTable[1], 65535);
    EXPECT_EQ(ReciprocalTable[2], 32767);
    EXPECT_EQ(ReciprocalTable[3], 21844);
    EXPECT_EQ(ReciprocalTable[150], 435);
    EXPECT_EQ(ReciprocalTable[200], 326);
    EXPECT_EQ(ReciprocalTable[255], 256);
}

TEST(BlendWeight, TruncatesTheScaledWeight)
{
    EXPECT_EQ(BlendWeightToInt(1.0f), 256);
    EXPECT_EQ(BlendWeightToInt(0.25f), 64);
    EXPECT_EQ(BlendWeightToInt(0.999f), 255);
    EXPECT_EQ(BlendWeightToInt(-0.999f), -255); // toward zero
    EXPECT_EQ(BlendWeightToInt(1.0f / 512.0f), 0);
    EXPECT_EQ(BlendWeightToInt(225.0f / 255.0f), 225);
    EXPECT_EQ(BlendWeightToInt(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(BlendWeightToInt(1e30f), kMaxBlendWeight);
    EXPECT_EQ(BlendWeightToInt(-1e30f), -kMaxBlendWeight);
}

namespace
{
// One channel rule case, worked by hand: destination d, source s, weight w -> expected.
// The same values are given on all four channels at once (B, G, R, A in that order of
// a PackedPixel) by using four different cases per row of the table below.
struct ChannelCase
{
    int rule;
    int d, s, w;
    int expected;
    const char* why;
};

const ChannelCase kChannelCases[] = {
    // Copy: D = S + (D - S) * (256 - w) / 256
    {BlendCopy, 200, 100, 64, 175, "100 + 100*192/256 = 175"},
    {BlendCopy, 100, 200, 64, 125, "200 - 100*192/256 = 125"},
    {BlendCopy, 0, 255, 1, 1, "255 + (-255*255)/256 truncates to -254"},
    {BlendCopy, 17, 99, 256, 99, "full weight copies"},
    {BlendCopy, 17, 99, 0, 17, "no weight, no change"},
    {BlendCopy, 17, 99, -64, 17, "negative weight draws nothing"},
    // Add: clamp(D + w*S/256)
    {BlendAdd, 200, 100, 256, 255, "200 + 100 saturates"},
    {BlendAdd, 200, 100, 128, 250, "200 + 50"},
    {BlendAdd, 10, 255, 1, 10, "1*255/256 = 0"},
    {BlendAdd, 10, 200, -256, 0, "negative weight clamps at 0"},
    // Dodge: f = w*S/256; min(f > 254 ? D*256 : D*256/(256-f), 255)
    {BlendDodge, 100, 128, 256, 200, "f = 128: 25600/128"},
    {BlendDodge, 10, 200, 128, 16, "f = 100: 2560/156 = 16.4"},
    {BlendDodge, 100, 255, 256, 255, "f = 255: capped"},
    {BlendDodge, 1, 254, 256, 128, "f = 254: 256/2"},
    {BlendDodge, 0, 255, 256, 0, "black stays black"},
    // Multiply: (w*S + (256-w)*256) * D / 65536
    {BlendMultiply, 200, 128, 256, 100, "200 * 128/256"},
    {BlendMultiply, 200, 0, 128, 100, "half black: 32768*200/65536"},
    {BlendMultiply, 255, 255, 256, 254, "65280*255/65536 = 254.003"},
    {BlendMultiply, 77, 0, 0, 77, "no weight"},
    // Overlay: k = w*S + (256-w)*128; clamp(((32768-k)*D/256 + k)*D/32768)
    {BlendOverlay, 100, 128, 256, 100, "mid-grey is neutral"},
    {BlendOverlay, 100, 0, 256, 39, "k = 0: 12800*100/32768 = 39.06"},
    {BlendOverlay, 100, 255, 256, 160, "k = 65280: (-12700 + 65280)*100/32768 = 160.5"},
    {BlendOverlay, 200, 255, 256, 243, "(-25400 + 65280)*200/32768 = 243.4"},
    {BlendOverlay, 200, 0, 0, 200, "no weight: k = 32768"},
    {BlendOverlay, 177, 143, 200, 182,
     "k = 35768: -3000*177/256 truncates to -2074; 33694*177/32768 = 182.0"},
};

PackedPixel Splat(int v)
{
    return MakePackedPixel(v, v, v, v);
}
} // namespace

TEST(Combine, ChannelRulesOnAllFourChannels)
{
    for (const ChannelCase& c : kChannelCases)
    {
        PackedPixel p = Splat(c.d);
        CombinePixel(c.rule, p, c.s, c.s, c.s, c.s, c.w);
        EXPECT_EQ(p, Splat(c.expected)) << "rule " << c.rule << ": " << c.why;
    }
}

TEST(Combine, ChannelsAreIndependent)
{
    // Each channel pairs with its own source channel: B with b, G with g, R with r, A with a.
    PackedPixel p = MakePackedPixel(/*a*/ 10, /*r*/ 200, /*g*/ 100, /*b*/ 0);
    CombineAdd(p, /*r*/ 100, /*g*/ 50, /*b*/ 255, /*a*/ 20, 256);
    EXPECT_EQ(p, MakePackedPixel(30, 255, 150, 255));

    p = MakePackedPixel(255, 200, 100, 50);
    CombineCopy(p, 0, 0, 0, 0, 128);
    EXPECT_EQ(p, MakePackedPixel(127, 100, 50, 25));
}

TEST(Combine, NamedFunctionsMatchTheRuleNumbers)
{
    PackedPixel a = MakePackedPixel(1, 2, 3, 4), b = a;
    CombineDodge(a, 10, 20, 30, 40, 200);
    CombinePixel(BlendDodge, b, 10, 20, 30, 40, 200);
    EXPECT_EQ(a, b);
    // Rule numbers beyond the table leave the pixel alone.
    for (int rule : {6, 0x20, 0xEF, 0xF0, -1})
    {
        PackedPixel p = 0x12345678u;
        CombinePixel(rule, p, 255, 255, 255, 255, 256);
        EXPECT_EQ(p, 0x12345678u) << rule;
    }
}

namespace
{
struct HsvCase
{
    int R, G, B;    // destination colour
    int r, g, b;    // adjustment
    int weight;     //
    int eR, eG, eB; // expected colour
    const char* why;
};

// Worked by hand through the hue sectors, the reciprocal table and the sextant table.
const HsvCase kHsvCases[] = {
    {255, 0, 0, 128, 128, 128, 256, 255, 0, 0, "neutral adjustment keeps pure red"},
    {100, 100, 100, 128, 128, 128, 256, 100, 100, 100, "grey: delta 0, hue 256, s 0"},
    {255, 0, 0, 171, 128, 128, 256, 255, 255, 0, "hue +64 (171*1.5-192): red to yellow"},
    {255, 0, 0, 0, 128, 128, 256, 0, 255, 255, "hue -192 wraps to 192: red to cyan"},
    {200, 100, 50, 128, 128, 128, 256, 200, 99, 50, "hue 21, s 191, v 200, p 50; G = 200*8171/16384"},
    {200, 100, 50, 128, 0, 128, 256, 200, 200, 200, "saturation -256 clamps to 0: grey at v"},
    {200, 100, 50, 128, 0, 255, 256, 255, 255, 255, "value +254 clamps to 255"},
    {255, 0, 100, 128, 128, 128, 256, 255, 0, 104, "base 383: -100*257/1024 truncates to -25, hue 358"},
    {10, 100, 200, 128, 128, 128, 256, 11, 99, 200, "blue sector: hue 226, s 241, p 11"},
    {50, 200, 120, 128, 128, 128, 256, 50, 200, 118, "green sector: hue 157, s 191"},
    {200, 100, 50, 255, 255, 255, 0, 200, 99, 50, "weight 0 only round-trips"},
};
} // namespace

TEST(Combine, HsvAdjust)
{
    for (const HsvCase& c : kHsvCases)
    {
        PackedPixel p = MakePackedPixel(77, c.R, c.G, c.B);
        CombineHsvAdjust(p, c.r, c.g, c.b, 0x1C5, c.weight);
        EXPECT_EQ(p, MakePackedPixel(0xC5, c.eR, c.eG, c.eB)) << c.why;
    }
}

TEST(Combine, HsvAdjustWrapsHugeHueShiftsOntoTheCircle)
{
    // Weight 16x: hue 0 + 4096*190/256 = 3040 = 7 turns + 352, in the magenta sextant.
    PackedPixel p = MakePackedPixel(0, 255, 0, 0);
    CombineHsvAdjust(p, 255, 128, 128, 255, kMaxBlendWeight);
    // s 255, v 255, p 0, hue 352: B = 255*(255*(320-352) + 16384)/16384 = 127.
    EXPECT_EQ(p, MakePackedPixel(255, 255, 0, 127));
}
