// The entry points of the Grovane VST2 library: VSTPluginMain and the older main, which
// many hosts still look for. Both create one Grovane instance for the calling host.

#include "effect/Grovane.h"

#if defined(_WIN32)
#define GROVANE_VST_EXPORT __declspec(dllexport)
#else
#define GROVANE_VST_EXPORT __attribute__((visibility("default")))
#endif

// C names on 32-bit Windows carry a leading underscore; the asm label below must too.
#if defined(_WIN32) && !defined(_WIN64)
#define GROVANE_C_SYMBOL(name) "_" name
#else
#define GROVANE_C_SYMBOL(name) name
#endif

namespace
{

PluginVST* CreateGrovane(audioMasterCallback hostCallback)
{
    return new Grovane(hostCallback);
}

} // namespace

extern "C"
{
    GROVANE_VST_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
    {
        return VstPluginEntry(hostCallback, CreateGrovane);
    }

    // Exported under the name "main". A C++ function cannot be called main with this
    // signature, so it carries another name and the symbol is renamed.
    GROVANE_VST_EXPORT AEffect* VSTCALLBACK
    GrovaneLegacyMain(audioMasterCallback hostCallback) __asm__(GROVANE_C_SYMBOL("main"));
    AEffect* VSTCALLBACK GrovaneLegacyMain(audioMasterCallback hostCallback)
    {
        return VstPluginEntry(hostCallback, CreateGrovane);
    }
}
