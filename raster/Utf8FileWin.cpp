#include "raster/Utf8File.h"

#include <windows.h>

namespace
{
// Longest name converted for the wide open, in UTF-16 units with the terminator.
constexpr int kMaxWideName = 2048;

bool IsNtFamily()
{
    return (GetVersion() & 0x80000000u) == 0;
}
} // namespace

std::FILE* OpenUtf8FileForReading(const char* path)
{
    if (IsNtFamily())
    {
        wchar_t wide[kMaxWideName];
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, kMaxWideName) > 0)
        {
            if (std::FILE* file = _wfopen(wide, L"rb"))
                return file;
        }
    }
    return std::fopen(path, "rb");
}
