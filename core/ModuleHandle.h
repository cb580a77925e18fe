#pragma once
// The handle of the library this code is loaded in (an HINSTANCE on Windows), recorded by
// the library's load notification; the editor loads its artwork through it. None until
// the notification ran, and in programs that are not libraries.
// [any thread; written once while the library loads]

void SetModuleHandle(void* module);
void* ModuleHandle();
