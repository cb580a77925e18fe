// The PNG files committed for the Windows resource test are png_fixture_writer's output:
// they must still decode to the fixture definitions they were made from.
#include "raster/PngLoader.h"
#include "raster/tests/PngFixtures.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

TEST(CommittedPngFixtures, MatchTheirDefinitions)
{
    for (const char* name : {"rgb8", "interlaced_rgba8"})
    {
        const std::string path = std::string(GROVANE_RASTER_FIXTURE_DIR) + "/" + name + ".png";
        std::unique_ptr<RasterBitmap> bitmap(LoadPngFile(path.c_str(), true));
        ASSERT_NE(bitmap, nullptr) << path;
        const pngfixture::Fixture f = pngfixture::Case(name);
        ASSERT_EQ(bitmap->Width(), f.width);
        ASSERT_EQ(bitmap->Height(), f.height);
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                ASSERT_EQ(bitmap->PixelData()[y * bitmap->RowStride() + x], f.expected[y * f.width + x])
                    << name << " at " << x << "," << y;
    }
}
