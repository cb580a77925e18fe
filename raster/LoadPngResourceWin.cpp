#include "raster/MemBitmap.h"
#include "raster/PngLoader.h"
#include "raster/PngResource.h"

#include <windows.h>

MemBitmap* LoadPngResource(HINSTANCE__* module, int resourceId)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId), "PNG");
    if (!resource)
        return nullptr;
    const DWORD size = SizeofResource(module, resource);
    if (size < 8)
        return nullptr;
    HGLOBAL handle = LoadResource(module, resource);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data)
        return nullptr;
    return LoadPngMemory(data, size);
}
