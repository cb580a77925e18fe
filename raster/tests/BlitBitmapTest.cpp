#include "raster/BlitBitmap.h"
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

// A source whose pixel (x, y) encodes its own position, fully opaque.
void NumberPixels(RasterBitmap& b)
{
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            b.PixelData()[y * b.RowStride() + x] = MakePackedPixel(255, 0, y, x);
}

std::vector<PackedPixel> Raw(RasterBitmap& b)
{
    return std::vector<PackedPixel>(b.PixelData(), b.PixelData() + b.RowStride() * b.Height());
}

constexpr PackedPixel kBackground = 0x11223344u;
} // namespace

TEST(BlitBitmap, NegativeDestXSkipsTheLeftColumns)
{
    MemBitmap src(30, 4), dest(40, 4);
    NumberPixels(src);
    FillAll(dest, kBackground);
    BlitBitmap(&dest, &src, -10, 0, nullptr, 1.0f, BlendCopy);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(At(dest, x, 2), x < 20 ? MakePackedPixel(255, 0, 2, x + 10) : kBackground) << x;
}

TEST(BlitBitmap, NegativeSourceRectangleMovesTheDestination)
{
    MemBitmap src(8, 8), dest(20, 20);
    NumberPixels(src);
    FillAll(dest, kBackground);
    const PixelRect rect{-5, -2, 3, 2};
    BlitBitmap(&dest, &src, 4, 6, &rect, 1.0f, BlendCopy);
    // Source column 0 lands at 4 + 5, row 0 at 6 + 2; 3 x 2 pixels are drawn.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
        {
            const bool inside = x >= 9 && x < 12 && y >= 8 && y < 10;
            EXPECT_EQ(At(dest, x, y), inside ? MakePackedPixel(255, 0, y - 8, x - 9) : kBackground)
                << x << "," << y;
        }
}

TEST(BlitBitmap, ClipsAtTheRightAndBottomEdges)
{
    MemBitmap src(10, 10), dest(12, 12);
    NumberPixels(src);
    FillAll(dest, kBackground);
    const PixelRect rect{2, 3, 9, 10};
    BlitBitmap(&dest, &src, 7, 8, &rect, 1.0f, BlendCopy);
    // 5 x 4 pixels fit: dest (7..11, 8..11) from source (2..6, 3..6).
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
        {
            const bool inside = x >= 7 && y >= 8;
            EXPECT_EQ(At(dest, x, y), inside ? MakePackedPixel(255, 0, y - 5, x - 5) : kBackground)
                << x << "," << y;
        }
}

TEST(BlitBitmap, NothingHappens)
{
    MemBitmap src(6, 6), dest(8, 8), empty;
    NumberPixels(src);
    FillAll(dest, kBackground);
    const std::vector<PackedPixel> before = Raw(dest);
    const PixelRect outside{6, 0, 10, 6};
    const PixelRect leftOf{-10, 0, -1, 6};
    const PixelRect inverted{4, 4, 2, 2};
    struct
    {
        int x, y;
        const PixelRect* rect;
        float weight;
        int mode;
        RasterBitmap* source;
        const char* why;
    } cases[] = {
        {0, 0, nullptr, 0.0f, BlendCopy, &src, "weight 0"},
        {0, 0, nullptr, 0.0f, BlendChannelCopy, &src, "weight 0 stops channel copies too"},
        {0, 0, &outside, 1.0f, BlendCopy, &src, "rectangle right of the source"},
        {0, 0, &leftOf, 1.0f, BlendCopy, &src, "rectangle left of the source"},
        {0, 0, &inverted, 1.0f, BlendCopy, &src, "inverted rectangle"},
        {8, 0, nullptr, 1.0f, BlendCopy, &src, "past the right edge"},
        {0, -6, nullptr, 1.0f, BlendCopy, &src, "above the top"},
        {0, 0, nullptr, 1.0f / 512.0f, BlendAdd, &src, "integer weight 0"},
        {0, 0, nullptr, 1.0f, 6, &src, "mode 6"},
        {0, 0, nullptr, 1.0f, 0xEF, &src, "mode 0xEF"},
        {0, 0, nullptr, 1.0f, BlendCopy, &empty, "source without pixels"},
        {0, 0, nullptr, 1.0f, BlendCopy, nullptr, "no source"},
        {0, 0, nullptr, -0.5f, BlendCopy, &src, "copy at a negative weight"},
    };
    for (const auto& c : cases)
    {
        BlitBitmap(&dest, c.source, c.x, c.y, c.rect, c.weight, c.mode);
        EXPECT_EQ(Raw(dest), before) << c.why;
    }
    BlitBitmap(nullptr, &src, 0, 0, nullptr, 1.0f, BlendCopy);
    BlitBitmap(&empty, &src, 0, 0, nullptr, 1.0f, BlendCopy);
}

TEST(BlitBitmap, OpaqueCopyCopiesAlphaAndLeavesThePadding)
{
    MemBitmap src(5, 2), dest(5, 2);
    FillAll(src, 0x00ABCDEFu);
    FillAll(dest, kBackground);
    BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BlendCopy);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(At(dest, x, y), x < 5 ? 0x00ABCDEFu : kBackground) << x << "," << y;
}

TEST(BlitBitmap, HalfWeightCopyAveragesWithShiftedWords)
{
    // ((S >> 1) & 0x7F7F7F7F) + ((D >> 1) & 0x7F7F7F7F): each byte loses its low bit
    // before the add, so 1 + 3 gives 0 + 1 (the per-channel formula would give 2).
    const struct
    {
        PackedPixel s, d, expected;
    } cases[] = {
        {0xFFFFFFFFu, 0x00000000u, 0x7F7F7F7Fu},
        {0x01010101u, 0x03030303u, 0x01010101u},
        {0xFF00FF00u, 0x00FF00FFu, 0x7F7F7F7Fu},
        {0x80402010u, 0x10204080u, 0x48303048u},
    };
    for (const auto& c : cases)
    {
        MemBitmap src(1, 1), dest(1, 1);
        src.PixelData()[0] = c.s;
        dest.PixelData()[0] = c.d;
        BlitBitmap(&dest, &src, 0, 0, nullptr, 0.5f, BlendCopy);
        EXPECT_EQ(dest.PixelData()[0], c.expected) << std::hex << c.s << " over " << c.d;
    }
}

TEST(BlitBitmap, SourceAlphaCopy)
{
    const struct
    {
        PackedPixel s, d;
        float weight;
        PackedPixel expected;
        const char* why;
    } cases[] = {
        {MakePackedPixel(0, 9, 9, 9), MakePackedPixel(200, 200, 0, 255), 1.0f,
         MakePackedPixel(200, 200, 0, 255), "alpha 0 leaves the destination"},
        {MakePackedPixel(255, 100, 50, 0), MakePackedPixel(10, 200, 0, 255), 1.0f,
         MakePackedPixel(255, 100, 50, 0), "alpha 255 replaces"},
        // Alpha 128 over alpha 200: alpha saturates; colour S + (D - S)*127/256:
        // R 100 + 100*127/256 = 149, G 50 - 50*127/256 = 26, B 0 + 255*127/256 = 126.
        {MakePackedPixel(128, 100, 50, 0), MakePackedPixel(200, 200, 0, 255), 1.0f,
         MakePackedPixel(255, 149, 26, 126), "alpha 128 at full weight"},
        {MakePackedPixel(128, 100, 50, 0), MakePackedPixel(20, 200, 0, 255), 1.0f,
         MakePackedPixel(148, 149, 26, 126), "alpha 128 over alpha 20 adds to 148"},
        // Weight 0.25: w' = 64*256/256 = 64. A 10 + 64; R 255 - 255*192/256 = 64; G 255*192/256 = 191.
        {MakePackedPixel(255, 255, 0, 100), MakePackedPixel(10, 0, 255, 100), 0.25f,
         MakePackedPixel(74, 64, 191, 100), "weight 0.25 at alpha 255 is w' = 64"},
        // Weight 0.25, alpha 127: w' = 64*128/256 = 32. R 255 - 255*224/256 = 32; G 255*224/256 = 223.
        {MakePackedPixel(127, 255, 0, 100), MakePackedPixel(10, 0, 255, 100), 0.25f,
         MakePackedPixel(42, 32, 223, 100), "weight 0.25 at alpha 127 is w' = 32"},
        {MakePackedPixel(0, 255, 0, 100), MakePackedPixel(10, 0, 255, 100), 0.25f,
         MakePackedPixel(10, 0, 255, 100), "alpha 0 is skipped below full weight too"},
    };
    for (const auto& c : cases)
    {
        MemBitmap src(1, 1), dest(1, 1);
        src.PixelData()[0] = c.s;
        dest.PixelData()[0] = c.d;
        BlitBitmap(&dest, &src, 0, 0, nullptr, c.weight, BlendCopy | BlendUseSourceAlpha);
        EXPECT_EQ(dest.PixelData()[0], c.expected) << c.why;
    }
}

TEST(BlitBitmap, AddSaturatesAndScalesTheAlphaBySourceAlpha)
{
    MemBitmap src(1, 1), dest(1, 1);
    src.PixelData()[0] = MakePackedPixel(100, 100, 100, 100);
    dest.PixelData()[0] = MakePackedPixel(200, 200, 100, 0);
    BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BlendAdd);
    EXPECT_EQ(dest.PixelData()[0], MakePackedPixel(255, 255, 200, 100));

    // With source alpha 127 at weight 1: w' = 256*128/256 = 128; each channel adds
    // 128*S/256, the alpha 128*127/256 = 63.
    src.PixelData()[0] = MakePackedPixel(127, 100, 255, 2);
    dest.PixelData()[0] = MakePackedPixel(200, 200, 100, 0);
    BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BlendAdd | BlendUseSourceAlpha);
    EXPECT_EQ(dest.PixelData()[0], MakePackedPixel(255, 250, 227, 1));
}

TEST(BlitBitmap, ChannelCopyMovesOneChannelOnly)
{
    MemBitmap src(2, 1), dest(2, 1);
    src.PixelData()[0] = 0xA1B2C3D4u;
    src.PixelData()[1] = 0x01020304u;
    const struct
    {
        int from, to;
        PackedPixel first, second;
    } cases[] = {
        {ChannelA, ChannelR, 0x55A17788u, 0x55017788u},
        {ChannelB, ChannelA, 0xD4667788u, 0x04667788u},
        {ChannelG, ChannelB, 0x556677C3u, 0x55667703u},
        {ChannelR, ChannelR, 0x55B27788u, 0x55027788u},
    };
    for (const auto& c : cases)
    {
        FillAll(dest, 0x55667788u);
        // Weight and source alpha bit are ignored by channel copies.
        BlitBitmap(&dest, &src, 0, 0, nullptr, 0.3f,
                   BlendChannelCopyMode(c.from, c.to) | BlendUseSourceAlpha);
        EXPECT_EQ(dest.PixelData()[0], c.first) << c.from << "->" << c.to;
        EXPECT_EQ(dest.PixelData()[1], c.second) << c.from << "->" << c.to;
    }
}

TEST(BlitBitmap, BottomUpBitmapsAreWalkedBackwards)
{
    BottomUpBitmap src(3, 3, 4), dest(4, 4, 5);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            src.MemoryRow(2 - y)[x] = MakePackedPixel(255, 0, y, x); // image row y
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 5; ++x)
            dest.MemoryRow(row)[x] = kBackground;
    BlitBitmap(&dest, &src, 1, 0, nullptr, 1.0f, BlendCopy);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
        {
            const bool inside = x >= 1 && x < 4 && y < 3;
            EXPECT_EQ(dest.MemoryRow(3 - y)[x], inside ? MakePackedPixel(255, 0, y, x - 1) : kBackground)
                << x << "," << y;
        }
}

TEST(BlitBitmap, OverlappingCopyWithinOneBitmap)
{
    MemBitmap b(8, 1);
    for (int x = 0; x < 8; ++x)
        b.PixelData()[x] = static_cast<PackedPixel>(x);
    const PixelRect rect{0, 0, 6, 1};
    BlitBitmap(&b, &b, 2, 0, &rect, 1.0f, BlendCopy);
    const PackedPixel expected[8] = {0, 1, 0, 1, 2, 3, 4, 5};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(b.PixelData()[x], expected[x]) << x;
}

// Random bitmaps, positions, rectangles, weights and modes against the per-pixel model.
TEST(BlitBitmap, RandomizedAgainstThePerPixelModel)
{
    std::mt19937 rng(20240611);
    const float weights[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.3f, 0.999f, 1.0f / 256.0f, 0.1f, -0.25f, 1.25f};
    const int rules[] = {0, 1, 2, 3, 4, 5, 6, 0x7F, 0xF0, 0xF7, 0xFE, 0xFF};
    int drawnCases = 0;
    for (int iteration = 0; iteration < 3000; ++iteration)
    {
        MemBitmap src(1 + rng() % 13, 1 + rng() % 11), dest(1 + rng() % 13, 1 + rng() % 11);
        pixelref::Randomize(src, rng);
        pixelref::Randomize(dest, rng);
        // Mostly overlapping placements, with some off every edge.
        const int destX = int(rng() % (dest.Width() + 3)) - 3, destY = int(rng() % (dest.Height() + 3)) - 3;
        const int rectLeft = int(rng() % (src.Width() + 3)) - 3,
                  rectTop = int(rng() % (src.Height() + 3)) - 3;
        PixelRect rect{rectLeft, rectTop, rectLeft + int(rng() % 17) - 1, rectTop + int(rng() % 15) - 1};
        const bool useRect = rng() % 2 == 0;
        const float weight =
            rng() % 4 == 0 ? float(rng() % 1000) / 999.0f : weights[rng() % std::size(weights)];
        int mode = rules[rng() % std::size(rules)];
        if (rng() % 2)
            mode |= BlendUseSourceAlpha;
        if (rng() % 4 == 0)
            mode |= 0x100 | 0x20000; // ignored bits

        pixelref::Image expected = pixelref::Capture(dest);
        const pixelref::Image before = expected;
        pixelref::Image source = pixelref::Capture(src);
        pixelref::Blit(expected, source, destX, destY, useRect ? &rect : nullptr, weight, mode);
        std::vector<PackedPixel> padding;
        for (int y = 0; y < dest.Height(); ++y)
            for (int x = dest.Width(); x < dest.RowStride(); ++x)
                padding.push_back(At(dest, x, y));

        BlitBitmap(&dest, &src, destX, destY, useRect ? &rect : nullptr, weight, mode);
        const pixelref::Image actual = pixelref::Capture(dest);
        ASSERT_EQ(actual.px, expected.px)
            << "iteration " << iteration << " mode " << std::hex << mode << std::dec << " weight " << weight
            << " at " << destX << "," << destY;
        std::vector<PackedPixel> paddingAfter;
        for (int y = 0; y < dest.Height(); ++y)
            for (int x = dest.Width(); x < dest.RowStride(); ++x)
                paddingAfter.push_back(At(dest, x, y));
        ASSERT_EQ(paddingAfter, padding) << "iteration " << iteration;
        drawnCases += actual.px != before.px;
    }
    EXPECT_GT(drawnCases, 1500); // most cases draw something
}
