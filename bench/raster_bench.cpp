// The editor's common pixel operations on an editor-sized bitmap (224 x 434), in
// megapixels per second ("Mpix_per_s"), each beside a plain memcpy of the same bytes
// measured in the same run: "x_memcpy" is the operation's time per call over memcpy's
// (1.0 = as fast as copying the pixels). Both are wall-clock figures.
#include "raster/BlendMode.h"
#include "raster/BlitBitmap.h"
#include "raster/FillBitmap.h"
#include "raster/MemBitmap.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <random>

namespace
{
constexpr int kWidth = 224;
constexpr int kHeight = 434;
constexpr double kPixels = double(kWidth) * kHeight;

// memcpy's time per call, set by BM_Memcpy, which runs first.
double g_memcpyNanos = 0.0;

// Artwork-like source: a third transparent, a third opaque, a third anti-aliased edges.
void FillArtwork(MemBitmap& b)
{
    std::mt19937 rng(42);
    for (int i = 0; i < b.RowStride() * b.Height(); ++i)
    {
        const PackedPixel colour = static_cast<PackedPixel>(rng()) & 0x00FFFFFFu;
        const int kind = static_cast<int>(rng() % 3);
        const PackedPixel alpha = kind == 0 ? 0u : (kind == 1 ? 255u : 1u + rng() % 254u);
        b.PixelData()[i] = colour | (alpha << 24);
    }
}

// Runs op once per iteration; reports megapixels per second and the ratio to memcpy.
template <class Op> void Measure(benchmark::State& state, Op op)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        op();
        benchmark::ClobberMemory();
    }
    const double nanos =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    // Wall-clock figures, the same clock for the operation and for memcpy.
    state.counters["Mpix_per_s"] = kPixels / nanos * 1e3;
    if (g_memcpyNanos > 0.0)
        state.counters["x_memcpy"] = nanos / g_memcpyNanos;
    else
        g_memcpyNanos = nanos;
}

void BM_Memcpy(benchmark::State& state)
{
    MemBitmap src(kWidth, kHeight), dest(kWidth, kHeight);
    FillArtwork(src);
    const std::size_t bytes = std::size_t(kWidth) * kHeight * sizeof(PackedPixel);
    g_memcpyNanos = 0.0;
    Measure(state,
            [&]
            {
                std::memcpy(dest.PixelData(), src.PixelData(), bytes);
                benchmark::DoNotOptimize(dest.PixelData());
            });
}

void BM_OpaqueCopy(benchmark::State& state)
{
    MemBitmap src(kWidth, kHeight), dest(kWidth, kHeight);
    FillArtwork(src);
    Measure(state, [&] { BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BlendCopy); });
}

void BM_SourceAlphaCopy(benchmark::State& state)
{
    MemBitmap src(kWidth, kHeight), dest(kWidth, kHeight);
    FillArtwork(src);
    FillArtwork(dest);
    Measure(state, [&] { BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BlendCopy | BlendUseSourceAlpha); });
}

// The meter bar's fill: colour 0xE1RRGGBB at weight 1 with source alpha (integer weight 225).
void BM_SourceAlphaFill(benchmark::State& state)
{
    MemBitmap dest(kWidth, kHeight);
    FillArtwork(dest);
    Measure(state,
            [&] {
                FillBitmapRect(&dest, 0, 0, kWidth, kHeight, 0xE1FF95FFu, 1.0f,
                               BlendCopy | BlendUseSourceAlpha);
            });
}
} // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_OpaqueCopy);
BENCHMARK(BM_SourceAlphaCopy);
BENCHMARK(BM_SourceAlphaFill);
BENCHMARK_MAIN();
