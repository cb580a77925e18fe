#include "raster/tests/PngFixtures.h"

#include <csetjmp>
#include <png.h>
#include <zlib.h>

namespace pngfixture
{
namespace
{
void Append(png_structp png, png_bytep data, png_size_t size)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void Flush(png_structp)
{
}

// Writes everything after the structures exist; libpng errors jump back here.
bool WriteGuarded(png_structp png, png_infop info, const Encoding& image, std::vector<std::uint8_t>* out,
                  std::vector<png_bytep>* rowPointers)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < image.palette.size(); i += 3)
        palette.push_back({image.palette[i], image.palette[i + 1], image.palette[i + 2]});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_color_16 colour{};
    colour.gray = image.transparentGray;
    colour.red = image.transparentRed;
    colour.green = image.transparentGreen;
    colour.blue = image.transparentBlue;
    if (!image.paletteAlpha.empty())
        png_set_tRNS(png, info, image.paletteAlpha.data(), static_cast<int>(image.paletteAlpha.size()),
                     nullptr);
    else if (image.hasTransparentColour)
        png_set_tRNS(png, info, nullptr, 0, &colour);
    png_write_info(png, info);
    png_set_interlace_handling(png);
    png_write_image(png, rowPointers->data());
    png_write_end(png, info);
    return true;
}

// Sample packing helpers for building rows.
void PutBits(std::vector<std::uint8_t>& row, int index, int bits, int value)
{
    const int bit = index * bits;
    row[bit / 8] |= static_cast<std::uint8_t>(value << (8 - bits - bit % 8));
}

void Put16(std::vector<std::uint8_t>& row, int index, int value)
{
    row[index * 2] = static_cast<std::uint8_t>(value >> 8);
    row[index * 2 + 1] = static_cast<std::uint8_t>(value);
}

Fixture Make(const char* name, const Encoding& e)
{
    Fixture f;
    f.name = name;
    f.png = Encode(e);
    f.width = e.width;
    f.height = e.height;
    f.expected.resize(static_cast<std::size_t>(e.width) * e.height);
    return f;
}

Fixture Rgb8()
{
    Encoding e;
    e.width = 7, e.height = 5, e.bitDepth = 8, e.colourType = 2;
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < e.width; ++x)
            row.insert(row.end(),
                       {std::uint8_t(x * 36), std::uint8_t(y * 50), std::uint8_t(255 - x * 20 - y * 10)});
        e.rows.push_back(row);
    }
    Fixture f = Make("rgb8", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            f.expected[y * e.width + x] = MakePackedPixel(255, x * 36, y * 50, 255 - x * 20 - y * 10);
    return f;
}

// 4-bit palette of five colours; the first three have tRNS alphas 0, 128 and 200.
Fixture Palette4WithTrns()
{
    const int colours[5][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}, {200, 100, 50}};
    const int alphas[3] = {0, 128, 200};
    Encoding e;
    e.width = 6, e.height = 4, e.bitDepth = 4, e.colourType = 3;
    for (const auto& c : colours)
        e.palette.insert(e.palette.end(), {std::uint8_t(c[0]), std::uint8_t(c[1]), std::uint8_t(c[2])});
    e.paletteAlpha = {0, 128, 200};
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row((e.width * 4 + 7) / 8);
        for (int x = 0; x < e.width; ++x)
            PutBits(row, x, 4, (x + 2 * y) % 5);
        e.rows.push_back(row);
    }
    Fixture f = Make("palette4_trns", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
        {
            const int i = (x + 2 * y) % 5;
            f.expected[y * e.width + x] =
                MakePackedPixel(i < 3 ? alphas[i] : 255, colours[i][0], colours[i][1], colours[i][2]);
        }
    return f;
}

Fixture Palette8()
{
    Encoding e;
    e.width = 3, e.height = 2, e.bitDepth = 8, e.colourType = 3;
    e.palette = {1, 2, 3, 40, 50, 60, 250, 251, 252};
    for (int y = 0; y < e.height; ++y)
        e.rows.push_back({std::uint8_t((y) % 3), std::uint8_t((1 + y) % 3), std::uint8_t((2 + y) % 3)});
    Fixture f = Make("palette8", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
        {
            const int i = (x + y) % 3;
            f.expected[y * e.width + x] =
                MakePackedPixel(255, e.palette[i * 3], e.palette[i * 3 + 1], e.palette[i * 3 + 2]);
        }
    return f;
}

// 16-bit RGBA whose low bytes carry noise that must be discarded.
Fixture Rgba16()
{
    Encoding e;
    e.width = 3, e.height = 3, e.bitDepth = 16, e.colourType = 6;
    auto high = [](int x, int y, int c)
    { return c == 3 ? 40 + x * 50 + y * 20 : (x * 80 + y * 10 + c * 3) & 0xFF; };
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row(e.width * 8);
        for (int x = 0; x < e.width; ++x)
            for (int c = 0; c < 4; ++c)
                Put16(row, x * 4 + c, high(x, y, c) << 8 | ((0xA5 ^ (x * 7 + y * 3 + c)) & 0xFF));
        e.rows.push_back(row);
    }
    Fixture f = Make("rgba16", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            f.expected[y * e.width + x] =
                MakePackedPixel(high(x, y, 3), high(x, y, 0), high(x, y, 1), high(x, y, 2));
    return f;
}

// 1-bit gray, 9 pixels wide so the last byte of each row is partly padding.
Fixture Gray1()
{
    Encoding e;
    e.width = 9, e.height = 3, e.bitDepth = 1, e.colourType = 0;
    auto on = [](int x, int y) { return (x * 3 + y) % 4 == 0 || x == 8; };
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row(2);
        for (int x = 0; x < e.width; ++x)
            PutBits(row, x, 1, on(x, y) ? 1 : 0);
        e.rows.push_back(row);
    }
    Fixture f = Make("gray1", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            f.expected[y * e.width + x] = on(x, y) ? 0xFFFFFFFFu : 0xFF000000u;
    return f;
}

// 2-bit gray: levels 0-3 expand to 0, 85, 170, 255.
Fixture Gray2()
{
    Encoding e;
    e.width = 5, e.height = 2, e.bitDepth = 2, e.colourType = 0;
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row(2);
        for (int x = 0; x < e.width; ++x)
            PutBits(row, x, 2, (x + y) % 4);
        e.rows.push_back(row);
    }
    Fixture f = Make("gray2", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
        {
            const int v = (x + y) % 4 * 85;
            f.expected[y * e.width + x] = MakePackedPixel(255, v, v, v);
        }
    return f;
}

// 8-bit gray with gray level 50 transparent.
Fixture Gray8WithTrns()
{
    Encoding e;
    e.width = 5, e.height = 2, e.bitDepth = 8, e.colourType = 0;
    e.hasTransparentColour = true;
    e.transparentGray = 50;
    auto level = [](int x, int y) { return (x + y) % 3 == 0 ? 50 : x * 40 + y; };
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < e.width; ++x)
            row.push_back(std::uint8_t(level(x, y)));
        e.rows.push_back(row);
    }
    Fixture f = Make("gray8_trns", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
        {
            const int v = level(x, y);
            f.expected[y * e.width + x] = MakePackedPixel(v == 50 ? 0 : 255, v, v, v);
        }
    return f;
}

Fixture GrayAlpha8()
{
    Encoding e;
    e.width = 4, e.height = 3, e.bitDepth = 8, e.colourType = 4;
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < e.width; ++x)
            row.insert(row.end(), {std::uint8_t(x * 60), std::uint8_t(y * 100 + 5)});
        e.rows.push_back(row);
    }
    Fixture f = Make("gray_alpha8", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            f.expected[y * e.width + x] = MakePackedPixel(y * 100 + 5, x * 60, x * 60, x * 60);
    return f;
}

// 16-bit RGB with a transparent colour: the match is on all 16 bits, before stripping,
// so a pixel differing only in a low byte stays opaque.
Fixture Rgb16WithTrns()
{
    Encoding e;
    e.width = 2, e.height = 2, e.bitDepth = 16, e.colourType = 2;
    e.hasTransparentColour = true;
    e.transparentRed = 0x1234, e.transparentGreen = 0x5678, e.transparentBlue = 0x9ABC;
    const int pixels[4][3] = {
        {0x1234, 0x5678, 0x9ABC}, {0x1234, 0x5678, 0x9ABD}, {0xFF00, 0x00FF, 0x8080}, {0, 0, 0}};
    for (int y = 0; y < 2; ++y)
    {
        std::vector<std::uint8_t> row(12);
        for (int x = 0; x < 2; ++x)
            for (int c = 0; c < 3; ++c)
                Put16(row, x * 3 + c, pixels[y * 2 + x][c]);
        e.rows.push_back(row);
    }
    Fixture f = Make("rgb16_trns", e);
    f.expected = {0x0012569Au, 0xFF12569Au, 0xFFFF0080u, 0xFF000000u};
    return f;
}

Fixture InterlacedRgba8()
{
    Encoding e;
    e.width = 13, e.height = 11, e.bitDepth = 8, e.colourType = 6, e.interlaced = true;
    auto px = [](int x, int y)
    { return MakePackedPixel(255 - x * 3 - y * 5, x * 19, y * 23, (x * y) & 0xFF); };
    for (int y = 0; y < e.height; ++y)
    {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < e.width; ++x)
        {
            const PackedPixel p = px(x, y);
            row.insert(row.end(), {std::uint8_t(PixelR(p)), std::uint8_t(PixelG(p)), std::uint8_t(PixelB(p)),
                                   std::uint8_t(PixelA(p))});
        }
        e.rows.push_back(row);
    }
    Fixture f = Make("interlaced_rgba8", e);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            f.expected[y * e.width + x] = px(x, y);
    return f;
}
} // namespace

std::vector<std::uint8_t> Encode(const Encoding& image)
{
    std::vector<std::uint8_t> out;
    std::vector<png_bytep> rowPointers;
    std::vector<std::vector<std::uint8_t>> rows = image.rows;
    for (auto& row : rows)
        rowPointers.push_back(row.data());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    const bool ok = info && WriteGuarded(png, info, image, &out, &rowPointers);
    png_destroy_write_struct(&png, &info);
    return ok ? out : std::vector<std::uint8_t>{};
}

std::vector<Fixture> DecodeCases()
{
    return {Rgb8(),  Palette4WithTrns(), Palette8(),   Rgba16(),        Gray1(),
            Gray2(), Gray8WithTrns(),    GrayAlpha8(), Rgb16WithTrns(), InterlacedRgba8()};
}

Fixture Case(const std::string& name)
{
    for (Fixture& f : DecodeCases())
        if (f.name == name)
            return f;
    return {};
}

std::vector<std::uint8_t> HeaderOnly(std::uint32_t width, std::uint32_t height)
{
    // Signature, then IHDR with its CRC, then a 2-byte IDAT that ends the file.
    std::vector<std::uint8_t> out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    auto put32 = [&out](std::uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(std::uint8_t(v >> shift));
    };
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data)
    {
        put32(static_cast<std::uint32_t>(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        put32(
            static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
    };
    std::vector<std::uint8_t> ihdr;
    for (std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.push_back(std::uint8_t(v >> shift));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    chunk("IHDR", ihdr);
    chunk("IDAT", {0x78, 0x9C});
    return out;
}
} // namespace pngfixture
