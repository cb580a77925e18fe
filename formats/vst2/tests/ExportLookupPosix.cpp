#include "ExportLookup.h"

#include <dlfcn.h>

void* FindLoadedExport(const char* libraryPath, const char* name)
{
    void* module = dlopen(libraryPath, RTLD_NOW | RTLD_NOLOAD);
    if (!module)
        return nullptr;
    void* symbol = dlsym(module, name);
    dlclose(module); // drops only the reference RTLD_NOLOAD took
    return symbol;
}
