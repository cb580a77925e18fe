// The plot's axes, curves and text, and its PNG output.
#include "tools/ResponsePlot.h"
#include "tools/BitmapFont.h"
#include "tools/tests/TempPath.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>
#include <filesystem>

namespace
{
std::vector<ResponsePoint> Flat(double left, double right, int points = 50)
{
    std::vector<ResponsePoint> response;
    for (int i = 0; i < points; ++i)
        response.push_back({10.0 * std::pow(2000.0, i / (points - 1.0)), {left, right}});
    return response;
}
} // namespace

TEST(ResponsePlot, FitsTheGainAxisToTheData)
{
    const struct
    {
        double low, high;
        double minDb, maxDb, stepDb;
    } cases[] = {
        // -12..-6: rounded out to -18..0, widened around the middle, 6 dB steps.
        {-12.0, -6.0, -24.0, 6.0, 6.0},
        {0.0, 0.0, -12.0, 12.0, 6.0},
        {-40.0, 10.0, -48.0, 12.0, 12.0},
        {-100.0, 0.0, -120.0, 24.0, 24.0},
        // Data deeper than 120 dB below its top counts as 120 dB down.
        {-400.0, 0.0, -144.0, 24.0, 24.0},
    };
    for (const auto& c : cases)
    {
        const PlotFrame f = ResponsePlotFrame(Flat(c.low, c.high), 960, 600);
        EXPECT_EQ(f.minDb, c.minDb) << c.low << ".." << c.high;
        EXPECT_EQ(f.maxDb, c.maxDb) << c.low << ".." << c.high;
        EXPECT_EQ(f.stepDb, c.stepDb) << c.low << ".." << c.high;
    }
    const PlotFrame none = ResponsePlotFrame({}, 960, 600);
    EXPECT_EQ(none.minDb, -12.0);
    EXPECT_EQ(none.maxDb, 12.0);
}

TEST(ResponsePlot, MapsFrequencyLogarithmicallyAcrossThePlotArea)
{
    const PlotFrame f = ResponsePlotFrame(Flat(0.0, 0.0), 960, 600);
    EXPECT_DOUBLE_EQ(f.XForHz(10.0), f.left);
    EXPECT_DOUBLE_EQ(f.XForHz(20000.0), f.right - 1);
    // Equal ratios take equal distances: 10-100 Hz as wide as 100-1000 Hz.
    EXPECT_NEAR(f.XForHz(100.0) - f.XForHz(10.0), f.XForHz(1000.0) - f.XForHz(100.0), 1e-9);
    EXPECT_DOUBLE_EQ(f.YForDb(f.maxDb), f.top);
    EXPECT_DOUBLE_EQ(f.YForDb(f.minDb), f.bottom - 1);
}

TEST(ResponsePlot, DrawsOneCurvePerOutputWhereTheDataLies)
{
    const auto response = Flat(-6.0, -12.0);
    const RgbImage image = DrawResponsePlot("Test", response, 800, 500);
    ASSERT_EQ(image.Width(), 800);
    ASSERT_EQ(image.Height(), 500);
    const PlotFrame f = ResponsePlotFrame(response, 800, 500);
    for (double hz : {30.0, 300.0, 3000.0})
    {
        const int x = static_cast<int>(std::lround(f.XForHz(hz)));
        EXPECT_EQ(image.Pixel(x, static_cast<int>(std::lround(f.YForDb(-6.0)))), kPlotCurveColours[0]) << hz;
        EXPECT_EQ(image.Pixel(x, static_cast<int>(std::lround(f.YForDb(-12.0)))), kPlotCurveColours[1]) << hz;
        EXPECT_NE(image.Pixel(x, static_cast<int>(std::lround(f.YForDb(-9.0)))), kPlotCurveColours[0]) << hz;
    }
}

TEST(RgbImage, DrawsGlyphsFromTheBitmapFont)
{
    RgbImage image(20, 20, {255, 255, 255});
    const Rgb ink{0, 0, 0};
    image.Text(2, 3, "L", 1, ink);
    // 'L': the left column for seven rows, then the whole bottom row.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
        {
            const bool set = (x == 2 && y >= 3 && y <= 9) || (y == 9 && x >= 2 && x <= 6);
            EXPECT_EQ(image.Pixel(x, y) == ink, set) << x << "," << y;
        }

    RgbImage turned(20, 20, {255, 255, 255});
    turned.TextUpwards(3, 15, "L", 1, ink);
    // A quarter turn anticlockwise: the column becomes the bottom row (glyph rows run
    // right), the bottom row becomes the right column (glyph columns run up).
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
        {
            const bool set = (y == 14 && x >= 3 && x <= 9) || (x == 9 && y >= 10 && y <= 14);
            EXPECT_EQ(turned.Pixel(x, y) == ink, set) << x << "," << y;
        }
}

TEST(RgbImage, CharactersOutsidePrintableAsciiDrawAsQuestionMarks)
{
    EXPECT_EQ(GlyphFor('\x01'), GlyphFor('?'));
    EXPECT_EQ(GlyphFor('\xE9'), GlyphFor('?'));
    EXPECT_NE(GlyphFor('A'), GlyphFor('?'));
    EXPECT_EQ(GlyphFor(' '), GlyphRows{});
}

TEST(RgbImage, WritesAPngThatReadsBackPixelForPixel)
{
    const RgbImage image = DrawResponsePlot("Round trip", Flat(3.0, -3.0), 400, 250);
    const std::string path = UniqueTempPath("plot_test.png").string();
    std::string error;
    ASSERT_TRUE(image.WritePng(path, error)) << error;

    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&png, path.c_str()), 0) << png.message;
    EXPECT_EQ(png.width, 400u);
    EXPECT_EQ(png.height, 250u);
    png.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    ASSERT_NE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr), 0) << png.message;
    EXPECT_EQ(pixels, image.Bytes());
    std::filesystem::remove(path);

    EXPECT_FALSE(
        image.WritePng((std::filesystem::temp_directory_path() / "no/such/dir/x.png").string(), error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}
