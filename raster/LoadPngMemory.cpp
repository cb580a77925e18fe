#include "raster/MemBitmap.h"
#include "raster/PngDecoder.h"
#include "raster/PngLoader.h"

#include <cstring>

namespace
{
constexpr unsigned char kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
}

MemBitmap* LoadPngMemory(const void* data, std::size_t size)
{
    // Checked before libpng is involved; libpng then reads the signature again itself.
    if (!data || size < sizeof kPngSignature || std::memcmp(data, kPngSignature, sizeof kPngSignature) != 0)
        return nullptr;
    PngSource source;
    source.data = static_cast<const unsigned char*>(data);
    source.size = size;
    // A bitmap made by the decoder (no target given) is always a MemBitmap.
    return static_cast<MemBitmap*>(DecodePng(source, nullptr));
}
