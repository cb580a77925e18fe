#pragma once
// A path in the system's temporary folder that no other test process uses: test programs
// of several builds (native, sanitizers, Wine) may run at once on one machine.

#include <filesystem>
#include <random>
#include <string>

inline std::filesystem::path UniqueTempPath(const std::string& name)
{
    static const std::string tag = "grovane_" + std::to_string(std::random_device{}());
    return std::filesystem::temp_directory_path() / (tag + "_" + name);
}
