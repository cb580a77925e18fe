#pragma once
// The decoding pipeline shared by the PNG loaders: libpng set-up, the transformations to
// alpha-red-green-blue bytes, reading the rows into a bitmap and the final byte shuffle.

#include <cstddef>
#include <cstdio>

class RasterBitmap;

// Where the compressed bytes come from: a memory block (data, size) or an open file.
struct PngSource
{
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::FILE* file = nullptr;
};

// Decodes the stream, signature included, into `target` (resized to the image) or, when
// target is none, into a new MemBitmap. Answers the bitmap or none; the caller owns the
// source and closes any file.
RasterBitmap* DecodePng(const PngSource& source, RasterBitmap* target);
