#pragma once
// RgbImage: an 8-bit RGB raster for plots, with the few drawing operations they need and
// PNG output through libpng. Coordinates are pixels from the top-left corner; anything
// drawn outside the image is clipped.

#include <cstdint>
#include <string>
#include <vector>

struct Rgb
{
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

class RgbImage
{
public:
    RgbImage(int width, int height, Rgb fill);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb Pixel(int x, int y) const; // black outside the image
    const std::vector<std::uint8_t>& Bytes() const { return pixels_; }

    void SetPixel(int x, int y, Rgb colour);
    // Right and bottom exclusive.
    void FillRect(int left, int top, int right, int bottom, Rgb colour);
    // A line between two points, thickness pixels wide (a square brush).
    void Line(double x0, double y0, double x1, double y1, int thickness, Rgb colour);
    // Text in the built-in bitmap font, magnified by scale; (x, y) is the top-left of the
    // first glyph's cell. Vertical text runs upwards from (x, y) = its bottom-left.
    void Text(int x, int y, const std::string& text, int scale, Rgb colour);
    void TextUpwards(int x, int y, const std::string& text, int scale, Rgb colour);
    static int TextWidth(const std::string& text, int scale);
    static int TextHeight(int scale);

    // Writes the image as an 8-bit RGB PNG.
    bool WritePng(const std::string& path, std::string& error) const;

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};
