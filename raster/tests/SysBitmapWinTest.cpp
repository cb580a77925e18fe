#include "raster/BlendMode.h"
#include "raster/BlitBitmap.h"
#include "raster/FillBitmap.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace
{
constexpr PackedPixel kRgbMask = 0x00FFFFFFu;
constexpr PackedPixel kMarker = 0x00ABCDEFu;

void FillAll(RasterBitmap& b, PackedPixel p)
{
    for (int i = 0; i < b.RowStride() * b.Height(); ++i)
        b.PixelData()[i] = p;
}
} // namespace

TEST(SysBitmap, GdiDrawsIntoThePixelsAtTheRowStride)
{
    SysBitmap b(5, 3);
    ASSERT_NE(b.PixelData(), nullptr);
    ASSERT_NE(b.DeviceContext(), nullptr);
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_EQ(b.RowStride(), 8);
    EXPECT_FALSE(b.IsBottomUp());
    FillAll(b, kMarker);

    // A rectangle (1,1)-(4,3) in red 10, green 20, blue 30 and one pixel of pure red.
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    const RECT rect{1, 1, 4, 3};
    ASSERT_NE(FillRect(b.DeviceContext(), &rect, brush), 0);
    DeleteObject(brush);
    SetPixel(b.DeviceContext(), 4, 0, RGB(255, 0, 0));
    GdiFlush();

    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
        {
            PackedPixel expected = kMarker;
            if (x >= 1 && x < 4 && y >= 1)
                expected = 0x000A141Eu;
            if (x == 4 && y == 0)
                expected = 0x00FF0000u;
            EXPECT_EQ(b.PixelData()[y * 8 + x] & kRgbMask, expected) << x << "," << y;
        }
}

TEST(SysBitmap, BitBltCopiesThePixelsBetweenDeviceContexts)
{
    SysBitmap src(6, 4), dest(6, 4);
    MemBitmap art(6, 4);
    FillAll(art, 0xFF336699u);
    FillAll(dest, 0);
    BlitBitmap(&src, &art, 0, 0, nullptr, 1.0f, BlendCopy);
    ASSERT_NE(BitBlt(dest.DeviceContext(), 2, 1, 3, 2, src.DeviceContext(), 0, 0, SRCCOPY), 0);
    GdiFlush();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
        {
            const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(dest.PixelData()[y * dest.RowStride() + x] & kRgbMask, inside ? 0x336699u : 0u)
                << x << "," << y;
        }
}

TEST(SysBitmap, ShrinkKeepsTheDibAndGrowReplacesIt)
{
    SysBitmap b(10, 10);
    PackedPixel* const first = b.PixelData();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(b.RowStride(), 12);
    EXPECT_FALSE(b.SetSize(10, 10));

    EXPECT_TRUE(b.SetSize(3, 2));
    EXPECT_EQ(b.PixelData(), first);
    EXPECT_EQ(b.RowStride(), 12);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);

    EXPECT_TRUE(b.SetSize(13, 2));
    EXPECT_EQ(b.RowStride(), 16);
    ASSERT_NE(b.PixelData(), nullptr);
    // The new DIB is selected: GDI reaches its last pixel.
    SetPixel(b.DeviceContext(), 12, 1, RGB(1, 2, 3));
    GdiFlush();
    EXPECT_EQ(b.PixelData()[16 + 12] & kRgbMask, 0x010203u);
}

TEST(SysBitmap, EmptyAndUnrepresentableSizes)
{
    SysBitmap none;
    EXPECT_EQ(none.PixelData(), nullptr);
    EXPECT_NE(none.DeviceContext(), nullptr);

    SysBitmap b(4, 4);
    EXPECT_FALSE(b.SetSize(0, 4));
    EXPECT_EQ(b.PixelData(), nullptr);

    const struct
    {
        int width, height;
    } refused[] = {{-4, 4},        {4, -4},         {-8, -8},
                   {65536, 65536}, {2147483647, 1}, {2147483647, 2147483647},
                   {2147483647, 0}};
    for (const auto& c : refused)
    {
        SysBitmap r(4, 4);
        EXPECT_TRUE(r.SetSize(c.width, c.height));
        EXPECT_EQ(r.PixelData(), nullptr) << c.width << " x " << c.height;
        EXPECT_EQ(r.Width(), 0);
        EXPECT_EQ(r.Height(), 0);
        // Usable again afterwards.
        EXPECT_TRUE(r.SetSize(2, 2));
        EXPECT_NE(r.PixelData(), nullptr);
    }
}

TEST(SysBitmap, PixelOperationsWorkOnTheDib)
{
    SysBitmap b(5, 2);
    FillAll(b, 0xDEADBEEFu);
    ClearBitmap(&b);
    FillBitmapRect(&b, -3, 1, 5, 1, 0xFF102030u, 1.0f, BlendCopy);
    for (int x = 0; x < 8; ++x)
    {
        EXPECT_EQ(b.PixelData()[x], x < 5 ? 0u : 0xDEADBEEFu) << x;
        EXPECT_EQ(b.PixelData()[8 + x], x < 2 ? 0xFF102030u : (x < 5 ? 0u : 0xDEADBEEFu)) << x;
    }
}
