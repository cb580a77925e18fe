#pragma once
// PluginLibrary: one VST2 plug-in library loaded into this process (dlopen on POSIX,
// LoadLibrary on Windows) and the entry point found in it. The entry point is the
// exported VSTPluginMain, or the older main that many plug-ins export alone; on POSIX a
// symbol is accepted only when it lies inside the library itself, never when the lookup
// falls through to another loaded object. [any thread; not shared between threads]

#include "formats/vst2/VstInterface.h"

#include <memory>
#include <string>

class PluginLibrary
{
public:
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Loads the library at path (a native narrow path, as given on the command line) and finds its entry
    // point. Answers none and a message in error for a missing file, a library the system refuses, or a
    // library without either entry point.
    static std::unique_ptr<PluginLibrary> Open(const std::string& path, std::string& error);

    VstPluginEntryProc Entry() const { return entry_; }
    // "VSTPluginMain" or "main": the export the entry point was found under.
    const std::string& EntryName() const { return entryName_; }
    const std::string& Path() const { return path_; }

private:
    PluginLibrary() = default;

    // Platform part: load, look up a symbol exported by this very library, unload.
    static void* LoadModule(const std::string& path, std::string& error);
    static void* FindExport(void* module, const char* name);
    static void UnloadModule(void* module);

    void* module_ = nullptr;
    VstPluginEntryProc entry_ = nullptr;
    std::string entryName_;
    std::string path_;
};
