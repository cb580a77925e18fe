#include "ExportLookup.h"

#include <cstring>
#include <windows.h>

void* FindLoadedExport(const char* libraryPath, const char* name)
{
    const char* base = libraryPath;
    for (const char* p = libraryPath; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    HMODULE module = GetModuleHandleA(base);
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}
