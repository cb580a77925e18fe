#pragma once
// Decoding PNG images into bitmaps of straight-alpha PackedPixel values with libpng.
// Every call is self-contained: the libpng structures, the row table and any file live
// only for the call. Images wider or taller than kPngMaxSide pixels are refused.
// [editor thread, or any thread: no shared state]

#include "raster/MemBitmap.h"

#include <cstddef>

// Largest accepted width and height, enforced through libpng's own user limits.
constexpr int kPngMaxSide = 16384;

// The file-dialog filter that goes with LoadPngFile.
inline constexpr char kPngFileFilterName[] = "PNG files (*.PNG)";
inline constexpr char kPngFileFilterPattern[] = "*.PNG";

// Decodes a complete PNG file held in memory. Answers a new bitmap owned by the caller,
// or none for fewer than 8 bytes, a wrong signature, a damaged or truncated stream, an
// image beyond the size limit or a failed allocation.
MemBitmap* LoadPngMemory(const void* data, std::size_t size);

// Decodes the PNG file at the UTF-8 path `path`. With checkExtension the name must end in
// ".png" in any case (the text after the last '.', '/' or '\'). With a bitmap given, it
// is resized to the image and decoded into; otherwise a new MemBitmap is made. Answers
// the bitmap decoded into (owned by the caller), or none on any failure; a given bitmap
// is never deleted, and after a decoding error it keeps the rows decoded so far.
RasterBitmap* LoadPngFile(const char* path, bool checkExtension, RasterBitmap* bitmap = nullptr);
