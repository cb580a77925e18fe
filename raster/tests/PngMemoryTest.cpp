#include "raster/MemBitmap.h"
#include "raster/PngLoader.h"
#include "raster/tests/PngFixtures.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{
// The bitmap's pixels row by row without the padding.
std::vector<PackedPixel> Pixels(RasterBitmap& b)
{
    std::vector<PackedPixel> out;
    for (int y = 0; y < b.Height(); ++y)
        out.insert(out.end(), b.PixelData() + y * b.RowStride(),
                   b.PixelData() + y * b.RowStride() + b.Width());
    return out;
}

std::unique_ptr<MemBitmap> Load(const std::vector<std::uint8_t>& bytes)
{
    return std::unique_ptr<MemBitmap>(LoadPngMemory(bytes.data(), bytes.size()));
}
} // namespace

TEST(LoadPngMemory, DecodesEveryColourTypeToStraightArgb)
{
    const std::vector<pngfixture::Fixture> cases = pngfixture::DecodeCases();
    ASSERT_EQ(cases.size(), 10u);
    for (const pngfixture::Fixture& f : cases)
    {
        ASSERT_FALSE(f.png.empty()) << f.name;
        const auto bitmap = Load(f.png);
        ASSERT_NE(bitmap, nullptr) << f.name;
        EXPECT_EQ(bitmap->Width(), f.width) << f.name;
        EXPECT_EQ(bitmap->Height(), f.height) << f.name;
        EXPECT_EQ(Pixels(*bitmap), f.expected) << f.name;
    }
}

TEST(LoadPngMemory, SpotValues)
{
    // A few pixels written out in full, independent of the fixture tables.
    auto rgb = Load(pngfixture::Case("rgb8").png);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->PixelData()[0], 0xFF0000FFu);                        // (0, 0): 0, 0, 255
    EXPECT_EQ(rgb->PixelData()[2 * rgb->RowStride() + 3], 0xFF6C64AFu); // (3, 2): 108, 100, 175
    auto palette = Load(pngfixture::Case("palette4_trns").png);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->PixelData()[0], 0x00FF0000u); // index 0: red, alpha 0
    EXPECT_EQ(palette->PixelData()[1], 0x8000FF00u); // index 1: green, alpha 128
    EXPECT_EQ(palette->PixelData()[3], 0xFF0A141Eu); // index 3: opaque
    auto gray = Load(pngfixture::Case("gray1").png);
    ASSERT_NE(gray, nullptr);
    for (int x = 0; x < 9; ++x)
    {
        const PackedPixel p = gray->PixelData()[x];
        EXPECT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu) << x;
    }
}

TEST(LoadPngMemory, ShortInputsAndWrongSignaturesYieldNone)
{
    const std::vector<std::uint8_t> good = pngfixture::Case("rgb8").png;
    for (std::size_t size = 0; size < 8; ++size)
        EXPECT_EQ(LoadPngMemory(good.data(), size), nullptr) << size << " bytes";
    for (int i = 0; i < 8; ++i)
    {
        std::vector<std::uint8_t> bad = good;
        bad[i] ^= 0x20;
        EXPECT_EQ(Load(bad), nullptr) << "signature byte " << i;
    }
    EXPECT_EQ(LoadPngMemory(nullptr, 100), nullptr);
    EXPECT_EQ(LoadPngMemory(good.data(), 8), nullptr); // signature only
}

TEST(LoadPngMemory, TruncatedStreamsYieldNone)
{
    for (const char* name : {"rgb8", "interlaced_rgba8", "rgba16"})
    {
        const std::vector<std::uint8_t> png = pngfixture::Case(name).png;
        ASSERT_GT(png.size(), 20u);
        // Every cut before the final IEND chunk (12 bytes) loses image data or its CRC.
        const std::size_t iend = png.size() - 12;
        for (std::size_t size = 8; size < iend; ++size)
        {
            const std::vector<std::uint8_t> cut(png.begin(), png.begin() + size);
            EXPECT_EQ(Load(cut), nullptr) << name << " cut to " << size;
        }
    }
}

TEST(LoadPngMemory, DamagedImageDataYieldsNone)
{
    std::vector<std::uint8_t> png = pngfixture::Case("rgb8").png;
    // The IDAT chunk follows the 33 bytes of signature and IHDR; damage its data.
    ASSERT_EQ(std::string(png.begin() + 37, png.begin() + 41), "IDAT");
    png[45] ^= 0x55;
    EXPECT_EQ(Load(png), nullptr);
}

TEST(LoadPngMemory, SizeLimits)
{
    for (auto [w, h] : {std::pair<std::uint32_t, std::uint32_t>{16385, 1},
                        {1, 16385},
                        {0, 1},
                        {1, 0},
                        {0x7FFFFFFF, 0x7FFFFFFF},
                        {65536, 65536},
                        {0x80000000u, 1}})
        EXPECT_EQ(Load(pngfixture::HeaderOnly(w, h)), nullptr) << w << " x " << h;

    // The limit itself is accepted.
    for (auto [w, h] : {std::pair<int, int>{16384, 1}, {1, 16384}})
    {
        pngfixture::Encoding e;
        e.width = w, e.height = h, e.bitDepth = 8, e.colourType = 0;
        e.rows.assign(h, std::vector<std::uint8_t>(w, 7));
        const auto bitmap = Load(pngfixture::Encode(e));
        ASSERT_NE(bitmap, nullptr) << w << " x " << h;
        EXPECT_EQ(bitmap->Width(), w);
        EXPECT_EQ(bitmap->Height(), h);
        EXPECT_EQ(bitmap->PixelData()[(h - 1) * bitmap->RowStride() + w - 1], 0xFF070707u);
    }
}
