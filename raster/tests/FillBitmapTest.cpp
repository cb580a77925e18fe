#include "raster/FillBitmap.h"
#include "raster/BlendMode.h"
#include "raster/MemBitmap.h"
#include "raster/tests/PixelReference.h"
#include "raster/tests/TestBitmaps.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
void FillAll(RasterBitmap& b, PackedPixel p)
{
    for (int i = 0; i < b.RowStride() * b.Height(); ++i)
        b.PixelData()[i] = p;
}

PackedPixel At(RasterBitmap& b, int x, int y)
{
    return b.PixelData()[y * b.RowStride() + x];
}

std::vector<PackedPixel> Raw(RasterBitmap& b)
{
    return std::vector<PackedPixel>(b.PixelData(), b.PixelData() + b.RowStride() * b.Height());
}

// The result of one fill of a 1 x 1 bitmap.
PackedPixel FillOne(PackedPixel dest, PackedPixel colour, float weight, int mode)
{
    MemBitmap b(1, 1);
    b.PixelData()[0] = dest;
    FillBitmapRect(&b, 0, 0, 1, 1, colour, weight, mode);
    return b.PixelData()[0];
}
} // namespace

TEST(FillBitmapRect, MeterColourWithSourceAlpha)
{
    // 0xE1FFFF64 at weight 1.0 with source alpha: wi = trunc(225/255 * 256) = 225, so each
    // channel moves 225/256 of the way: D' = S + (D - S)*31/256, alpha toward 225.
    // Over 0: B 100 - 100*31/256 = 88, G and R 255 - 255*31/256 = 225, A 225 - 225*31/256 = 198.
    EXPECT_EQ(FillOne(0x00000000u, 0xE1FFFF64u, 1.0f, BlendCopy | BlendUseSourceAlpha),
              MakePackedPixel(198, 225, 225, 88));
    // Over opaque black: alpha 225 + 30*31/256 = 228.
    EXPECT_EQ(FillOne(0xFF000000u, 0xE1FFFF64u, 1.0f, BlendCopy | BlendUseSourceAlpha),
              MakePackedPixel(228, 225, 225, 88));
    // Over white: B 100 + 155*31/256 = 118, G and R stay 255.
    EXPECT_EQ(FillOne(0xFFFFFFFFu, 0xE1FFFF64u, 1.0f, BlendCopy | BlendUseSourceAlpha),
              MakePackedPixel(228, 255, 255, 118));
}

TEST(FillBitmapRect, WordFastPaths)
{
    const struct
    {
        PackedPixel dest, colour;
        float weight;
        int mode;
        PackedPixel expected;
        const char* why;
    } cases[] = {
        {0x12345678u, 0x00ABCDEFu, 1.0f, BlendCopy, 0x00ABCDEFu,
         "weight 1 stores the colour, alpha included"},
        {0x00000000u, 0xFFFFFFFFu, 0.5f, BlendCopy, 0x7F7F7F7Fu, "C/2 + D/2"},
        {0x03030303u, 0x01010101u, 0.5f, BlendCopy, 0x01010101u, "low bits drop before the add"},
        {0x00000000u, 0xFFFFFFFFu, 0.25f, BlendCopy, 0x3F3F3F3Fu, "C/4"},
        {0xFFFFFFFFu, 0x00000000u, 0.25f, BlendCopy, 0xBEBEBEBEu, "D/2 + D/4"},
        {0x00000000u, 0xFFFFFFFFu, 0.75f, BlendCopy, 0xBEBEBEBEu, "C/4 + C/2"},
        {0xFFFFFFFFu, 0x00000000u, 0.75f, BlendCopy, 0x3F3F3F3Fu, "D/4"},
        {0x80808080u, 0x40404040u, 0.25f, BlendCopy, 0x70707070u, "64 + 16 + 32 = 0x70"},
        // Alpha 64 with source alpha: trunc(64/255 * 256) = 64, the quarter path, which also
        // mixes the colour's own alpha byte: 0x40 -> 0x10 over 0.
        {0x00000000u, 0x40FFFFFFu, 1.0f, BlendCopy | BlendUseSourceAlpha, 0x103F3F3Fu,
         "alpha 64 as weight 1/4"},
        // Alpha 255 with source alpha is weight 1: the colour replaces.
        {0x12345678u, 0xFF0000FFu, 1.0f, BlendCopy | BlendUseSourceAlpha, 0xFF0000FFu, "opaque colour"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillOne(c.dest, c.colour, c.weight, c.mode), c.expected) << c.why;
}

TEST(FillBitmapRect, PerPixelRulesTakeTheWeightAsSourceAlpha)
{
    const struct
    {
        PackedPixel dest, colour;
        float weight;
        int mode;
        PackedPixel expected;
        const char* why;
    } cases[] = {
        // Copy at wi 100: D' = S + (D - S)*156/256 with S.A = 100.
        // A 100 + 100*156/256 = 160, R 0 + 200*156/256 = 121, G 255 - 255*156/256 = 100, B 50.
        {MakePackedPixel(200, 200, 0, 50), MakePackedPixel(9, 0, 255, 50), 100.0f / 256.0f, BlendCopy,
         MakePackedPixel(160, 121, 100, 50), "copy moves alpha toward wi"},
        // Add at wi 128: alpha adds 128*128/256 = 64, colours add half.
        {MakePackedPixel(10, 200, 0, 50), MakePackedPixel(0, 200, 255, 100), 0.5f, BlendAdd,
         MakePackedPixel(74, 255, 127, 100), "add"},
        // HSV at weight 1: wi = 256, whose low 8 bits (0) become the alpha.
        {MakePackedPixel(255, 255, 0, 0), MakePackedPixel(0, 171, 128, 128), 1.0f, BlendHsvAdjust,
         MakePackedPixel(0, 255, 255, 0), "hsv writes wi as alpha"},
        // Multiply at weight 1 by mid-grey halves; the alpha multiplies by wi = 256: unchanged.
        {MakePackedPixel(200, 200, 100, 50), MakePackedPixel(0, 128, 128, 128), 1.0f, BlendMultiply,
         MakePackedPixel(200, 100, 50, 25), "multiply"},
        {MakePackedPixel(1, 2, 3, 4), MakePackedPixel(255, 255, 255, 255), 1.0f, BlendChannelCopy,
         MakePackedPixel(1, 2, 3, 4), "channel copies are not fills"},
        {MakePackedPixel(1, 2, 3, 4), MakePackedPixel(255, 255, 255, 255), 1.0f, 6,
         MakePackedPixel(1, 2, 3, 4), "mode 6 draws nothing"},
        {MakePackedPixel(1, 2, 3, 4), MakePackedPixel(0, 255, 255, 255), 1.0f, BlendAdd | BlendUseSourceAlpha,
         MakePackedPixel(1, 2, 3, 4), "transparent colour with source alpha: weight 0"},
        {MakePackedPixel(1, 2, 3, 4), MakePackedPixel(255, 255, 255, 255), 1.0f / 512.0f, BlendAdd,
         MakePackedPixel(1, 2, 3, 4), "integer weight 0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillOne(c.dest, c.colour, c.weight, c.mode), c.expected) << c.why;
}

TEST(FillBitmapRect, Clipping)
{
    const struct
    {
        int x, y, w, h;
        int left, top, right, bottom; // expected filled area, right/bottom exclusive
    } cases[] = {
        {-3, 0, 5, 1, 0, 0, 2, 1},    // columns 0 and 1
        {0, -2, 1, 3, 0, 0, 1, 1},    // row 0
        {5, 4, 100, 100, 5, 4, 7, 6}, // to the right and bottom edges
        {-10, -10, 100, 100, 0, 0, 7, 6},
        {7, 0, 3, 3, 0, 0, 0, 0},  // past the right edge
        {-3, 0, 3, 3, 0, 0, 0, 0}, // ends at column 0
        {2, 2, 0, 3, 0, 0, 0, 0},  // empty
        {2, 2, -3, 3, 0, 0, 0, 0}, // negative width
        {2147483600, 0, 100, 1, 0, 0, 0, 0},
        {-2147483647, 0, 2147483647, 1, 0, 0, 0, 0},
    };
    for (const auto& c : cases)
    {
        MemBitmap b(7, 6);
        FillAll(b, 0);
        FillBitmapRect(&b, c.x, c.y, c.w, c.h, 0xFFFFFFFFu, 1.0f, BlendCopy);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
            {
                const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                EXPECT_EQ(At(b, x, y), inside ? 0xFFFFFFFFu : 0u)
                    << "fill " << c.x << "," << c.y << " " << c.w << "x" << c.h << " at " << x << "," << y;
            }
    }
}

TEST(FillBitmapRect, NothingToFill)
{
    MemBitmap b(4, 4), empty;
    FillAll(b, 0x01020304u);
    const std::vector<PackedPixel> before = Raw(b);
    FillBitmapRect(&b, 0, 0, 4, 4, 0xFFFFFFFFu, 0.0f, BlendCopy);
    FillBitmapRect(&b, 0, 0, 4, 4, 0x00FFFFFFu, 1.0f, BlendCopy | BlendUseSourceAlpha);
    FillBitmapRect(&b, 0, 0, 4, 4, 0xFFFFFFFFu, std::numeric_limits<float>::quiet_NaN(), BlendCopy);
    EXPECT_EQ(Raw(b), before);
    FillBitmapRect(nullptr, 0, 0, 4, 4, 0xFFFFFFFFu, 1.0f, BlendCopy);
    FillBitmapRect(&empty, 0, 0, 4, 4, 0xFFFFFFFFu, 1.0f, BlendCopy);
}

TEST(FillBitmapRect, BottomUpRowsAreCountedFromTheBottom)
{
    BottomUpBitmap b(3, 4, 3);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 3; ++x)
            b.MemoryRow(row)[x] = 0;
    FillBitmapRect(&b, 1, 0, 2, 1, 0xFFFFFFFFu, 1.0f, BlendCopy); // image row 0
    FillBitmapRect(&b, 0, 2, 1, 1, 0x80808080u, 1.0f, BlendCopy); // image row 2
    EXPECT_EQ(b.MemoryRow(3)[0], 0u);
    EXPECT_EQ(b.MemoryRow(3)[1], 0xFFFFFFFFu);
    EXPECT_EQ(b.MemoryRow(3)[2], 0xFFFFFFFFu);
    EXPECT_EQ(b.MemoryRow(1)[0], 0x80808080u);
    EXPECT_EQ(b.MemoryRow(0)[1], 0u);
    EXPECT_EQ(b.MemoryRow(2)[0], 0u);
}

TEST(ClearBitmap, ZeroesTheImageButNotThePadding)
{
    MemBitmap b(5, 3);
    ASSERT_EQ(b.RowStride(), 8);
    FillAll(b, 0xDEADBEEFu);
    ClearBitmap(&b);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(At(b, x, y), x < 5 ? 0u : 0xDEADBEEFu) << x << "," << y;
    MemBitmap empty;
    ClearBitmap(&empty);
    ClearBitmap(nullptr);
}

TEST(FillBitmapRect, RandomizedAgainstThePerPixelModel)
{
    std::mt19937 rng(7031);
    const float weights[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.3f, 0.999f, 1.0f / 256.0f, 0.1f, -0.25f, 1.25f};
    const int rules[] = {0, 1, 2, 3, 4, 5, 6, 0xF0, 0xFF};
    for (int iteration = 0; iteration < 3000; ++iteration)
    {
        MemBitmap b(1 + rng() % 13, 1 + rng() % 11);
        pixelref::Randomize(b, rng);
        const int x = int(rng() % 25) - 8, y = int(rng() % 23) - 8;
        const int w = int(rng() % 20) - 2, h = int(rng() % 18) - 2;
        const PackedPixel colour = pixelref::RandomPixel(rng);
        const float weight =
            rng() % 4 == 0 ? float(rng() % 1000) / 999.0f : weights[rng() % std::size(weights)];
        int mode = rules[rng() % std::size(rules)];
        if (rng() % 2)
            mode |= BlendUseSourceAlpha;

        pixelref::Image expected = pixelref::Capture(b);
        pixelref::Fill(expected, x, y, w, h, colour, weight, mode);
        std::vector<PackedPixel> padding;
        for (int row = 0; row < b.Height(); ++row)
            for (int col = b.Width(); col < b.RowStride(); ++col)
                padding.push_back(At(b, col, row));

        FillBitmapRect(&b, x, y, w, h, colour, weight, mode);
        ASSERT_EQ(pixelref::Capture(b).px, expected.px)
            << "iteration " << iteration << " mode " << std::hex << mode << " colour " << colour << std::dec
            << " weight " << weight;
        std::vector<PackedPixel> paddingAfter;
        for (int row = 0; row < b.Height(); ++row)
            for (int col = b.Width(); col < b.RowStride(); ++col)
                paddingAfter.push_back(At(b, col, row));
        ASSERT_EQ(paddingAfter, padding);
    }
}
