// Writes the committed PNG files made from the test fixtures:
//   png_fixture_writer FIXTURE_DIR CORPUS_DIR
// FIXTURE_DIR (raster/tests/fixtures) receives the images compiled into the Windows
// resource test; CORPUS_DIR (fuzz/corpus/png_memory_fuzz) the fuzzer's seed inputs.
#include "raster/tests/PngFixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace
{
bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    return static_cast<bool>(out);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s FIXTURE_DIR CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path fixtures = argv[1], corpus = argv[2];
    std::filesystem::create_directories(fixtures);
    std::filesystem::create_directories(corpus);
    bool ok = true;

    const std::vector<std::uint8_t> rgb8 = pngfixture::Case("rgb8").png;
    ok &= WriteFile(fixtures / "rgb8.png", rgb8);
    ok &= WriteFile(fixtures / "interlaced_rgba8.png", pngfixture::Case("interlaced_rgba8").png);
    ok &= WriteFile(fixtures / "short7.bin", std::vector<std::uint8_t>(rgb8.begin(), rgb8.begin() + 7));
    std::vector<std::uint8_t> badSignature = rgb8;
    badSignature[7] ^= 0x01;
    ok &= WriteFile(fixtures / "bad_signature.bin", badSignature);

    for (const pngfixture::Fixture& f : pngfixture::DecodeCases())
        ok &= WriteFile(corpus / (f.name + ".png"), f.png);
    ok &= WriteFile(corpus / "truncated.png", std::vector<std::uint8_t>(rgb8.begin(), rgb8.end() - 20));
    ok &= WriteFile(corpus / "too_wide.png", pngfixture::HeaderOnly(16385, 1));
    return ok ? 0 : 1;
}
