// LoadPngMemory on arbitrary bytes: must not crash, leak or trip a sanitizer, and any
// bitmap it answers must be fully readable at its stated size.
#include "raster/MemBitmap.h"
#include "raster/PngLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
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
