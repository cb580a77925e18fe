#include "tools/Bench.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace
{
template <typename Sample> struct Buffers
{
    std::vector<std::vector<Sample>> in, out;
    std::vector<Sample*> inPtr, outPtr;

    Buffers(int inputs, int outputs, int frames)
        : in(static_cast<std::size_t>(inputs), std::vector<Sample>(static_cast<std::size_t>(frames))),
          out(static_cast<std::size_t>(outputs), std::vector<Sample>(static_cast<std::size_t>(frames))),
          inPtr(static_cast<std::size_t>(std::max(inputs, 1)), nullptr),
          outPtr(static_cast<std::size_t>(std::max(outputs, 1)), nullptr)
    {
        std::uint32_t seed = 0x2545F491u;
        for (std::size_t c = 0; c < in.size(); ++c)
        {
            for (Sample& s : in[c])
            {
                seed = seed * 1664525u + 1013904223u;
                s = static_cast<Sample>((static_cast<double>(seed >> 8) / 8388608.0 - 1.0) * 0.25);
            }
            inPtr[c] = in[c].data();
        }
        for (std::size_t c = 0; c < out.size(); ++c)
            outPtr[c] = out[c].data();
    }
};

bool Call(HostedPlugin& plugin, Buffers<float>& b, int frames)
{
    return plugin.Process(b.inPtr.data(), b.outPtr.data(), frames);
}

bool Call(HostedPlugin& plugin, Buffers<double>& b, int frames)
{
    return plugin.ProcessDouble(b.inPtr.data(), b.outPtr.data(), frames);
}

template <typename Sample>
bool Run(HostedPlugin& plugin, double seconds, BenchResult& result, std::string& error)
{
    const int block = plugin.BlockSize();
    Buffers<Sample> buffers(plugin.InputCount(), plugin.OutputCount(), block);
    constexpr int kPasses = 10;
    const long long total = static_cast<long long>(seconds * plugin.SampleRate());
    const long long blocksPerPass = std::max(1LL, total / kPasses / block);
    const long long warmupBlocks = std::max(1LL, blocksPerPass);

    plugin.SetProcessMode(ProcessMode::Realtime);
    plugin.Rewind();
    plugin.Resume();
    for (long long i = 0; i < warmupBlocks; ++i)
        if (!Call(plugin, buffers, block))
        {
            plugin.Suspend();
            error = "the plug-in could not process a block";
            return false;
        }
    std::vector<double> perFrame;
    for (int pass = 0; pass < kPasses; ++pass)
    {
        bool ok = true;
        const auto start = std::chrono::steady_clock::now();
        for (long long i = 0; i < blocksPerPass; ++i)
            ok = Call(plugin, buffers, block) && ok;
        const auto stop = std::chrono::steady_clock::now();
        if (!ok)
        {
            plugin.Suspend();
            error = "the plug-in could not process a block";
            return false;
        }
        const double ns = std::chrono::duration<double, std::nano>(stop - start).count();
        perFrame.push_back(ns / static_cast<double>(blocksPerPass * block));
    }
    plugin.Suspend();
    std::sort(perFrame.begin(), perFrame.end());
    result.nsPerFrame = (perFrame[kPasses / 2 - 1] + perFrame[kPasses / 2]) / 2.0;
    result.bestNsPerFrame = perFrame.front();
    result.frames = blocksPerPass * block * kPasses;
    result.passes = kPasses;
    return true;
}
} // namespace

bool BenchPlugin(HostedPlugin& plugin, double seconds, bool useDouble, BenchResult& result,
                 std::string& error)
{
    result = BenchResult{};
    if (!(seconds >= 0.1 && seconds <= 3600.0))
    {
        error = "bench length must be 0.1 to 3600 seconds";
        return false;
    }
    if (useDouble && !plugin.CanDouble())
    {
        error = "plug-in does not offer 64-bit processing";
        return false;
    }
    if (plugin.Resumed())
        plugin.Suspend();
    return useDouble ? Run<double>(plugin, seconds, result, error)
                     : Run<float>(plugin, seconds, result, error);
}
