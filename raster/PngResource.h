#pragma once
// Loading PNG images stored as resources of type "PNG" in a Windows module (Windows only).

#include "raster/MemBitmap.h"

struct HINSTANCE__;

// Decodes the "PNG" resource `resourceId` of `module` (the plug-in library's instance
// handle). Answers a new bitmap owned by the caller, or none when the resource is
// missing, shorter than 8 bytes or not a decodable PNG. [editor thread]
MemBitmap* LoadPngResource(HINSTANCE__* module, int resourceId);
