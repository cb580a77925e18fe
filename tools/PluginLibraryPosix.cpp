#include "tools/PluginLibrary.h"

#include <dlfcn.h>
#include <link.h>

void* PluginLibrary::LoadModule(const std::string& path, std::string& error)
{
    // dlopen treats a name without a slash as a search-path name; a plug-in path given
    // on the command line always means that file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
    {
        const char* reason = dlerror();
        error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
    }
    return module;
}

void* PluginLibrary::FindExport(void* module, const char* name)
{
    dlerror();
    void* symbol = dlsym(module, name);
    if (symbol == nullptr)
        return nullptr;
    // dlsym also searches the library's dependencies; only a definition in the library
    // itself is its entry point.
    link_map* own = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 || own == nullptr)
        return nullptr;
    Dl_info info;
    link_map* owner = nullptr;
    if (dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 || owner != own)
        return nullptr;
    return symbol;
}

void PluginLibrary::UnloadModule(void* module)
{
    dlclose(module);
}
