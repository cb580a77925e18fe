#include "tools/PluginLibrary.h"

#include <filesystem>
#include <system_error>

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error)
{
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::path(path);
    if (!std::filesystem::exists(file, ec))
    {
        error = "no such file: " + path;
        return nullptr;
    }
    if (std::filesystem::is_directory(file, ec))
    {
        error = "not a plug-in library but a folder: " + path;
        return nullptr;
    }
    void* module = LoadModule(path, error);
    if (module == nullptr)
        return nullptr;

    std::unique_ptr<PluginLibrary> library(new PluginLibrary);
    library->module_ = module;
    library->path_ = path;
    for (const char* name : {"VSTPluginMain", "main"})
    {
        if (void* symbol = FindExport(module, name))
        {
            library->entry_ = reinterpret_cast<VstPluginEntryProc>(symbol);
            library->entryName_ = name;
            return library;
        }
    }
    error = "not a VST2 plug-in: " + path + " exports neither VSTPluginMain nor main";
    return nullptr;
}

PluginLibrary::~PluginLibrary()
{
    if (module_ != nullptr)
        UnloadModule(module_);
}
