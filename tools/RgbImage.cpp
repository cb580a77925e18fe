#include "tools/RgbImage.h"

#include "tools/BitmapFont.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

RgbImage::RgbImage(int width, int height, Rgb fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3)
{
    FillRect(0, 0, width_, height_, fill);
}

Rgb RgbImage::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return {};
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 3;
    return {pixels_[at], pixels_[at + 1], pixels_[at + 2]};
}

void RgbImage::SetPixel(int x, int y, Rgb colour)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 3;
    pixels_[at] = colour.r;
    pixels_[at + 1] = colour.g;
    pixels_[at + 2] = colour.b;
}

void RgbImage::FillRect(int left, int top, int right, int bottom, Rgb colour)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            SetPixel(x, y, colour);
}

void RgbImage::Line(double x0, double y0, double x1, double y1, int thickness, Rgb colour)
{
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return;
    // Step one pixel at a time along the longer axis and stamp the brush at each step.
    const double span = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    const int steps = static_cast<int>(std::min(std::ceil(span), 100000.0));
    const int half = (thickness - 1) / 2;
    for (int i = 0; i <= steps; ++i)
    {
        const double t = steps > 0 ? static_cast<double>(i) / steps : 0.0;
        const int x = static_cast<int>(std::lround(x0 + (x1 - x0) * t)) - half;
        const int y = static_cast<int>(std::lround(y0 + (y1 - y0) * t)) - half;
        FillRect(x, y, x + thickness, y + thickness, colour);
    }
}

int RgbImage::TextWidth(const std::string& text, int scale)
{
    return text.empty() ? 0 : (static_cast<int>(text.size()) * kGlyphAdvance - 1) * scale;
}

int RgbImage::TextHeight(int scale)
{
    return kGlyphHeight * scale;
}

void RgbImage::Text(int x, int y, const std::string& text, int scale, Rgb colour)
{
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const GlyphRows& rows = GlyphFor(text[i]);
        const int left = x + static_cast<int>(i) * kGlyphAdvance * scale;
        for (int r = 0; r < kGlyphHeight; ++r)
            for (int c = 0; c < kGlyphWidth; ++c)
                if (rows[static_cast<std::size_t>(r)] & (1 << (kGlyphWidth - 1 - c)))
                    FillRect(left + c * scale, y + r * scale, left + (c + 1) * scale, y + (r + 1) * scale,
                             colour);
    }
}

void RgbImage::TextUpwards(int x, int y, const std::string& text, int scale, Rgb colour)
{
    // Rotated a quarter turn anticlockwise: glyph column c goes up the page, glyph row r
    // goes right.
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const GlyphRows& rows = GlyphFor(text[i]);
        const int bottom = y - static_cast<int>(i) * kGlyphAdvance * scale;
        for (int r = 0; r < kGlyphHeight; ++r)
            for (int c = 0; c < kGlyphWidth; ++c)
                if (rows[static_cast<std::size_t>(r)] & (1 << (kGlyphWidth - 1 - c)))
                    FillRect(x + r * scale, bottom - (c + 1) * scale, x + (r + 1) * scale, bottom - c * scale,
                             colour);
    }
}

bool RgbImage::WritePng(const std::string& path, std::string& error) const
{
    if (width_ <= 0 || height_ <= 0)
    {
        error = "cannot write an empty image";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width_);
    image.height = static_cast<png_uint_32>(height_);
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, pixels_.data(), 0, nullptr) == 0)
    {
        error = "cannot write " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}
