// The processing frame around the effect: binding 32-bit host buffers (widening into the
// scratch), the base copy-through render and narrowing back, for a stereo block; and the
// same on 64-bit host buffers, where binding only points at them. The difference is what
// a host that delivers 32-bit samples pays per frame beyond the effect itself.
#include "core/tests/TestPlugin.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
template <class Sample> std::vector<std::vector<Sample>> Signal(int frames)
{
    std::vector<std::vector<Sample>> channels(2, std::vector<Sample>(static_cast<std::size_t>(frames)));
    for (int c = 0; c < 2; ++c)
        for (int s = 0; s < frames; ++s)
            channels[c][s] = static_cast<Sample>((s % 97) * 0.01 - 0.48 + c * 0.001);
    return channels;
}

void FloatFrame(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    TestPlugin plug;
    plug.SetMaxBlockSize(frames);
    plug.ConnectInputs(0, 2, true);
    plug.ConnectOutputs(0, 2, true);
    auto in = Signal<float>(frames);
    auto out = Signal<float>(frames);
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    for (auto _ : state)
    {
        PlugLockGuard lock(plug.Mutex());
        plug.BindInputsFloat(0, 2, ins, frames);
        plug.BindOutputsFloat(0, 2, outs);
        plug.RunFloat(frames);
        benchmark::DoNotOptimize(outs[1][frames - 1]);
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void DoubleFrame(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    TestPlugin plug;
    plug.SetMaxBlockSize(frames);
    plug.ConnectInputs(0, 2, true);
    plug.ConnectOutputs(0, 2, true);
    auto in = Signal<double>(frames);
    auto out = Signal<double>(frames);
    double* ins[2] = {in[0].data(), in[1].data()};
    double* outs[2] = {out[0].data(), out[1].data()};
    for (auto _ : state)
    {
        PlugLockGuard lock(plug.Mutex());
        plug.BindInputs(0, 2, ins);
        plug.BindOutputs(0, 2, outs);
        plug.RunDouble(frames);
        benchmark::DoNotOptimize(outs[1][frames - 1]);
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
} // namespace

BENCHMARK(FloatFrame)->Arg(64)->Arg(512);
BENCHMARK(DoubleFrame)->Arg(64)->Arg(512);
BENCHMARK_MAIN();
