#pragma once
// PNG test images, encoded with libpng's writer from pixel definitions, with the pixels
// the loader must produce worked out from the same definitions in PackedPixel form.

#include "raster/PackedPixel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pngfixture
{
// An image in the PNG's own sample layout.
struct Encoding
{
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    int colourType = 2; // PNG colour type: 0 gray, 2 RGB, 3 palette, 4 gray+alpha, 6 RGBA
    bool interlaced = false;
    // Rows of raw samples, packed and big-endian as PNG stores them (no filter byte).
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<std::uint8_t> palette; // RGB triples
    std::vector<std::uint8_t> paletteAlpha;
    bool hasTransparentColour = false;
    std::uint16_t transparentGray = 0, transparentRed = 0, transparentGreen = 0, transparentBlue = 0;
};

// The PNG file bytes of an image; empty if libpng's writer failed.
std::vector<std::uint8_t> Encode(const Encoding& image);

struct Fixture
{
    std::string name;
    std::vector<std::uint8_t> png;
    int width = 0;
    int height = 0;
    std::vector<PackedPixel> expected; // row by row, top row first
};

// The decode cases: 8-bit RGB, palette with and without tRNS, 16-bit RGBA, 1- and 2-bit
// gray, gray with a transparent colour, gray+alpha, 16-bit RGB with a transparent colour,
// and an interlaced RGBA image.
std::vector<Fixture> DecodeCases();

// One case by name (empty fixture if unknown).
Fixture Case(const std::string& name);

// A header-only PNG declaring width x height as 8-bit RGB, with a short IDAT: enough for
// the size checks, never a decodable image.
std::vector<std::uint8_t> HeaderOnly(std::uint32_t width, std::uint32_t height);
} // namespace pngfixture
