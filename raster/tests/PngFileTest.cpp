#include "raster/MemBitmap.h"
#include "raster/PngLoader.h"
#include "raster/tests/PngFixtures.h"
#include "raster/tests/TestBitmaps.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// A scratch folder of PNG files, removed at the end of the test.
class PngFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ =
            fs::temp_directory_path() /
            ("grovane-png-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        rgb8_ = pngfixture::Case("rgb8");
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Writes bytes to a file under the scratch folder; answers its UTF-8 path.
    std::string Write(const fs::path& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const std::u8string utf8 = path.u8string();
        return std::string(utf8.begin(), utf8.end());
    }

    static std::vector<PackedPixel> Pixels(RasterBitmap& b)
    {
        std::vector<PackedPixel> out;
        for (int y = 0; y < b.Height(); ++y)
        {
            const int row = b.IsBottomUp() ? b.Height() - 1 - y : y;
            const PackedPixel* p = b.PixelData() + row * b.RowStride();
            out.insert(out.end(), p, p + b.Width());
        }
        return out;
    }

    fs::path dir_;
    pngfixture::Fixture rgb8_;
};
} // namespace

TEST_F(PngFiles, ExtensionCheck)
{
    const struct
    {
        const char* name;
        bool accepted;
    } cases[] = {
        {"plain.png", true},         {"upper.PNG", true},      {"mixed.pNg", true},    {"two.dots.png", true},
        {"backup.png.bak", false},   {"noextension", false},   {"short.pn", false},    {"long.pngx", false},
        {"folder.png/inner", false}, {"trailing.png.", false}, {"dotless-png", false},
    };
    for (const auto& c : cases)
    {
        const std::string path = Write(c.name, rgb8_.png);
        std::unique_ptr<RasterBitmap> checked(LoadPngFile(path.c_str(), true));
        EXPECT_EQ(checked != nullptr, c.accepted) << c.name;
        // Without the check every one of them is a PNG file that loads.
        std::unique_ptr<RasterBitmap> unchecked(LoadPngFile(path.c_str(), false));
        ASSERT_NE(unchecked, nullptr) << c.name;
        EXPECT_EQ(Pixels(*unchecked), rgb8_.expected) << c.name;
    }
}

TEST_F(PngFiles, EveryFixtureDecodesFromAFile)
{
    for (const pngfixture::Fixture& f : pngfixture::DecodeCases())
    {
        const std::string path = Write(f.name + ".png", f.png);
        std::unique_ptr<RasterBitmap> bitmap(LoadPngFile(path.c_str(), true));
        ASSERT_NE(bitmap, nullptr) << f.name;
        ASSERT_NE(dynamic_cast<MemBitmap*>(bitmap.get()), nullptr);
        EXPECT_EQ(Pixels(*bitmap), f.expected) << f.name;
    }
}

TEST_F(PngFiles, Utf8Names)
{
    const std::string path = Write(fs::path(u8"grovane-\u00e9\u00df\u20ac-\u65e5\u672c.png"), rgb8_.png);
    std::unique_ptr<RasterBitmap> bitmap(LoadPngFile(path.c_str(), true));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(Pixels(*bitmap), rgb8_.expected);
}

TEST_F(PngFiles, Failures)
{
    const std::vector<std::uint8_t>& png = rgb8_.png;
    const std::string missing = (dir_ / "missing.png").string();
    const std::string truncated =
        Write("truncated.png", std::vector<std::uint8_t>(png.begin(), png.begin() + 60));
    const std::string empty = Write("empty.png", {});
    std::vector<std::uint8_t> badSignature = png;
    badSignature[7] = 0;
    const std::string wrong = Write("wrong.png", badSignature);
    for (const std::string& path : {missing, truncated, empty, wrong})
        EXPECT_EQ(LoadPngFile(path.c_str(), true), nullptr) << path;
    EXPECT_EQ(LoadPngFile(nullptr, false), nullptr);
    EXPECT_EQ(LoadPngFile(dir_.string().c_str(), false), nullptr); // a folder
}

TEST_F(PngFiles, DecodesIntoAGivenBitmap)
{
    const std::string path = Write("given.png", rgb8_.png);
    MemBitmap given(2, 2);
    EXPECT_EQ(LoadPngFile(path.c_str(), true, &given), &given);
    EXPECT_EQ(given.Width(), 7);
    EXPECT_EQ(given.Height(), 5);
    EXPECT_EQ(Pixels(given), rgb8_.expected);

    // A bottom-up target gets image row 0 in its last memory row.
    BottomUpBitmap bottomUp(1, 1, 1, true);
    EXPECT_EQ(LoadPngFile(path.c_str(), true, &bottomUp), &bottomUp);
    ASSERT_EQ(bottomUp.Width(), 7);
    EXPECT_EQ(bottomUp.MemoryRow(4)[0], rgb8_.expected[0]);
    EXPECT_EQ(bottomUp.MemoryRow(0)[6], rgb8_.expected[4 * 7 + 6]);
    EXPECT_EQ(Pixels(bottomUp), rgb8_.expected);
}

TEST_F(PngFiles, GivenBitmapsAreNeverDeleted)
{
    // One that cannot take the image's size: none, and the bitmap is still the caller's
    // (the sanitizer build would report a double delete otherwise).
    BottomUpBitmap fixed(3, 3, 3, false);
    const std::string path = Write("fixed.png", rgb8_.png);
    EXPECT_EQ(LoadPngFile(path.c_str(), true, &fixed), nullptr);
    EXPECT_EQ(fixed.Width(), 3);

    // A decoding error after the resize: none; the bitmap keeps the image's size.
    MemBitmap given(1, 1);
    const std::string truncated =
        Write("cut.png", std::vector<std::uint8_t>(rgb8_.png.begin(), rgb8_.png.end() - 20));
    EXPECT_EQ(LoadPngFile(truncated.c_str(), true, &given), nullptr);
    EXPECT_EQ(given.Width(), 7);
    EXPECT_EQ(given.Height(), 5);
}

TEST(PngFileFilter, Texts)
{
    EXPECT_STREQ(kPngFileFilterName, "PNG files (*.PNG)");
    EXPECT_STREQ(kPngFileFilterPattern, "*.PNG");
}
