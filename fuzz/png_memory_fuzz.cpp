// LoadPngMemory on arbitrary bytes: must not crash, leak or trip a sanitizer, and any
// bitmap it answers must be fully readable at its stated size.
//
// Headers declaring an image within the size limit but of more than 4 megapixels are
// skipped: the decoder allocates the whole bitmap (up to 1 GiB) before reading any row,
// which would make each such input cost a second under the sanitizers while exercising
// no other code. Sizes beyond the limit still go to the decoder.
#include "raster/MemBitmap.h"
#include "raster/PngLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr std::uint64_t kMaxFuzzPixels = std::uint64_t{1} << 22;

std::uint32_t BigEndian32(const uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

bool DeclaresAHugeAcceptedImage(const uint8_t* data, size_t size)
{
    if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    const std::uint64_t width = BigEndian32(data + 16), height = BigEndian32(data + 20);
    return width <= kPngMaxSide && height <= kPngMaxSide && width * height > kMaxFuzzPixels;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (DeclaresAHugeAcceptedImage(data, size))
        return 0;
    MemBitmap* bitmap = LoadPngMemory(data, size);
    if (!bitmap)
        return 0;
    if (bitmap->Width() <= 0 || bitmap->Height() <= 0 || bitmap->Width() > kPngMaxSide ||
        bitmap->Height() > kPngMaxSide || !bitmap->PixelData() || bitmap->RowStride() < bitmap->Width())
        std::abort();
    // Read every pixel so that the sanitizers check the whole image is inside the block.
    PackedPixel sum = 0;
    for (int y = 0; y < bitmap->Height(); ++y)
        for (int x = 0; x < bitmap->Width(); ++x)
            sum += bitmap->PixelData()[static_cast<std::size_t>(y) * bitmap->RowStride() + x];
    volatile PackedPixel sink = sum;
    (void)sink;
    delete bitmap;
    return 0;
}
