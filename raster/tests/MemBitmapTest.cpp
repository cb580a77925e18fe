#include "raster/MemBitmap.h"

#include <climits>
#include <cstdint>
#include <gtest/gtest.h>

namespace
{
std::uintptr_t Address(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p);
}
} // namespace

TEST(MemBitmap, StrideIsWidthRoundedUpToFourPixels)
{
    const struct
    {
        int width, stride;
    } cases[] = {{1, 4}, {4, 4}, {5, 8}, {8, 8}, {10, 12}, {11, 12}, {13, 16}, {224, 224}};
    for (const auto& c : cases)
    {
        MemBitmap b(c.width, 3);
        EXPECT_EQ(b.RowStride(), c.stride) << "width " << c.width;
        EXPECT_EQ(b.Width(), c.width);
        EXPECT_EQ(b.Height(), 3);
        ASSERT_NE(b.PixelData(), nullptr);
        EXPECT_EQ(Address(b.PixelData()) % 64, 0u) << "width " << c.width;
    }
}

TEST(MemBitmap, CapacityGrowsByAQuarterAndNeverShrinks)
{
    MemBitmap b(10, 10);
    EXPECT_EQ(b.RowStride(), 12);
    EXPECT_EQ(b.CapacityBytes(), 480);
    PackedPixel* const first = b.PixelData();
    first[0] = 0x12345678u;

    // Same size: nothing changes, pixels kept.
    EXPECT_FALSE(b.SetSize(10, 10));
    EXPECT_EQ(b.PixelData(), first);
    EXPECT_EQ(b.PixelData()[0], 0x12345678u);

    // 11 x 10 still needs 12 * 10 * 4 = 480 bytes: same block.
    EXPECT_TRUE(b.SetSize(11, 10));
    EXPECT_EQ(b.CapacityBytes(), 480);
    EXPECT_EQ(b.PixelData(), first);

    // 13 x 10 needs 16 * 10 * 4 = 640 bytes: capacity 640 / 4 * 5 = 800.
    EXPECT_TRUE(b.SetSize(13, 10));
    EXPECT_EQ(b.CapacityBytes(), 800);
    EXPECT_EQ(Address(b.PixelData()) % 64, 0u);
    EXPECT_EQ(b.Width(), 13);
    EXPECT_EQ(b.Height(), 10);

    // Up to 800 bytes fits without growing; shrinking keeps the block.
    EXPECT_TRUE(b.SetSize(20, 10));
    EXPECT_EQ(b.CapacityBytes(), 800);
    EXPECT_TRUE(b.SetSize(1, 1));
    EXPECT_EQ(b.CapacityBytes(), 800);
    EXPECT_EQ(b.RowStride(), 4);
}

TEST(MemBitmap, EmptySizesFreeTheStorage)
{
    const struct
    {
        int width, height;
    } cases[] = {{0, 0}, {0, 7}, {7, 0}, {-4, 3}, {3, -4}, {-8, -10}};
    for (const auto& c : cases)
    {
        MemBitmap b(4, 4);
        ASSERT_NE(b.PixelData(), nullptr);
        EXPECT_TRUE(b.SetSize(c.width, c.height));
        EXPECT_EQ(b.PixelData(), nullptr) << c.width << " x " << c.height;
        EXPECT_EQ(b.CapacityBytes(), 0);
        EXPECT_EQ(b.Width(), 0);
        EXPECT_EQ(b.Height(), 0);
    }
}

TEST(MemBitmap, DefaultHasNoStorage)
{
    MemBitmap b;
    EXPECT_EQ(b.PixelData(), nullptr);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_FALSE(b.SetSize(0, 0));
    EXPECT_FALSE(b.IsBottomUp());
    EXPECT_EQ(b.DeviceContext(), nullptr);
    EXPECT_EQ(b.Extension(1, &b), nullptr);
}

TEST(MemBitmap, ByteCountsBeyondInt32GetNoStorage)
{
    // 65536 * 65536 * 4 wraps a 32-bit product to 0; INT_MAX rounds its stride past the range.
    const struct
    {
        int width, height;
    } cases[] = {{65536, 65536}, {INT_MAX, 1}, {1, INT_MAX}, {32768, 16384}, {INT_MAX, INT_MAX}};
    for (const auto& c : cases)
    {
        MemBitmap b(2, 2);
        EXPECT_TRUE(b.SetSize(c.width, c.height));
        EXPECT_EQ(b.PixelData(), nullptr) << c.width << " x " << c.height;
        EXPECT_EQ(b.Width(), 0);
        EXPECT_EQ(b.Height(), 0);
        EXPECT_EQ(b.CapacityBytes(), 0);
    }
}
