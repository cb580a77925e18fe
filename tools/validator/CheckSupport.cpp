#include "tools/validator/CheckSupport.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <thread>

namespace
{
char gStep[256] = "starting";
// Only the thread that runs the check names steps; its helpers run on other threads too.
std::atomic<std::thread::id> gStepOwner{};

// Guard pattern: a quiet NaN with a payload no arithmetic produces.
template <typename Sample> Sample GuardValue();
template <> float GuardValue<float>()
{
    const std::uint32_t bits = 0x7FC5A5A5u;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
template <> double GuardValue<double>()
{
    const std::uint64_t bits = 0x7FF8A5A5A5A5A5A5ull;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

template <typename Sample> bool SameBits(Sample a, Sample b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool IsSubnormal(double value, bool doublePrecision)
{
    const double magnitude = std::fabs(value);
    return magnitude != 0.0 && magnitude < (doublePrecision ? DBL_MIN : static_cast<double>(FLT_MIN));
}
} // namespace

void ClaimSteps()
{
    gStepOwner = std::this_thread::get_id();
}

void SetStep(const char* format, ...)
{
    if (std::this_thread::get_id() != gStepOwner.load())
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(gStep, sizeof gStep, format, args);
    va_end(args);
}

const char* CurrentStep()
{
    return gStep;
}

std::string Format(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string SampleText(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+inf" : "-inf";
    return Format("%.6g", value);
}

std::string DbText(double peak)
{
    if (!(peak > 0.0))
        return "-inf dBFS";
    return Format("%+.1f dBFS", 20.0 * std::log10(peak));
}

std::unique_ptr<HostedPlugin> OpenPlugin(const std::string& path, std::string& fault)
{
    SetStep("loading the library and calling its entry point");
    std::string error;
    std::unique_ptr<HostedPlugin> plugin = HostedPlugin::Load(path, error);
    if (!plugin)
    {
        fault = error;
        return nullptr;
    }
    SetStep("effOpen");
    if (!plugin->Open(error))
    {
        fault = "after effOpen: " + error;
        return nullptr;
    }
    return plugin;
}

bool Restart(HostedPlugin& plugin, double rate, int block, bool doublePrecision, std::string& fault)
{
    SetStep("preparing at %g Hz, block %d", rate, block);
    plugin.Suspend();
    std::string error;
    if (!plugin.Prepare(rate, block, doublePrecision, error))
    {
        fault = Format("cannot prepare at %g Hz, block %d: %s", rate, block, error.c_str());
        return false;
    }
    SetStep("resuming at %g Hz, block %d", rate, block);
    plugin.Resume();
    return true;
}

std::unique_ptr<HostedPlugin> StartPlugin(const std::string& path, double rate, int block,
                                          bool doublePrecision, std::string& fault)
{
    std::unique_ptr<HostedPlugin> plugin = OpenPlugin(path, fault);
    if (plugin && !Restart(*plugin, rate, block, doublePrecision, fault))
        return nullptr;
    return plugin;
}

std::uint32_t Noise::NextBits()
{
    std::uint32_t x = state_;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    state_ = x;
    return x;
}

double Noise::Next()
{
    return static_cast<double>(NextBits()) / 2147483647.5 - 1.0;
}

int Noise::Between(int lo, int hi)
{
    const auto span = static_cast<std::uint32_t>(hi - lo) + 1u;
    return lo + static_cast<int>(NextBits() % span);
}

Signal TestSignal(int channels, int frames, double rate, std::uint32_t seed, bool sameChannels)
{
    channels = std::max(channels, 1);
    Signal signal(static_cast<std::size_t>(channels), std::vector<double>(static_cast<std::size_t>(frames)));
    for (int c = 0; c < channels; ++c)
    {
        Noise noise(sameChannels ? seed : seed + 7919u * static_cast<std::uint32_t>(c));
        auto& samples = signal[static_cast<std::size_t>(c)];
        for (int i = 0; i < frames; ++i)
        {
            const double sine = std::sin(2.0 * std::numbers::pi * 55.0 * i / rate);
            samples[static_cast<std::size_t>(i)] = kSignalPeak * 0.5 * (noise.Next() + sine);
        }
    }
    return signal;
}

Signal Silence(int channels, int frames)
{
    channels = std::max(channels, 1);
    return Signal(static_cast<std::size_t>(channels),
                  std::vector<double>(static_cast<std::size_t>(frames), 0.0));
}

template <typename Sample> HostBuffers<Sample>::HostBuffers(int channels, int frames) : frames_(frames)
{
    storage_.resize(static_cast<std::size_t>(channels));
    for (auto& channel : storage_)
    {
        channel.assign(static_cast<std::size_t>(frames + 2 * kGuard), Sample{});
        pointers_.push_back(channel.data() + kGuard);
    }
    Arm(frames);
}

template <typename Sample> void HostBuffers<Sample>::Arm(int n)
{
    for (auto& channel : storage_)
    {
        std::fill(channel.begin(), channel.begin() + kGuard, GuardValue<Sample>());
        std::fill(channel.begin() + kGuard + n, channel.end(), GuardValue<Sample>());
    }
}

template <typename Sample> void HostBuffers<Sample>::Load(const Signal& signal, std::size_t offset, int n)
{
    for (std::size_t c = 0; c < storage_.size(); ++c)
    {
        Sample* out = pointers_[c];
        const std::vector<double>* in = c < signal.size() ? &signal[c] : nullptr;
        for (int i = 0; i < n; ++i)
        {
            const std::size_t at = offset + static_cast<std::size_t>(i);
            out[i] = in != nullptr && at < in->size() ? static_cast<Sample>((*in)[at]) : Sample{};
        }
    }
}

template <typename Sample> void HostBuffers<Sample>::Zero(int n)
{
    for (Sample* channel : pointers_)
        std::fill(channel, channel + n, Sample{});
}

template <typename Sample> bool HostBuffers<Sample>::GuardsIntact(int n, std::string& where) const
{
    for (std::size_t c = 0; c < storage_.size(); ++c)
    {
        const auto& channel = storage_[c];
        for (int i = 0; i < kGuard; ++i)
            if (!SameBits(channel[static_cast<std::size_t>(kGuard - 1 - i)], GuardValue<Sample>()))
            {
                where = Format("channel %zu, %d samples before the buffer", c, i + 1);
                return false;
            }
        for (std::size_t i = static_cast<std::size_t>(kGuard + n); i < channel.size(); ++i)
            if (!SameBits(channel[i], GuardValue<Sample>()))
            {
                where = Format("channel %zu, %zu samples past the end of a block of %d", c,
                               i - static_cast<std::size_t>(kGuard + n) + 1, n);
                return false;
            }
    }
    return true;
}

template class HostBuffers<float>;
template class HostBuffers<double>;

namespace
{
template <typename Sample> void ProcessRawImpl(HostedPlugin& plugin, Sample** in, Sample** out, int frames)
{
    AEffect* effect = plugin.RawEffect();
    if constexpr (sizeof(Sample) == sizeof(double))
    {
        if (effect->processDoubleReplacing != nullptr)
            effect->processDoubleReplacing(effect, in, out, frames);
    }
    else
    {
        if ((effect->flags & effFlagsCanReplacing) != 0 && effect->processReplacing != nullptr)
        {
            effect->processReplacing(effect, in, out, frames);
        }
        else if (effect->process != nullptr)
        {
            for (int c = 0; c < plugin.OutputCount(); ++c)
                std::fill(out[c], out[c] + frames, 0.0f);
            effect->process(effect, in, out, frames);
        }
    }
}

template <typename Sample>
bool RenderImpl(HostedPlugin& plugin, const Signal& input, Signal& output, const BlockSizes& sizes,
                const RenderOptions& options, std::string& fault)
{
    const int block = plugin.BlockSize();
    const int ins = plugin.InputCount();
    const int outs = plugin.OutputCount();
    const std::size_t total = input.empty() ? 0 : input.front().size();
    HostBuffers<Sample> in(ins, block);
    HostBuffers<Sample> out(outs, block);
    // In place: the output array points at the input buffers (as many as both have);
    // outputs beyond the inputs keep their own buffers.
    std::vector<Sample*> outPointers(out.Pointers(), out.Pointers() + outs);
    if (options.inPlace)
        for (int c = 0; c < std::min(ins, outs); ++c)
            outPointers[static_cast<std::size_t>(c)] = in.Channel(c);
    output = Signal(static_cast<std::size_t>(outs), std::vector<double>(total, 0.0));
    std::vector<Sample> copy;
    std::size_t done = 0;
    long long blocks = 0;
    int zeroRun = 0;
    while (done < total)
    {
        int n = sizes();
        n = std::clamp(n, 0, block);
        n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(n), total - done));
        // A run of empty blocks always ends (a partition that answers only 0 would not).
        zeroRun = n == 0 ? zeroRun + 1 : 0;
        if (zeroRun > 8)
            n = static_cast<int>(std::min<std::size_t>(1, total - done));
        if (options.beforeBlock)
            options.beforeBlock(static_cast<long long>(done));
        in.Arm(n);
        out.Arm(n);
        in.Load(input, done, n);
        out.Zero(n);
        if (options.checkInputs)
        {
            copy.clear();
            for (int c = 0; c < ins; ++c)
                copy.insert(copy.end(), in.Channel(c), in.Channel(c) + n);
        }
        SetStep("processing block %lld (%d frames at frame %zu)", blocks, n, done);
        bool accepted = true;
        if (n == 0 || !plugin.Resumed())
        {
            ProcessRaw(plugin, in.Pointers(), outPointers.data(), n);
        }
        else if constexpr (sizeof(Sample) == sizeof(double))
        {
            accepted = plugin.ProcessDouble(in.Pointers(), outPointers.data(), n);
        }
        else
        {
            accepted = plugin.Process(in.Pointers(), outPointers.data(), n);
        }
        if (!accepted)
        {
            fault = Format("the host could not send block %lld (%d frames): the plug-in changed its channel "
                           "counts to %d in, %d out",
                           blocks, n, plugin.RawEffect()->numInputs, plugin.RawEffect()->numOutputs);
            return false;
        }
        std::string where;
        if (!in.GuardsIntact(n, where))
        {
            fault = "input buffer guard damaged in block " + std::to_string(blocks) + ": " + where;
            return false;
        }
        if (!out.GuardsIntact(n, where))
        {
            fault = "output buffer guard damaged in block " + std::to_string(blocks) + ": " + where;
            return false;
        }
        if (options.checkInputs && !options.inPlace)
        {
            std::size_t k = 0;
            for (int c = 0; c < ins; ++c)
                for (int i = 0; i < n; ++i, ++k)
                    if (!SameBits(in.Channel(c)[i], copy[k]))
                    {
                        fault = Format("input channel %d changed by the plug-in at sample %d of block %lld "
                                       "(%s became %s)",
                                       c, i, blocks, SampleText(static_cast<double>(copy[k])).c_str(),
                                       SampleText(static_cast<double>(in.Channel(c)[i])).c_str());
                        return false;
                    }
        }
        for (int c = 0; c < outs; ++c)
        {
            const Sample* from = outPointers[static_cast<std::size_t>(c)];
            auto& to = output[static_cast<std::size_t>(c)];
            for (int i = 0; i < n; ++i)
                to[done + static_cast<std::size_t>(i)] = static_cast<double>(from[i]);
        }
        done += static_cast<std::size_t>(n);
        ++blocks;
    }
    return true;
}
} // namespace

void ProcessRaw(HostedPlugin& plugin, float** inputs, float** outputs, int frames)
{
    ProcessRawImpl(plugin, inputs, outputs, frames);
}

void ProcessRaw(HostedPlugin& plugin, double** inputs, double** outputs, int frames)
{
    ProcessRawImpl(plugin, inputs, outputs, frames);
}

bool Render(HostedPlugin& plugin, const Signal& input, Signal& output, const BlockSizes& sizes,
            const RenderOptions& options, std::string& fault)
{
    if (options.doublePrecision)
        return RenderImpl<double>(plugin, input, output, sizes, options, fault);
    return RenderImpl<float>(plugin, input, output, sizes, options, fault);
}

SignalStats Analyse(const Signal& signal, bool doublePrecision, std::size_t from)
{
    SignalStats stats;
    const std::size_t frames = signal.empty() ? 0 : signal.front().size();
    for (std::size_t i = from; i < frames; ++i)
        for (std::size_t c = 0; c < signal.size(); ++c)
        {
            const double v = signal[c][i];
            const bool bad = !std::isfinite(v);
            const bool sub = IsSubnormal(v, doublePrecision);
            if (bad)
                ++stats.nonFinite;
            else
                stats.peak = std::max(stats.peak, std::fabs(v));
            if (sub)
                ++stats.subnormal;
            if (bad && stats.firstNonFinite < 0)
            {
                stats.firstNonFinite = static_cast<long long>(i);
                stats.firstNonFiniteChannel = static_cast<int>(c);
                stats.firstNonFiniteValue = v;
            }
            if ((bad || sub) && stats.firstBad < 0)
            {
                stats.firstBad = static_cast<long long>(i);
                stats.firstBadChannel = static_cast<int>(c);
                stats.firstBadValue = v;
            }
        }
    return stats;
}

std::string SignalFault(const SignalStats& stats, Demand demand)
{
    const bool clean = demand == Demand::CleanAndBounded;
    const long long at = clean ? stats.firstBad : stats.firstNonFinite;
    if (at >= 0)
    {
        const double value = clean ? stats.firstBadValue : stats.firstNonFiniteValue;
        const int channel = clean ? stats.firstBadChannel : stats.firstNonFiniteChannel;
        const char* kind = std::isfinite(value) ? "subnormal" : "non-finite";
        return Format("%s output %s at frame %lld of channel %d (%lld non-finite, %lld subnormal samples)",
                      kind, SampleText(value).c_str(), at, channel, stats.nonFinite, stats.subnormal);
    }
    if (demand != Demand::Finite && stats.peak > kOutputBound)
        return "output unbounded: peak " + DbText(stats.peak) + " from a -12 dBFS input (bound " +
               DbText(kOutputBound) + ")";
    return {};
}

double MaxDifference(const Signal& a, const Signal& b)
{
    if (a.size() != b.size())
        return INFINITY;
    double worst = 0.0;
    for (std::size_t c = 0; c < a.size(); ++c)
    {
        if (a[c].size() != b[c].size())
            return INFINITY;
        for (std::size_t i = 0; i < a[c].size(); ++i)
        {
            const double x = a[c][i];
            const double y = b[c][i];
            if (std::isnan(x) && std::isnan(y))
                continue;
            if (x == y)
                continue;
            const double d = std::fabs(x - y);
            worst = std::isnan(d) ? INFINITY : std::max(worst, d);
        }
    }
    return worst;
}

void SetParameterRaw(HostedPlugin& plugin, int index, float value)
{
    AEffect* effect = plugin.RawEffect();
    if (effect->setParameter != nullptr)
        effect->setParameter(effect, index, value);
}

float GetParameterRaw(HostedPlugin& plugin, int index)
{
    AEffect* effect = plugin.RawEffect();
    return effect->getParameter != nullptr ? effect->getParameter(effect, index) : 0.0f;
}
