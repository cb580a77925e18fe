#include "tools/validator/AllocationWatch.h"
#include "tools/validator/CheckSupport.h"
#include "tools/validator/Checks.h"
#include "tools/validator/FpuState.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace
{
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Runs every plug-in call of the denormal check with flush-to-zero and denormals-are-zero
// off, and compares the control state before and after each.
class FpuWatch
{
public:
    FpuWatch() : saved_(FpuState::Read())
    {
        FpuState clean = saved_;
        clean.mxcsr &= ~(FpuState::kFlushToZero | FpuState::kDenormalsAreZero);
        FpuState::Write(clean);
    }
    ~FpuWatch() { FpuState::Write(saved_); }
    template <typename Call> void Run(const std::string& what, Call&& call)
    {
        const FpuState before = FpuState::Read();
        call();
        const FpuState after = FpuState::Read();
        ++calls_;
        if (!before.SameControl(after))
        {
            if (fault_.empty())
                fault_ = before.DescribeChange(after) + " in " + what;
            // Put the host's state back so that the rest runs as a host would.
            FpuState::Write(before);
        }
    }
    const std::string& Fault() const { return fault_; }
    long long Calls() const { return calls_; }

private:
    FpuState saved_;
    std::string fault_;
    long long calls_ = 0;
};
} // namespace

CheckResult CheckDenormals(const std::string& path, const ValidatorOptions& options)
{
    FpuWatch fpu;
    std::string error;
    std::unique_ptr<HostedPlugin> plugin;
    fpu.Run("the entry point",
            [&]
            {
                SetStep("loading with flush-to-zero off");
                plugin = HostedPlugin::Load(path, error);
            });
    if (!plugin)
        return {false, error};
    bool opened = false;
    fpu.Run("effOpen", [&] { opened = plugin->Open(error); });
    bool prepared = false;
    fpu.Run("effSetSampleRate, effSetBlockSize, effSetSpeakerArrangement",
            [&] { prepared = opened && plugin->Prepare(kRate, kBlock, false, error); });
    if (!prepared)
        return {false, error};
    for (int i = 0; i < plugin->ParamCount(); ++i)
    {
        fpu.Run(Format("getParameter(%d)", i), [&] { plugin->GetParameter(i); });
        fpu.Run(Format("effGetParamDisplay(%d)", i), [&] { plugin->ParamDisplay(i); });
        const float value = i == 0 ? 0.75f : 0.5f;
        fpu.Run(Format("setParameter(%d)", i), [&] { plugin->SetParameter(i, value); });
    }
    fpu.Run("effGetChunk",
            [&]
            {
                std::vector<std::uint8_t> chunk;
                plugin->GetChunk(false, chunk, error);
            });
    fpu.Run("effMainsChanged(1), effStartProcess", [&] { plugin->Resume(); });

    const int noiseBlocks = static_cast<int>(2.0 * kRate / kBlock);
    const int silentBlocks = static_cast<int>(options.denormalSilenceSeconds * kRate / kBlock);
    const Signal noise = TestSignal(plugin->InputCount(), noiseBlocks * kBlock, kRate, 127);
    HostBuffers<float> in(plugin->InputCount(), kBlock);
    HostBuffers<float> out(plugin->OutputCount(), kBlock);
    std::vector<double> signalCost;
    std::vector<double> silentCost;
    std::string outputFault;
    for (int b = 0; b < noiseBlocks + silentBlocks; ++b)
    {
        const bool silent = b >= noiseBlocks;
        if (silent)
            in.Zero(kBlock);
        else
            in.Load(noise, static_cast<std::size_t>(b) * kBlock, kBlock);
        SetStep("denormal check block %d (%s)", b, silent ? "silence" : "noise");
        const auto start = Clock::now();
        fpu.Run(Format("processReplacing (block %d, %s)", b, silent ? "silence" : "noise"),
                [&] { plugin->Process(in.Pointers(), out.Pointers(), kBlock); });
        const double cost = std::chrono::duration<double>(Clock::now() - start).count();
        // The first blocks warm caches; they are not timed.
        if (b >= 8)
            (silent ? silentCost : signalCost).push_back(cost);
        for (int c = 0; c < plugin->OutputCount() && outputFault.empty(); ++c)
        {
            Signal one{std::vector<double>(out.Channel(c), out.Channel(c) + kBlock)};
            const SignalStats stats = Analyse(one, false);
            if (stats.firstBad >= 0)
                outputFault = Format("%s output %s in block %d (%s, %.2f s), channel %d",
                                     std::isfinite(stats.firstBadValue) ? "subnormal" : "non-finite",
                                     SampleText(stats.firstBadValue).c_str(), b, silent ? "silence" : "noise",
                                     b * kBlock / kRate, c);
        }
    }
    fpu.Run("effStopProcess, effMainsChanged(0)", [&] { plugin->Suspend(); });
    fpu.Run("effClose and unloading", [&] { plugin.reset(); });
    if (!outputFault.empty())
        return {false, outputFault};
    if (!fpu.Fault().empty())
        return {false, "floating-point control state changed: " + fpu.Fault()};
    // Cost: the median silent block of the worst second against the median block with signal.
    const double signalMedian = Median(signalCost);
    const std::size_t perSecond = static_cast<std::size_t>(kRate / kBlock);
    double worstRatio = 0.0;
    double worstAt = 0.0;
    for (std::size_t from = 0; from < silentCost.size(); from += perSecond)
    {
        const std::size_t to = std::min(silentCost.size(), from + perSecond);
        if (to - from < perSecond / 2)
            break;
        const double ratio =
            Median(std::vector<double>(silentCost.begin() + static_cast<std::ptrdiff_t>(from),
                                       silentCost.begin() + static_cast<std::ptrdiff_t>(to))) /
            std::max(signalMedian, 1e-9);
        if (ratio > worstRatio)
        {
            worstRatio = ratio;
            worstAt = static_cast<double>(from) / static_cast<double>(perSecond);
        }
    }
    const std::string figure = Format(
        "2 s noise then %g s silence, flush-to-zero off: no subnormal output; control state unchanged over "
        "%lld calls; silent blocks cost %.2f x blocks with signal (worst second at %.0f s)",
        options.denormalSilenceSeconds, fpu.Calls(), worstRatio, worstAt);
    if (worstRatio > 1.5)
        return {false,
                Format("silent blocks cost %.2f x blocks with signal %.0f s into the silence (bound 1.5; "
                       "%.1f us against %.1f us): subnormal numbers inside the plug-in?",
                       worstRatio, worstAt, 1e6 * worstRatio * signalMedian, 1e6 * signalMedian)};
    return {true, figure};
}

CheckResult CheckRealtimeSafety(const std::string& path, const ValidatorOptions&)
{
    // The worst block must stay within this share of the block's duration.
    constexpr double kWorstShare = 0.5;
    std::string fault;
    std::unique_ptr<HostedPlugin> probe = OpenPlugin(path, fault);
    if (!probe)
        return {false, fault};
    const bool canDouble = probe->CanDouble();
    probe.reset();
    long long calls = 0;
    AllocationCounts counts;
    std::string how;
    bool observable = false;
    double worst = 0.0;
    const double duration = kBlock / kRate;
    for (bool precision : canDouble ? std::vector<bool>{false, true} : std::vector<bool>{false})
    {
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, precision, fault);
        if (!plugin)
            return {false, fault};
        AllocationWatch watch(reinterpret_cast<const void*>(plugin->RawEffect()->dispatcher));
        watch.Reset();
        how = watch.How();
        observable = watch.Available();
        // The host's own work inside callbacks made during a process call is not the plug-in's.
        plugin->SetCallInterceptor(
            [](HostedPlugin& host, const HostCall& call)
            {
                AllocationWatch::Pause();
                const VstIntPtr answer = host.DefaultAnswer(call);
                AllocationWatch::Resume();
                return answer;
            });
        HostBuffers<float> inF(plugin->InputCount(), kBlock), outF(plugin->OutputCount(), kBlock);
        HostBuffers<double> inD(plugin->InputCount(), kBlock), outD(plugin->OutputCount(), kBlock);
        const Signal input = TestSignal(plugin->InputCount(), static_cast<int>(kRate), kRate, 131);
        Noise random(137u);
        auto block = [&](int frames, std::size_t at, bool counted)
        {
            inF.Load(input, at % (input[0].size() - kBlock), frames);
            inD.Load(input, at % (input[0].size() - kBlock), frames);
            if (counted)
                watch.Begin();
            const auto start = Clock::now();
            if (precision)
                plugin->ProcessDouble(inD.Pointers(), outD.Pointers(), frames);
            else
                plugin->Process(inF.Pointers(), outF.Pointers(), frames);
            const double cost = std::chrono::duration<double>(Clock::now() - start).count();
            if (counted)
            {
                watch.End();
                ++calls;
            }
            return cost;
        };
        SetStep("first block (%s)", precision ? "64-bit" : "32-bit");
        block(kBlock, 0, false);
        // Sizes from 1 to the block size with parameter changes between blocks (outside the
        // counted calls), then whole blocks, timed: the worst of the best of three runs.
        std::size_t at = 0;
        for (int b = 0; b < 400; ++b)
        {
            if (b % 8 == 0)
                for (int i = 0; i < plugin->ParamCount(); ++i)
                    plugin->SetParameter(i, static_cast<float>(0.5 + 0.5 * random.Next()));
            const int frames = random.Between(1, kBlock);
            SetStep("counted block %d of %d frames", b, frames);
            block(frames, at, true);
            at += static_cast<std::size_t>(frames);
        }
        double best = INFINITY;
        for (int run = 0; run < 3 && best > kWorstShare * duration; ++run)
        {
            double worstOfRun = 0.0;
            for (int b = 0; b < 2 * static_cast<int>(kRate / kBlock); ++b)
            {
                SetStep("timed block %d", b);
                worstOfRun = std::max(worstOfRun, block(kBlock, at, true));
                at += kBlock;
            }
            best = std::min(best, worstOfRun);
        }
        worst = std::max(worst, best);
        const AllocationCounts now = watch.Counts();
        counts.allocations += now.allocations;
        counts.frees += now.frees;
        if (counts.firstSize < 0)
            counts.firstSize = now.firstSize;
        plugin->SetCallInterceptor(nullptr);
    }
    if (counts.allocations > 0 || counts.frees > 0)
        return {false,
                Format("%lld heap allocations and %lld frees in %lld process calls after the first (first "
                       "allocation %lld bytes; %s)",
                       static_cast<long long>(counts.allocations), static_cast<long long>(counts.frees),
                       calls, static_cast<long long>(counts.firstSize), how.c_str())};
    const std::string timing = Format("worst block %.3f ms of %.2f ms (%.1f%%)", 1e3 * worst, 1e3 * duration,
                                      100.0 * worst / duration);
    if (worst > kWorstShare * duration)
        return {false, timing + Format(", over the bound of %.0f%% in three runs", 100.0 * kWorstShare)};
    if (!observable)
        return {true, Format("allocations %s; %s", how.c_str(), timing.c_str())};
    return {true, Format("no heap calls in %lld process calls after the first (%s); %s", calls, how.c_str(),
                         timing.c_str())};
}
