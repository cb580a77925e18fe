#include "tools/validator/Validator.h"

#include "tools/validator/CheckSupport.h"
#include "tools/validator/Checks.h"

#include <algorithm>
#include <cctype>

namespace
{
struct Entry
{
    CheckInfo info;
    CheckFunction run;
};

const std::vector<Entry>& Entries()
{
    static const std::vector<Entry> entries = {
        {{CheckId::LoadUnload, "load-unload",
          "load, open, close and unload 200 times: record sane, memory flat"},
         CheckLoadUnload},
        {{CheckId::BeforeSetup, "before-setup",
          "parameters, texts, chunks, editor rectangle before any set-up"},
         CheckBeforeSetup},
        {{CheckId::TextBounds, "text-bounds",
          "texts into 64-byte areas with guard bytes: terminated, guards intact"},
         CheckTextBounds},
        {{CheckId::ParamValues, "param-values",
          "values 0, 1, 1e-40, -1, 2, NaN, infinity: reads within 0..1"},
         CheckParamValues},
        {{CheckId::Lifecycle, "lifecycle",
          "set-up orders, rate change while resumed, double resume, early process"},
         CheckLifecycle},
        {{CheckId::RatesAndBlocks, "rates-blocks",
          "rates 12345.678 to 384000 Hz x blocks 1 to 8192: clean output"},
         CheckRatesAndBlocks},
        {{CheckId::VariableBlocks, "variable-blocks",
          "blocks of 0 to the announced size equal one block within 1e-6"},
         CheckVariableBlocks},
        {{CheckId::BufferBounds, "buffer-bounds",
          "guard samples, untouched inputs, in place equal to separate"},
         CheckBufferBounds},
        {{CheckId::Channels, "channels", "pin and arrangement answers agree with counts; identical L/R"},
         CheckChannels},
        {{CheckId::Denormals, "denormals",
          "noise then 60 s silence, flush-to-zero off: no subnormals, FP state kept"},
         CheckDenormals},
        {{CheckId::GarbageInput, "garbage-input",
          "a block of NaN, infinity, 1e30 or DBL_MAX, then noise: finite again"},
         CheckGarbageInput},
        {{CheckId::Silence, "silence", "silence in gives output below -100 dBFS after the tail"},
         CheckSilence},
        {{CheckId::AutomationStress, "automation",
          "every parameter changes every 1 to 32 frames: output bounded"},
         CheckAutomationStress},
        {{CheckId::StateRoundTrip, "state-round-trip",
          "state into a new instance: values, chunk and output equal"},
         CheckStateRoundTrip},
        {{CheckId::ChunkFuzz, "chunk-fuzz", "10,000 damaged and foreign chunks: no crash, valid state"},
         CheckChunkFuzz},
        {{CheckId::Programs, "programs", "every program index, -1 and the count"}, CheckPrograms},
        {{CheckId::ThreadSafety, "threads",
          "10 s of processing, automation, texts and chunks on three threads"},
         CheckThreadSafety},
        {{CheckId::HostReentry, "host-reentry",
          "setParameter from inside audioMasterAutomate; none from audio"},
         CheckHostReentry},
        {{CheckId::RealtimeSafety, "realtime", "no heap calls in process after the first block; worst block"},
         CheckRealtimeSafety},
        {{CheckId::ManyInstances, "instances", "16 instances at once give the output of one"},
         CheckManyInstances},
        {{CheckId::Editor, "editor", "editor open/close 50 times, twice, while processing: nothing leaked"},
         CheckEditor},
    };
    return entries;
}
} // namespace

const std::vector<CheckInfo>& Checks()
{
    static const std::vector<CheckInfo> checks = []
    {
        std::vector<CheckInfo> list;
        for (const Entry& entry : Entries())
            list.push_back(entry.info);
        return list;
    }();
    return checks;
}

bool FindCheck(const std::string& numberOrName, CheckId& id)
{
    if (!numberOrName.empty() && numberOrName.size() <= 2 &&
        std::all_of(numberOrName.begin(), numberOrName.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    {
        const int number = std::stoi(numberOrName);
        if (number < 1 || number > kCheckCount)
            return false;
        id = static_cast<CheckId>(number);
        return true;
    }
    for (const CheckInfo& info : Checks())
        if (numberOrName == info.name)
        {
            id = info.id;
            return true;
        }
    return false;
}

const CheckInfo& InfoOf(CheckId id)
{
    return Checks()[static_cast<std::size_t>(static_cast<int>(id) - 1)];
}

ValidatorOptions ValidatorOptions::Quick()
{
    ValidatorOptions options;
    options.threadSeconds = 1.0;
    options.denormalSilenceSeconds = 6.0;
    return options;
}

std::string ValidatorOptions::ScaledDescription() const
{
    const ValidatorOptions full;
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (threadSeconds != full.threadSeconds)
        add(Format("thread check %g s instead of %g s", threadSeconds, full.threadSeconds));
    if (denormalSilenceSeconds != full.denormalSilenceSeconds)
        add(Format("denormal check %g s of silence instead of %g s", denormalSilenceSeconds,
                   full.denormalSilenceSeconds));
    if (loadCycles != full.loadCycles)
        add(Format("%d load cycles instead of %d", loadCycles, full.loadCycles));
    if (chunkCases != full.chunkCases)
        add(Format("%d chunk cases instead of %d", chunkCases, full.chunkCases));
    return text;
}

CheckResult RunCheck(CheckId id, const std::string& pluginPath, const ValidatorOptions& options)
{
    ClaimSteps();
    SetStep("starting %s", InfoOf(id).name);
    for (const Entry& entry : Entries())
        if (entry.info.id == id)
        {
            CheckResult result = entry.run(pluginPath, options);
            SetStep("finished %s", entry.info.name);
            return result;
        }
    return {false, "no such check"};
}

std::string FormatResultLine(CheckId id, const CheckResult& result)
{
    // One line per check whatever the plug-in wrote into the figure.
    std::string figure = result.figure;
    for (char& c : figure)
        if (c == '\n' || c == '\r')
            c = ' ';
    return Format("%2d %-17s %s  %s", static_cast<int>(id), InfoOf(id).name, result.passed ? "PASS" : "FAIL",
                  figure.c_str());
}

std::string FormatSummaryLine(int passed, int failed)
{
    return Format("validate: %d passed, %d failed", passed, failed);
}
