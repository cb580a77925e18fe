#pragma once
// Opening files named by UTF-8 paths for binary reading.

#include <cstdio>

// On Windows (NT family) the name is converted to UTF-16 and opened with the wide open,
// falling back to the narrow name when the conversion or the open fails; elsewhere the
// bytes are the name. Answers the open file (close it with fclose) or none.
std::FILE* OpenUtf8FileForReading(const char* path);
