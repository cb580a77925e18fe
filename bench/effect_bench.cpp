// Cost of the effect's audio path.
//
// RenderDouble: Grovane::RenderDouble on stereo blocks of 1024 frames, in ns per frame,
// beside FilterFloor, a loop that carries only the filter recursion of two channels (the
// arithmetic floor of this effect: each output waits on the previous one). The program
// prints the ratio of the two measured in the same run.
//
// SignalThenSilence: a fresh plug-in renders 1M frames of signal, then 14M frames of
// silence (long enough for the filters and, after about 12.5M frames, the 400 ms
// followers to decay through the range where unflushed values would be subnormal). It
// reports ns per frame of both parts (median block) and of the slowest 1M-frame stretch
// of silence.

#include "effect/Grovane.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{

constexpr int kFrames = 1024;

struct StereoBuffers
{
    StereoBuffers() : inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames)
    {
        for (int i = 0; i < kFrames; ++i)
        {
            inL[i] = 0.5 * std::sin(i * 0.031) + 0.25 * std::sin(i * 0.47);
            inR[i] = 0.5 * std::sin(i * 0.029 + 1.0) + 0.25 * std::sin(i * 0.43);
        }
        in[0] = inL.data();
        in[1] = inR.data();
        out[0] = outL.data();
        out[1] = outR.data();
    }
    std::vector<double> inL, inR, outL, outR;
    double* in[2];
    double* out[2];
};

// The recursion alone, summed in the same order as the filter, on the same coefficients;
// no flushing, no mix, no gain, no followers.
struct Recursion
{
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

struct FloorLoop
{
    explicit FloorLoop(const ResonantBiquad& f) : left{f.B0(), f.B1(), f.B2(), f.A1(), f.A2()}, right(left) {}

    void Run(double** in, double** out, int frames)
    {
        const double* inL = in[0];
        const double* inR = in[1];
        double* outL = out[0];
        double* outR = out[1];
        Recursion l = left, r = right;
        for (int i = 0; i < frames; ++i)
        {
            const double xl = inL[i], xr = inR[i];
            const double yl = l.b0 * xl + l.b1 * l.x1 + l.b2 * l.x2 - l.a1 * l.y1 - l.a2 * l.y2;
            const double yr = r.b0 * xr + r.b1 * r.x1 + r.b2 * r.x2 - r.a1 * r.y1 - r.a2 * r.y2;
            l.x2 = l.x1, l.x1 = xl, l.y2 = l.y1, l.y1 = yl;
            r.x2 = r.x1, r.x1 = xr, r.y2 = r.y1, r.y1 = yr;
            outL[i] = yl;
            outR[i] = yr;
        }
        left = l;
        right = r;
    }

    Recursion left, right;
};

// RenderDouble and the floor loop take turns on blocks of the same input, each block
// timed on its own, so that both see the same load on the machine. The figures of merit
// are the fastest block of each (least disturbed) and the means.
void RenderDouble(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    TestHost host;
    Grovane g(&host);
    FloorLoop floor(g.LeftFilter());
    StereoBuffers b;
    PlugLockGuard lock(g.Mutex()); // held around every block, as the adapters do
    double renderSum = 0, floorSum = 0;
    double renderMin = 1e300, floorMin = 1e300;
    for (auto _ : state)
    {
        const auto t0 = Clock::now();
        g.RenderDouble(b.in, b.out, kFrames);
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        floor.Run(b.in, b.out, kFrames);
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        const double render = std::chrono::duration<double, std::nano>(t1 - t0).count();
        const double base = std::chrono::duration<double, std::nano>(t2 - t1).count();
        renderSum += render;
        floorSum += base;
        renderMin = std::min(renderMin, render);
        floorMin = std::min(floorMin, base);
        state.SetIterationTime(render * 1e-9);
    }
    const double blocks = static_cast<double>(state.iterations());
    state.counters["render_ns_per_frame"] = renderSum / (blocks * kFrames);
    state.counters["floor_ns_per_frame"] = floorSum / (blocks * kFrames);
    state.counters["render_min_ns_per_frame"] = renderMin / kFrames;
    state.counters["floor_min_ns_per_frame"] = floorMin / kFrames;
}
BENCHMARK(RenderDouble)->UseManualTime();

constexpr int kSignalBlocks = 1024;      // 1M frames of signal
constexpr int kSilentBlocks = 14 * 1024; // 14M frames of silence
constexpr int kStretchBlocks = 1024;     // 1M frames
constexpr int kFilterDecayBlocks = 160;  // the filters ring down before they come to rest

double Median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// Each block is timed on its own and the parts are compared by their median block, which
// a preempted block on a busy machine does not move.
void SignalThenSilence(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    StereoBuffers signal;
    std::vector<double> zeros(kFrames, 0.0), sinkL(kFrames), sinkR(kFrames);
    double* silentIn[2] = {zeros.data(), zeros.data()};
    double* silentOut[2] = {sinkL.data(), sinkR.data()};
    std::vector<double> signalNs, silentNs, filterDecayNs;
    std::vector<double> worstStretch(kSilentBlocks / kStretchBlocks, 0.0);
    bool cleared = true;
    for (auto _ : state)
    {
        TestHost host;
        Grovane g(&host);
        PlugLockGuard lock(g.Mutex());
        std::vector<double> times(kSignalBlocks + kSilentBlocks);
        const auto start = Clock::now();
        auto t0 = start;
        for (int b = 0; b < kSignalBlocks + kSilentBlocks; ++b)
        {
            if (b < kSignalBlocks)
                g.RenderDouble(signal.in, signal.out, kFrames);
            else
                g.RenderDouble(silentIn, silentOut, kFrames);
            const auto t1 = Clock::now();
            times[b] = std::chrono::duration<double, std::nano>(t1 - t0).count();
            t0 = t1;
        }
        state.SetIterationTime(std::chrono::duration<double>(t0 - start).count());
        signalNs.insert(signalNs.end(), times.begin(), times.begin() + kSignalBlocks);
        silentNs.insert(silentNs.end(), times.begin() + kSignalBlocks, times.end());
        filterDecayNs.insert(filterDecayNs.end(), times.begin() + kSignalBlocks,
                             times.begin() + kSignalBlocks + kFilterDecayBlocks);
        for (size_t s = 0; s < worstStretch.size(); ++s)
        {
            const auto first = times.begin() + kSignalBlocks + static_cast<long>(s) * kStretchBlocks;
            worstStretch[s] =
                std::max(worstStretch[s], Median(std::vector<double>(first, first + kStretchBlocks)));
        }
        cleared = cleared && g.InputLevel() == 0.0 && g.OutputLevel() == 0.0 && g.LeftFilter().Y1() == 0.0 &&
                  g.RightFilter().Y1() == 0.0 && g.LeftFilter().Y2() == 0.0 && g.RightFilter().Y2() == 0.0;
    }
    state.counters["signal_ns_per_frame"] = Median(signalNs) / kFrames;
    state.counters["silence_ns_per_frame"] = Median(silentNs) / kFrames;
    // The first blocks of silence, while the filters still ring down toward zero.
    state.counters["filter_decay_ns_per_frame"] = Median(filterDecayNs) / kFrames;
    // The slowest 1M-frame stretch of silence (by its median block): the stretches where
    // unflushed values would be subnormal are among them.
    state.counters["worst_silent_stretch_ns_per_frame"] =
        *std::max_element(worstStretch.begin(), worstStretch.end()) / kFrames;
    state.counters["state_cleared"] = cleared ? 1 : 0;
}
BENCHMARK(SignalThenSilence)->UseManualTime()->Unit(benchmark::kMillisecond);

// Console output plus the ns-per-frame figures of each run, for the ratios printed at
// the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            for (const auto& [name, counter] : run.counters)
                figures[run.benchmark_name() + "/" + name] = counter.value;
        }
    }
    std::map<std::string, double> figures;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& f = reporter.figures;
    const auto figure = [&f](const char* name) { return f.count(name) ? f.at(name) : 0.0; };
    const double render = figure("RenderDouble/manual_time/render_ns_per_frame");
    const double floor = figure("RenderDouble/manual_time/floor_ns_per_frame");
    const double renderMin = figure("RenderDouble/manual_time/render_min_ns_per_frame");
    const double floorMin = figure("RenderDouble/manual_time/floor_min_ns_per_frame");
    if (floor > 0 && floorMin > 0)
        std::printf(
            "RenderDouble: %.3f ns/frame (fastest block %.3f); filter floor %.3f ns/frame (fastest block "
            "%.3f); ratio %.3f, fastest blocks %.3f (goal <= 1.5)\n",
            render, renderMin, floor, floorMin, render / floor, renderMin / floorMin);
    const auto signal = f.find("SignalThenSilence/manual_time/signal_ns_per_frame");
    const auto silence = f.find("SignalThenSilence/manual_time/silence_ns_per_frame");
    const auto worst = f.find("SignalThenSilence/manual_time/worst_silent_stretch_ns_per_frame");
    const auto decay = f.find("SignalThenSilence/manual_time/filter_decay_ns_per_frame");
    if (signal != f.end() && silence != f.end() && worst != f.end() && decay != f.end())
        std::printf(
            "Silence after signal: %.3f vs %.3f ns/frame (ratio %.3f); filters' ring-down %.3f (ratio "
            "%.3f); slowest 1M-frame silent stretch %.3f (ratio %.3f); goal <= 1.10\n",
            silence->second, signal->second, silence->second / signal->second, decay->second,
            decay->second / signal->second, worst->second, worst->second / signal->second);
    return 0;
}
