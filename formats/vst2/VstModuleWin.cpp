// The library's load notification: keeps the module handle for every notification (the
// editor loads its artwork through it) and answers success.
#include "core/ModuleHandle.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reason;
    (void)reserved;
    SetModuleHandle(instance);
    return TRUE;
}
