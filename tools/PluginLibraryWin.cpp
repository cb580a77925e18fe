#include "tools/PluginLibrary.h"

#include <windows.h>

namespace
{
std::string SystemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n > 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message + " (error " + std::to_string(code) + ")";
}
} // namespace

void* PluginLibrary::LoadModule(const std::string& path, std::string& error)
{
    // No error dialogs from the loader: a command-line host reports failures as text.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    const DWORD code = GetLastError();
    SetErrorMode(previous);
    if (module == nullptr)
        error = "cannot load " + path + ": " + SystemMessage(code);
    return reinterpret_cast<void*>(module);
}

void* PluginLibrary::FindExport(void* module, const char* name)
{
    // GetProcAddress looks at this module's export table only.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void PluginLibrary::UnloadModule(void* module)
{
    FreeLibrary(static_cast<HMODULE>(module));
}
