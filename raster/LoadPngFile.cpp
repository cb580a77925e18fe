#include "raster/PngDecoder.h"
#include "raster/PngLoader.h"
#include "raster/Utf8File.h"

#include <cstring>

namespace
{
// True when the name's tail from its last '.', '/' or '\' is ".png", in any case.
bool HasPngExtension(const char* path)
{
    const char* tail = nullptr;
    for (const char* p = path; *p; ++p)
        if (*p == '.' || *p == '/' || *p == '\\')
            tail = p;
    if (!tail || std::strlen(tail) != 4 || tail[0] != '.')
        return false;
    const char expected[] = "png";
    for (int i = 0; i < 3; ++i)
    {
        const char c = tail[1 + i];
        if (c != expected[i] && c != expected[i] - ('a' - 'A'))
            return false;
    }
    return true;
}
} // namespace

RasterBitmap* LoadPngFile(const char* path, bool checkExtension, RasterBitmap* bitmap)
{
    if (!path || (checkExtension && !HasPngExtension(path)))
        return nullptr;
    std::FILE* file = OpenUtf8FileForReading(path);
    if (!file)
        return nullptr;
    PngSource source;
    source.file = file;
    RasterBitmap* result = DecodePng(source, bitmap);
    std::fclose(file);
    return result;
}
