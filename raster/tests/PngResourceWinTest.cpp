#include "raster/MemBitmap.h"
#include "raster/PngResource.h"
#include "raster/tests/PngFixtures.h"

#include <gtest/gtest.h>
#include <memory>
#include <windows.h>

namespace
{
std::vector<PackedPixel> Pixels(RasterBitmap& b)
{
    std::vector<PackedPixel> out;
    for (int y = 0; y < b.Height(); ++y)
        out.insert(out.end(), b.PixelData() + y * b.RowStride(),
                   b.PixelData() + y * b.RowStride() + b.Width());
    return out;
}

HINSTANCE__* TestModule()
{
    return GetModuleHandleA(nullptr);
}
} // namespace

TEST(LoadPngResource, DecodesTheResourcesOfTheModule)
{
    const struct
    {
        int id;
        const char* fixture;
    } cases[] = {{101, "rgb8"}, {102, "interlaced_rgba8"}};
    for (const auto& c : cases)
    {
        const pngfixture::Fixture f = pngfixture::Case(c.fixture);
        std::unique_ptr<MemBitmap> bitmap(LoadPngResource(TestModule(), c.id));
        ASSERT_NE(bitmap, nullptr) << c.id;
        EXPECT_EQ(bitmap->Width(), f.width);
        EXPECT_EQ(bitmap->Height(), f.height);
        EXPECT_EQ(Pixels(*bitmap), f.expected) << c.id;
    }
    // Pixel (3, 2) of the RGB image: red 108, green 100, blue 175, opaque.
    std::unique_ptr<MemBitmap> rgb(LoadPngResource(TestModule(), 101));
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->PixelData()[2 * rgb->RowStride() + 3], 0xFF6C64AFu);
}

TEST(LoadPngResource, Failures)
{
    EXPECT_EQ(LoadPngResource(TestModule(), 103), nullptr); // 7 bytes
    EXPECT_EQ(LoadPngResource(TestModule(), 104), nullptr); // eighth byte wrong
    EXPECT_EQ(LoadPngResource(TestModule(), 999), nullptr); // no such resource
    // A module without "PNG" resources.
    EXPECT_EQ(LoadPngResource(GetModuleHandleA("kernel32.dll"), 101), nullptr);
}
