#include "tools/validator/CheckSupport.h"
#include "tools/validator/Checks.h"
#include "tools/validator/EditorHost.h"
#include "tools/validator/ProcessMemory.h"
#include "tools/PluginLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
// What a host remembers of a record to see that every load answers the same plug-in.
struct RecordFacts
{
    VstInt32 uniqueId, flags, params, programs, inputs, outputs;
    bool operator==(const RecordFacts&) const = default;
};

RecordFacts FactsOf(const AEffect& effect)
{
    return {effect.uniqueID,    effect.flags,     effect.numParams,
            effect.numPrograms, effect.numInputs, effect.numOutputs};
}

// HostedPlugin::Load has checked the magic, the dispatcher and the counts; a VST 2.4
// plug-in must also process in replacing mode.
std::string RecordFault(const AEffect& effect)
{
    if ((effect.flags & effFlagsCanReplacing) == 0)
        return Format("record without effFlagsCanReplacing (flags 0x%08X)",
                      static_cast<unsigned>(effect.flags));
    if (effect.processReplacing == nullptr)
        return "record flags replacing processing but has no processReplacing";
    if ((effect.flags & effFlagsCanDoubleReplacing) != 0 && effect.processDoubleReplacing == nullptr)
        return "record flags 64-bit processing but has no processDoubleReplacing";
    return {};
}

// A 64-byte text area followed by 64 guard bytes. The area holds an empty text and a
// non-zero pattern after it, so a text written without its terminator is seen.
struct GuardedText
{
    static constexpr std::size_t kArea = 64;
    static constexpr std::size_t kGuard = 64;
    static constexpr unsigned char kFill = 0x5A;
    static constexpr unsigned char kGuardByte = 0xA5;
    unsigned char bytes[kArea + kGuard];

    GuardedText()
    {
        std::memset(bytes, kFill, kArea);
        bytes[0] = 0;
        std::memset(bytes + kArea, kGuardByte, kGuard);
    }
    // "" when sound, else what is wrong. length receives the text's length.
    std::string Fault(std::size_t& length) const
    {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (bytes[kArea + i] != kGuardByte)
                return Format("wrote past the %zu-byte area (guard byte %zu changed)", kArea, i);
        const void* end = std::memchr(bytes, 0, kArea);
        if (end == nullptr)
            return Format("left no terminator within the %zu-byte area", kArea);
        length = static_cast<std::size_t>(static_cast<const unsigned char*>(end) - bytes);
        return {};
    }
};

const char* TextOpcodeName(VstInt32 opcode)
{
    switch (opcode)
    {
    case effGetParamName:
        return "effGetParamName";
    case effGetParamLabel:
        return "effGetParamLabel";
    case effGetParamDisplay:
        return "effGetParamDisplay";
    case effGetProgramName:
        return "effGetProgramName";
    case effGetProgramNameIndexed:
        return "effGetProgramNameIndexed";
    case effGetEffectName:
        return "effGetEffectName";
    case effGetVendorString:
        return "effGetVendorString";
    case effGetProductString:
        return "effGetProductString";
    default:
        return "opcode";
    }
}

// The most programs whose names are read one by one.
constexpr int kProgramsRead = 1024;
} // namespace

CheckResult CheckLoadUnload(const std::string& path, const ValidatorOptions& options)
{
    Verdict verdict;
    // Three cycles before measuring: the first load maps the plug-in's runtime and fills
    // caches that stay for the life of the process.
    constexpr int kWarmUp = 3;
    constexpr std::int64_t kBound = 1 << 20;
    RecordFacts first{};
    std::int64_t before = -1;
    for (int cycle = -kWarmUp; cycle < options.loadCycles && !verdict.Failed(); ++cycle)
    {
        if (cycle == 0)
            before = ProcessMemoryBytes();
        const int shown = cycle + kWarmUp + 1;
        SetStep("load/unload cycle %d: entry point", shown);
        std::string error;
        std::unique_ptr<HostedPlugin> plugin = HostedPlugin::Load(path, error);
        if (!plugin)
        {
            verdict.Fail(Format("cycle %d: %s", shown, error.c_str()));
            break;
        }
        const std::string fault = RecordFault(plugin->Effect());
        if (!fault.empty())
            verdict.Fail(Format("cycle %d: %s", shown, fault.c_str()));
        const RecordFacts facts = FactsOf(plugin->Effect());
        if (cycle == -kWarmUp)
            first = facts;
        else if (!(facts == first))
            verdict.Fail(Format("cycle %d: the record differs from the first load (ID 0x%08X flags 0x%X, %d "
                                "parameters, %d programs, %d in, %d out; first 0x%08X, 0x%X, %d, %d, %d, %d)",
                                shown, static_cast<unsigned>(facts.uniqueId),
                                static_cast<unsigned>(facts.flags), facts.params, facts.programs,
                                facts.inputs, facts.outputs, static_cast<unsigned>(first.uniqueId),
                                static_cast<unsigned>(first.flags), first.params, first.programs,
                                first.inputs, first.outputs));
        SetStep("load/unload cycle %d: effOpen", shown);
        if (!plugin->Open(error))
            verdict.Fail(Format("cycle %d: %s", shown, error.c_str()));
        SetStep("load/unload cycle %d: effClose and unloading", shown);
        plugin.reset();
    }
    const std::int64_t after = ProcessMemoryBytes();
    if (verdict.Failed())
        return verdict.Result("");
    if (before < 0 || after < 0)
        return {true, Format("%d cycles, record sane; memory not measurable here", options.loadCycles)};

    // What the system's loader itself keeps per load (Wine keeps a few KiB every time a
    // library is loaded, whatever the library): the same number of cycles that only load
    // and unload, never calling the entry point. The bound applies to what the plug-in
    // adds on top of that.
    SetStep("load/unload without the entry point");
    const std::int64_t loaderBefore = ProcessMemoryBytes();
    for (int cycle = 0; cycle < options.loadCycles; ++cycle)
    {
        std::string error;
        std::unique_ptr<PluginLibrary> library = PluginLibrary::Open(path, error);
        if (!library)
            break;
    }
    const std::int64_t loaderAfter = ProcessMemoryBytes();
    const std::int64_t loaderGrowth =
        loaderBefore >= 0 && loaderAfter >= 0 ? std::max<std::int64_t>(loaderAfter - loaderBefore, 0) : 0;
    const std::int64_t growth = after - before;
    const std::int64_t pluginGrowth = growth - loaderGrowth;
    const std::string figure = Format(
        "%d cycles, record sane; %s memory %+lld KiB, of which the loader alone %+lld KiB (bound %lld KiB "
        "for the plug-in)",
        options.loadCycles, ProcessMemoryKind(), static_cast<long long>(growth / 1024),
        static_cast<long long>(loaderGrowth / 1024), static_cast<long long>(kBound / 1024));
    if (pluginGrowth > kBound)
        return {false,
                figure + Format(": about %lld bytes kept per cycle",
                                static_cast<long long>(pluginGrowth / std::max(options.loadCycles, 1)))};
    return {true, figure};
}

CheckResult CheckBeforeSetup(const std::string& path, const ValidatorOptions&)
{
    Verdict verdict;
    std::string error;
    SetStep("loading");
    std::unique_ptr<HostedPlugin> plugin = HostedPlugin::Load(path, error);
    if (!plugin)
        return {false, error};
    int calls = 0;
    std::string noWindows;
    const bool windows = EditorHost::Available(noWindows);
    // Everything a host may ask straight after the entry point, then again after effOpen
    // before any sample rate, block size or resume.
    for (const char* phase : {"before effOpen", "after effOpen, before set-up"})
    {
        if (std::strcmp(phase, "before effOpen") != 0)
        {
            SetStep("effOpen");
            if (!plugin->Open(error))
                return {false, error};
        }
        for (int i = 0; i < plugin->ParamCount(); ++i)
        {
            SetStep("getParameter(%d) %s", i, phase);
            const float value = GetParameterRaw(*plugin, i);
            ++calls;
            if (!std::isfinite(value) || value < 0.0f || value > 1.0f)
                verdict.Fail(Format("getParameter(%d) = %s %s", i, SampleText(value).c_str(), phase));
            SetStep("parameter %d texts %s", i, phase);
            plugin->ParamName(i);
            plugin->ParamLabel(i);
            plugin->ParamDisplay(i);
            plugin->Dispatch(effCanBeAutomated, i);
            calls += 4;
        }
        SetStep("program queries %s", phase);
        char area[HostedPlugin::kTextRoom] = {};
        plugin->Dispatch(effGetProgram);
        plugin->Dispatch(effGetProgramName, 0, 0, area);
        calls += 2;
        for (int i = 0; i < std::min(plugin->ProgramCount(), kProgramsRead); ++i, ++calls)
            plugin->ProgramName(i);
        SetStep("effGetChunk %s", phase);
        for (bool bank : {true, false})
        {
            std::vector<std::uint8_t> chunk;
            plugin->GetChunk(bank, chunk, error);
            ++calls;
        }
        // A host without a window system does not ask for the editor's rectangle: plug-ins
        // build their editor on that call.
        SetStep("effEditGetRect %s", phase);
        ERect* rect = nullptr;
        const VstIntPtr answered = windows ? plugin->Dispatch(effEditGetRect, 0, 0, &rect) : 0;
        calls += windows ? 1 : 0;
        if (answered != 0 && rect != nullptr)
        {
            const int width = rect->right - rect->left;
            const int height = rect->bottom - rect->top;
            if ((plugin->Effect().flags & effFlagsHasEditor) != 0 && (width < 0 || height < 0))
                verdict.Fail(
                    Format("effEditGetRect %s answered a rectangle of %d x %d", phase, width, height));
        }
        SetStep("other queries %s", phase);
        plugin->EffectName();
        plugin->VendorString();
        plugin->ProductString();
        plugin->VendorVersion();
        plugin->Category();
        plugin->VstVersion();
        plugin->TailSize();
        plugin->CanDo("receiveVstTimeInfo");
        calls += 8;
        for (int i = 0; i < plugin->InputCount() + 1; ++i, ++calls)
        {
            VstPinProperties pin;
            plugin->PinProperties(true, i, pin);
        }
        for (int i = 0; i < plugin->OutputCount() + 1; ++i, ++calls)
        {
            VstPinProperties pin;
            plugin->PinProperties(false, i, pin);
        }
    }
    SetStep("effClose before set-up");
    plugin.reset();
    return verdict.Result(
        Format("%d calls before and after effOpen: no crash, parameter values finite within 0..1%s", calls,
               windows ? "" : ("; editor rectangle not asked: " + noWindows).c_str()));
}

CheckResult CheckTextBounds(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> plugin = OpenPlugin(path, fault);
    if (!plugin)
        return {false, fault};
    int texts = 0;
    std::size_t longest = 0;
    std::string longestWhat = "none";
    std::string firstFault;
    auto ask = [&](VstInt32 opcode, VstInt32 index, VstIntPtr value, const char* when)
    {
        if (!firstFault.empty())
            return;
        SetStep("%s(%d) %s", TextOpcodeName(opcode), index, when);
        GuardedText text;
        plugin->Dispatch(opcode, index, value, text.bytes);
        ++texts;
        std::size_t length = 0;
        const std::string wrong = text.Fault(length);
        if (!wrong.empty())
        {
            firstFault = Format("%s(%d)%s%s: %s", TextOpcodeName(opcode), index, *when != '\0' ? " " : "",
                                when, wrong.c_str());
            return;
        }
        if (length > longest)
        {
            longest = length;
            longestWhat = Format("%s(%d)", TextOpcodeName(opcode), index);
        }
    };
    for (VstInt32 opcode : {effGetEffectName, effGetVendorString, effGetProductString, effGetProgramName})
        ask(opcode, 0, 0, "");
    for (int i = 0; i < std::min(plugin->ProgramCount(), kProgramsRead); ++i)
        ask(effGetProgramNameIndexed, i, -1, "");
    for (int i = 0; i < plugin->ParamCount(); ++i)
    {
        ask(effGetParamName, i, 0, "");
        ask(effGetParamLabel, i, 0, "");
        const float original = GetParameterRaw(*plugin, i);
        // Displays at the ends of the range are often the longest ("-inf dB", "20000 Hz").
        for (float value : {0.0f, 0.5f, 1.0f})
        {
            SetParameterRaw(*plugin, i, value);
            ask(effGetParamDisplay, i, 0, Format("at %g", value).c_str());
        }
        SetParameterRaw(*plugin, i, original);
    }
    // Pin properties: the 64-byte label inside the record, and guard bytes after it.
    for (bool input : {true, false})
    {
        const int count = input ? plugin->InputCount() : plugin->OutputCount();
        for (int i = 0; i < count && firstFault.empty(); ++i)
        {
            SetStep("%s(%d)", input ? "effGetInputProperties" : "effGetOutputProperties", i);
            struct
            {
                VstPinProperties pin;
                unsigned char guard[64];
            } area;
            std::memset(&area, GuardedText::kFill, sizeof area);
            area.pin.label[0] = 0;
            area.pin.shortLabel[0] = 0;
            std::memset(area.guard, GuardedText::kGuardByte, sizeof area.guard);
            const VstIntPtr answered =
                plugin->Dispatch(input ? effGetInputProperties : effGetOutputProperties, i, 0, &area.pin);
            ++texts;
            const char* name = input ? "effGetInputProperties" : "effGetOutputProperties";
            for (unsigned char byte : area.guard)
                if (byte != GuardedText::kGuardByte)
                {
                    firstFault =
                        Format("%s(%d): wrote past the %zu-byte record", name, i, sizeof(VstPinProperties));
                    break;
                }
            if (firstFault.empty() && answered != 0 &&
                std::memchr(area.pin.label, 0, sizeof area.pin.label) == nullptr)
                firstFault = Format("%s(%d): label not terminated within its 64 bytes", name, i);
        }
    }
    if (!firstFault.empty())
        return {false, firstFault};
    return {true, Format("%d texts into 64-byte areas: terminated, guards intact; longest %zu bytes (%s)",
                         texts, longest, longestWhat.c_str())};
}

CheckResult CheckParamValues(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> plugin = OpenPlugin(path, fault);
    if (!plugin)
        return {false, fault};
    struct Case
    {
        float value;
        bool valid;
    };
    const Case cases[] = {
        {0.0f, true},
        {1.0f, true},
        {1e-40f, true},
        {-1.0f, false},
        {2.0f, false},
        {std::numeric_limits<float>::quiet_NaN(), false},
        {std::numeric_limits<float>::infinity(), false},
        {-std::numeric_limits<float>::infinity(), false},
    };
    double worst = 0.0;
    int calls = 0;
    for (int i = 0; i < plugin->ParamCount(); ++i)
        for (const Case& c : cases)
        {
            SetStep("setParameter(%d, %s)", i, SampleText(c.value).c_str());
            SetParameterRaw(*plugin, i, c.value);
            const float got = GetParameterRaw(*plugin, i);
            SetStep("effGetParamDisplay(%d) after setParameter(%s)", i, SampleText(c.value).c_str());
            plugin->ParamDisplay(i);
            ++calls;
            if (!std::isfinite(got) || got < 0.0f || got > 1.0f)
                return {false, Format("getParameter(%d) = %s after setParameter(%d, %s)", i,
                                      SampleText(got).c_str(), i, SampleText(c.value).c_str())};
            if (c.valid)
            {
                const double error = std::fabs(static_cast<double>(got) - static_cast<double>(c.value));
                if (error > 1e-6)
                    return {false, Format("parameter %d does not round-trip: set %s, read back %s", i,
                                          SampleText(c.value).c_str(), SampleText(got).c_str())};
                worst = std::max(worst, error);
            }
        }
    return {true,
            Format("%d values on %d parameters: reads finite within 0..1; round trip error at most %.2g",
                   calls, plugin->ParamCount(), worst)};
}
