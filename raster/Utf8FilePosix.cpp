#include "raster/Utf8File.h"

std::FILE* OpenUtf8FileForReading(const char* path)
{
    return std::fopen(path, "rb");
}
