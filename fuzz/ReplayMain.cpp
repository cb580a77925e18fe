// Replays a fuzz target's corpus: every file named on the command line, or every file in
// a named folder, is fed to LLVMFuzzerTestOneInput once. Used where libFuzzer is not
// available (g++ builds, Windows builds under Wine) so the seed corpus runs as a test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i)
    {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path))
        {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                {
                    ok = RunFile(entry.path()) && ok;
                    ++runs;
                }
        }
        else
        {
            ok = RunFile(path) && ok;
            ++runs;
        }
    }
    // Also run the empty input: every parser must cope with it.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("replayed %d inputs\n", runs);
    return ok && runs > 0 ? 0 : 1;
}
