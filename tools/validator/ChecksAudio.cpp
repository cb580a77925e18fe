#include "tools/validator/CheckSupport.h"
#include "tools/validator/Checks.h"

#include <cmath>
#include <limits>

namespace
{
std::vector<bool> Precisions(const HostedPlugin& plugin)
{
    return plugin.CanDouble() ? std::vector<bool>{false, true} : std::vector<bool>{false};
}

const char* PrecisionName(bool doublePrecision)
{
    return doublePrecision ? "64-bit" : "32-bit";
}

// The first frame where two signals differ by more than tolerance: false when none.
bool FirstDifference(const Signal& a, const Signal& b, double tolerance, std::string& where)
{
    for (std::size_t c = 0; c < a.size() && c < b.size(); ++c)
        for (std::size_t i = 0; i < a[c].size() && i < b[c].size(); ++i)
        {
            const double d = std::fabs(a[c][i] - b[c][i]);
            if (d > tolerance || std::isnan(a[c][i]) != std::isnan(b[c][i]) ||
                (std::isnan(d) && !std::isnan(a[c][i])))
            {
                where = Format("frame %zu of channel %zu: %s against %s (difference %.3g)", i, c,
                               SampleText(a[c][i]).c_str(), SampleText(b[c][i]).c_str(), d);
                return true;
            }
        }
    return false;
}

// Renders signal through plugin and checks the output; answers the peak or -1 with fault.
double RenderChecked(HostedPlugin& plugin, const Signal& input, const BlockSizes& sizes,
                     const RenderOptions& options, const std::string& what, std::string& fault,
                     Signal* kept = nullptr, Demand demand = Demand::Bounded)
{
    Signal output;
    std::string error;
    if (!Render(plugin, input, output, sizes, options, error))
    {
        fault = what + ": " + error;
        return -1.0;
    }
    const SignalStats stats = Analyse(output, options.doublePrecision);
    const std::string wrong = SignalFault(stats, demand);
    if (!wrong.empty())
    {
        fault = what + ": " + wrong;
        return -1.0;
    }
    if (kept != nullptr)
        *kept = std::move(output);
    return stats.peak;
}
} // namespace

CheckResult CheckLifecycle(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    double peak = 0.0;
    int blocks = 0;
    auto render = [&](HostedPlugin& plugin, int frames, int block, const std::string& what)
    {
        const Signal input = TestSignal(plugin.InputCount(), frames, kRate, 11);
        const double p = RenderChecked(plugin, input, FixedBlocks(block), {}, what, fault);
        peak = std::max(peak, p);
        blocks += (frames + block - 1) / block;
        return p >= 0.0;
    };
    // Three whole sequences: open, rate, block size, resume, process, suspend, close.
    for (int round = 1; round <= 3; ++round)
    {
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
        if (!plugin || !render(*plugin, FramesOf(0.25, kRate), kBlock, Format("sequence %d", round)))
            return {false, fault};
        SetStep("sequence %d: suspend and close", round);
        plugin->Suspend();
    }
    {
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
        if (!plugin || !render(*plugin, FramesOf(0.1, kRate), kBlock, "before a rate change while resumed"))
            return {false, fault};
        SetStep("effSetSampleRate(96000) while resumed");
        plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
        if (!render(*plugin, FramesOf(0.1, kRate), kBlock, "after a rate change while resumed"))
            return {false, fault};
    }
    {
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
        SetStep("effMainsChanged(1) a second time");
        if (plugin)
        {
            plugin->Dispatch(effMainsChanged, 0, 1);
            plugin->Dispatch(effStartProcess);
        }
        if (!plugin || !render(*plugin, FramesOf(0.1, kRate), kBlock, "after resuming twice"))
            return {false, fault};
    }
    {
        // No rate, no block size, no resume: blocks of 64 frames, which any default allows.
        std::unique_ptr<HostedPlugin> plugin = OpenPlugin(path, fault);
        if (!plugin || !render(*plugin, 64 * 8, 64, "processing straight after effOpen"))
            return {false, fault};
    }
    return {true,
            Format("3 full sequences, a rate change while resumed, a double resume, processing straight "
                   "after open (%d blocks): output finite, peak %s",
                   blocks, DbText(peak).c_str())};
}

CheckResult CheckRatesAndBlocks(const std::string& path, const ValidatorOptions&)
{
    const double rates[] = {22050, 44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000, 12345.678};
    const int blocks[] = {1, 3, 64, 512, 4096, 8192};
    std::string fault;
    double peak = 0.0;
    int cases = 0;
    for (double rate : rates)
    {
        std::unique_ptr<HostedPlugin> plugin = OpenPlugin(path, fault);
        if (!plugin)
            return {false, fault};
        for (bool precision : Precisions(*plugin))
            for (int block : blocks)
            {
                if (!Restart(*plugin, rate, block, precision, fault))
                    return {false, fault};
                // A tenth of a second, and at least two whole blocks.
                const int frames = std::max(FramesOf(0.1, rate), 2 * block);
                const Signal input = TestSignal(plugin->InputCount(), frames, rate, 23);
                RenderOptions options;
                options.doublePrecision = precision;
                const double p =
                    RenderChecked(*plugin, input, FixedBlocks(block), options,
                                  Format("%g Hz, block %d, %s", rate, block, PrecisionName(precision)), fault,
                                  nullptr, Demand::CleanAndBounded);
                if (p < 0.0)
                    return {false, fault};
                peak = std::max(peak, p);
                ++cases;
            }
    }
    return {
        true,
        Format("%d cases (10 rates from 12345.678 to 384000 Hz x blocks 1 to 8192%s): no NaN, infinity or "
               "subnormal; peak %s",
               cases, cases > 60 ? " x 32/64-bit" : "", DbText(peak).c_str())};
}

CheckResult CheckVariableBlocks(const std::string& path, const ValidatorOptions&)
{
    constexpr int kAnnounced = 4096;
    constexpr double kTolerance = 1e-6;
    std::string fault;
    std::unique_ptr<HostedPlugin> probe = OpenPlugin(path, fault);
    if (!probe)
        return {false, fault};
    const std::vector<bool> precisions = Precisions(*probe);
    const Signal input = TestSignal(probe->InputCount(), kAnnounced, kRate, 31);
    probe.reset();
    struct Partition
    {
        const char* name;
        int largest;
    };
    const Partition partitions[] = {
        {"1-frame blocks", 1}, {"blocks of 0 to 64", 64}, {"blocks of 0 to 4096", kAnnounced}};
    double worst = 0.0;
    int runs = 0;
    for (bool precision : precisions)
    {
        RenderOptions options;
        options.doublePrecision = precision;
        std::unique_ptr<HostedPlugin> reference = StartPlugin(path, kRate, kAnnounced, precision, fault);
        Signal expected;
        if (!reference ||
            RenderChecked(*reference, input, FixedBlocks(kAnnounced), options,
                          Format("one block, %s", PrecisionName(precision)), fault, &expected) < 0.0)
            return {false, fault};
        reference.reset();
        for (const Partition& partition : partitions)
        {
            std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kAnnounced, precision, fault);
            if (!plugin)
                return {false, fault};
            Noise sizes(977u + static_cast<std::uint32_t>(partition.largest));
            const int largest = partition.largest;
            // Small sizes are the common ones; empty blocks come now and then.
            BlockSizes next = [&sizes, largest]()
            {
                if (largest == 1)
                    return 1;
                const int pick = sizes.Between(0, 9);
                if (pick == 0)
                    return 0;
                return pick < 7 ? sizes.Between(1, std::min(largest, 64)) : sizes.Between(1, largest);
            };
            Signal output;
            const std::string what = Format("%s, %s", partition.name, PrecisionName(precision));
            if (RenderChecked(*plugin, input, next, options, what, fault, &output) < 0.0)
                return {false, fault};
            std::string where;
            if (FirstDifference(output, expected, kTolerance, where))
                return {false, Format("%s: output differs from one block of %d beyond %g at %s", what.c_str(),
                                      kAnnounced, kTolerance, where.c_str())};
            worst = std::max(worst, MaxDifference(output, expected));
            ++runs;
        }
    }
    return {true,
            Format("%d partitions of %d frames (1-frame, 0 to 64, 0 to %d; empty blocks included): largest "
                   "difference from one block %.3g",
                   runs, kAnnounced, kAnnounced, worst)};
}

CheckResult CheckBufferBounds(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> probe = OpenPlugin(path, fault);
    if (!probe)
        return {false, fault};
    const std::vector<bool> precisions = Precisions(*probe);
    const Signal input = TestSignal(probe->InputCount(), FramesOf(0.5, kRate), kRate, 41);
    probe.reset();
    double worst = 0.0;
    for (bool precision : precisions)
    {
        // Block sizes that vary, so that the guards sit after blocks of every length.
        auto sizes = []
        {
            auto noise = std::make_shared<Noise>(5u);
            return BlockSizes([noise] { return noise->Between(1, kBlock); });
        };
        RenderOptions separate;
        separate.doublePrecision = precision;
        separate.checkInputs = true;
        Signal expected;
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, precision, fault);
        if (!plugin ||
            RenderChecked(*plugin, input, sizes(), separate,
                          Format("separate buffers, %s", PrecisionName(precision)), fault, &expected) < 0.0)
            return {false, fault};
        plugin.reset();
        RenderOptions inPlace;
        inPlace.doublePrecision = precision;
        inPlace.inPlace = true;
        Signal output;
        plugin = StartPlugin(path, kRate, kBlock, precision, fault);
        if (!plugin ||
            RenderChecked(*plugin, input, sizes(), inPlace,
                          Format("in-place buffers, %s", PrecisionName(precision)), fault, &output) < 0.0)
            return {false, fault};
        std::string where;
        if (FirstDifference(output, expected, 1e-6, where))
            return {false, Format("in-place processing (%s) differs from separate buffers at %s",
                                  PrecisionName(precision), where.c_str())};
        worst = std::max(worst, MaxDifference(output, expected));
    }
    return {true,
            Format("guards of %d samples around every buffer intact, inputs untouched, in place equal to "
                   "separate (largest difference %.3g)%s",
                   HostBuffers<float>::kGuard, worst, precisions.size() > 1 ? "; 32-bit and 64-bit" : "")};
}

CheckResult CheckChannels(const std::string& path, const ValidatorOptions& options)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
    if (!plugin)
        return {false, fault};
    const int ins = plugin->InputCount();
    const int outs = plugin->OutputCount();
    // Pin answers: one per channel, none past the counts.
    for (bool input : {true, false})
    {
        const int count = input ? ins : outs;
        const char* name = input ? "effGetInputProperties" : "effGetOutputProperties";
        for (int k = 0; k <= count; ++k)
        {
            SetStep("%s(%d)", name, k);
            VstPinProperties pin;
            const bool answered = plugin->PinProperties(input, k, pin);
            if (answered && k == count)
                return {false, Format("%s(%d) answered for a plug-in with %d %s", name, k, count,
                                      input ? "inputs" : "outputs")};
            if (answered && (pin.flags & kVstPinIsStereo) != 0 && k + 1 >= count)
                return {false,
                        Format("%s(%d) flags the last channel as the start of a stereo pair", name, k)};
        }
    }
    // The arrangement the plug-in reports must agree with its counts.
    auto arrangementFault = [&](const char* when) -> std::string
    {
        SetStep("effGetSpeakerArrangement %s", when);
        VstSpeakerArrangement* in = nullptr;
        VstSpeakerArrangement* out = nullptr;
        if (plugin->Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out) == 0)
            return {};
        for (auto [arrangement, count, side] : {std::tuple{in, plugin->RawEffect()->numInputs, "input"},
                                                std::tuple{out, plugin->RawEffect()->numOutputs, "output"}})
        {
            if (arrangement == nullptr)
                continue;
            const int channels = arrangement->numChannels;
            const int type = arrangement->type;
            if (channels != count || (type == kSpeakerArrMono && channels != 1) ||
                (type == kSpeakerArrStereo && channels != 2))
                return Format(
                    "effGetSpeakerArrangement %s answers a %s arrangement of type %d with %d channels; the "
                    "record has %d",
                    when, side, type, channels, count);
        }
        return {};
    };
    std::string wrong = arrangementFault("after a stereo set-up");
    if (!wrong.empty())
        return {false, wrong};
    std::string figure = Format("%d in, %d out; pins and arrangement agree", ins, outs);
    // Identical left and right give identical outputs, unless the plug-in's outputs differ
    // by design: said by the user, or by a category of instruments, generators and spatial
    // effects (effGetPlugCategory: synth 2, spacializer 5, room 6, surround 7, generator 11).
    SetStep("effGetPlugCategory");
    const VstIntPtr category = plugin->Category();
    const bool spatial = category == 2 || category == 5 || category == 6 || category == 7 || category == 11;
    if (ins >= 2 && outs >= 2)
    {
        Signal input = TestSignal(ins, FramesOf(0.5, kRate), kRate, 53, true);
        for (int c = 2; c < ins; ++c)
            std::fill(input[static_cast<std::size_t>(c)].begin(), input[static_cast<std::size_t>(c)].end(),
                      0.0);
        Signal output;
        if (RenderChecked(*plugin, input, FixedBlocks(kBlock), {}, "identical left and right", fault,
                          &output) < 0.0)
            return {false, fault};
        const Signal left{output[0]};
        const Signal right{output[1]};
        // Within the tolerance of the other comparisons: some plug-ins offset each channel
        // by a tiny amount against subnormal numbers.
        std::string where;
        if (FirstDifference(left, right, 1e-6, where))
        {
            if (!options.stereoByDesign && !spatial)
                return {false,
                        "identical left and right inputs give outputs differing beyond 1e-6 at " + where};
            figure += Format("; left and right outputs differ by design (%s; largest difference %.3g)",
                             spatial ? Format("category %d", static_cast<int>(category)).c_str()
                                     : "--stereo-by-design",
                             MaxDifference(left, right));
        }
        else
        {
            figure += Format("; identical left and right give identical outputs (largest difference %.3g)",
                             MaxDifference(left, right));
        }
    }
    // A mono arrangement, where the plug-in accepts it.
    plugin->Suspend();
    SetStep("effSetSpeakerArrangement(mono, mono)");
    VstSpeakerArrangement monoIn{};
    monoIn.type = kSpeakerArrMono;
    monoIn.numChannels = 1;
    VstSpeakerArrangement monoOut = monoIn;
    const bool accepted =
        plugin->Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&monoIn), &monoOut) != 0;
    if (!accepted)
        return {true, figure + "; mono refused"};
    wrong = arrangementFault("after a mono set-up");
    if (!wrong.empty())
        return {false, wrong};
    if (plugin->RawEffect()->numInputs != ins || plugin->RawEffect()->numOutputs != outs)
        return {true, figure + Format("; mono accepted with counts %d in, %d out",
                                      plugin->RawEffect()->numInputs, plugin->RawEffect()->numOutputs)};
    plugin->Resume();
    const Signal input = TestSignal(ins, FramesOf(0.25, kRate), kRate, 59, true);
    if (RenderChecked(*plugin, input, FixedBlocks(kBlock), {}, "mono arrangement", fault) < 0.0)
        return {false, fault};
    return {true, figure + "; mono accepted, output finite"};
}

CheckResult CheckGarbageInput(const std::string& path, const ValidatorOptions&)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double huge = std::numeric_limits<double>::max();
    struct Kind
    {
        const char* name;
        double values[4];
        bool doublePrecision; // values a 32-bit buffer cannot carry
    };
    const Kind kinds[] = {
        {"NaN", {nan, nan, nan, nan}, false},
        {"+infinity", {inf, inf, inf, inf}, false},
        {"-infinity", {-inf, -inf, -inf, -inf}, false},
        {"1e30", {1e30, -1e30, 1e30, -1e30}, false},
        {"NaN, infinity and 1e30 mixed", {nan, inf, 1e30, -inf}, false},
        // Finite, yet any sum of two overflows: a recursion must not keep the infinity.
        {"+/-DBL_MAX at 64 bits", {huge, -huge, huge, -huge}, true},
    };
    // Recovery must come within this much noise after the garbage block.
    constexpr double kRecoverySeconds = 2.0;
    const int lead = kBlock;
    const int after = FramesOf(kRecoverySeconds + 0.5, kRate);
    std::string fault;
    long long worst = 0;
    const char* worstKind = kinds[0].name;
    int tried = 0;
    for (const Kind& kind : kinds)
    {
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
        if (!plugin)
            return {false, fault};
        if (kind.doublePrecision)
        {
            if (!plugin->CanDouble())
                continue;
            if (!Restart(*plugin, kRate, kBlock, true, fault))
                return {false, fault};
        }
        ++tried;
        Signal input = TestSignal(plugin->InputCount(), lead + kBlock + after, kRate, 61);
        for (auto& channel : input)
            for (int i = 0; i < kBlock; ++i)
                channel[static_cast<std::size_t>(lead + i)] = kind.values[i % 4];
        Signal output;
        std::string error;
        RenderOptions options;
        options.doublePrecision = kind.doublePrecision;
        if (!Render(*plugin, input, output, FixedBlocks(kBlock), options, error))
            return {false, Format("one block of %s: %s", kind.name, error.c_str())};
        // Frames after the garbage block until the output is finite for good.
        const std::size_t end = static_cast<std::size_t>(lead + kBlock);
        long long lastBad = -1;
        for (std::size_t c = 0; c < output.size(); ++c)
            for (std::size_t i = end; i < output[c].size(); ++i)
                if (!std::isfinite(output[c][i]))
                    lastBad = std::max(lastBad, static_cast<long long>(i));
        const long long recovery = lastBad < 0 ? 0 : lastBad + 1 - static_cast<long long>(end);
        if (recovery > FramesOf(kRecoverySeconds, kRate))
            return {
                false,
                Format("after one block of %s the output is not finite again within %.0f s (non-finite at "
                       "%.2f s)",
                       kind.name, kRecoverySeconds, static_cast<double>(recovery) / kRate)};
        if (recovery > worst)
        {
            worst = recovery;
            worstKind = kind.name;
        }
    }
    const char* list = tried == 6 ? "NaN, +/-infinity, 1e30, mixed, +/-DBL_MAX"
                                  : "NaN, +/-infinity, 1e30, mixed; no 64-bit processing for DBL_MAX";
    if (worst == 0)
        return {true,
                Format("%d kinds of garbage block (%s): output finite from the next block on", tried, list)};
    return {true, Format("%d kinds of garbage block (%s): output finite again within %lld frames (%.1f ms, "
                         "after %s)",
                         tried, list, worst, 1000.0 * static_cast<double>(worst) / kRate, worstKind)};
}

CheckResult CheckSilence(const std::string& path, const ValidatorOptions&)
{
    const double threshold = std::pow(10.0, -100.0 / 20.0);
    std::string fault;
    std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
    if (!plugin)
        return {false, fault};
    SetStep("effGetTailSize");
    // effGetTailSize: samples; 0 means the plug-in does not say, 1 means no tail.
    const VstIntPtr declared = plugin->TailSize();
    // A declared tail gets 5 s more; without one, reverbs may ring for tens of seconds.
    const double tailSeconds = std::clamp(static_cast<double>(declared) / kRate, 0.0, 30.0);
    const double runSeconds = declared == 0 ? 30.0 : tailSeconds + 5.0;
    const int noise = FramesOf(1.0, kRate);
    const int silence = FramesOf(runSeconds, kRate);
    Signal input = TestSignal(plugin->InputCount(), noise + silence, kRate, 71);
    for (auto& channel : input)
        std::fill(channel.begin() + noise, channel.end(), 0.0);
    Signal output;
    std::string error;
    if (!Render(*plugin, input, output, FixedBlocks(kBlock), {}, error))
        return {false, error};
    long long last = -1;
    double lastLevel = 0.0;
    for (std::size_t c = 0; c < output.size(); ++c)
        for (std::size_t i = static_cast<std::size_t>(noise); i < output[c].size(); ++i)
        {
            const double v = output[c][i];
            if (!(std::fabs(v) < threshold) && static_cast<long long>(i) >= last)
            {
                last = static_cast<long long>(i);
                lastLevel = std::fabs(v);
            }
        }
    const double quietFrom = last < 0 ? 0.0 : static_cast<double>(last + 1 - noise) / kRate;
    const std::string tail = declared == 0
                                 ? "tail not declared"
                                 : Format("declared tail %lld frames", static_cast<long long>(declared));
    // The last second of the run must be quiet.
    if (quietFrom > runSeconds - 1.0)
        return {false, Format("output still at %s after %.1f s of silence (%s)",
                              std::isfinite(lastLevel) ? DbText(lastLevel).c_str() : "a non-finite level",
                              static_cast<double>(last - noise) / kRate, tail.c_str())};
    return {true, Format("below -100 dBFS %.0f ms into the silence (%s)", 1000.0 * quietFrom, tail.c_str())};
}

CheckResult CheckAutomationStress(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> probe = OpenPlugin(path, fault);
    if (!probe)
        return {false, fault};
    const std::vector<bool> precisions = Precisions(*probe);
    probe.reset();
    double peak = 0.0;
    long long changes = 0;
    for (bool precision : precisions)
    {
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, precision, fault);
        if (!plugin)
            return {false, fault};
        Noise random(83u);
        HostedPlugin& p = *plugin;
        RenderOptions options;
        options.doublePrecision = precision;
        // Before each block of 1 to 32 frames every parameter moves; one move in eight goes to
        // an end of the range.
        options.beforeBlock = [&](long long)
        {
            for (int i = 0; i < p.ParamCount(); ++i)
            {
                const int pick = random.Between(0, 15);
                const float value = pick == 0   ? 0.0f
                                    : pick == 1 ? 1.0f
                                                : static_cast<float>(0.5 + 0.5 * random.Next());
                SetStep("setParameter(%d, %g) between blocks", i, value);
                p.SetParameter(i, value);
                ++changes;
            }
        };
        const Signal input = TestSignal(p.InputCount(), FramesOf(2.0, kRate), kRate, 89);
        const double got = RenderChecked(
            p, input, [&random] { return random.Between(1, 32); }, options,
            Format("automation stress, %s", PrecisionName(precision)), fault);
        if (got < 0.0)
            return {false, fault};
        peak = std::max(peak, got);
    }
    return {true,
            Format("%lld parameter changes every 1 to 32 frames over %s: output finite, peak %s", changes,
                   precisions.size() > 1 ? "2 s at 32 and 64 bits" : "2 s", DbText(peak).c_str())};
}
