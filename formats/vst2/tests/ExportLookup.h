#pragma once
// Looks up an export of a library this process has already loaded (by its path).
void* FindLoadedExport(const char* libraryPath, const char* name);
