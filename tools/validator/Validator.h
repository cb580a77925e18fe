#pragma once
// The validator's battery: 21 checks that any VST2 plug-in library should pass, each
// answering pass or fail with one figure (what was measured, or the first fault found).
// Every check loads the library afresh through the host tool's loader and drives the
// plug-in through HostedPlugin; everything the plug-in answers is treated as untrusted.
//
// Thread contract: RunCheck is called from one thread at a time (checks that need more
// threads start and join their own).

#include <string>
#include <vector>

enum class CheckId : int
{
    LoadUnload = 1,
    BeforeSetup,
    TextBounds,
    ParamValues,
    Lifecycle,
    RatesAndBlocks,
    VariableBlocks,
    BufferBounds,
    Channels,
    Denormals,
    GarbageInput,
    Silence,
    AutomationStress,
    StateRoundTrip,
    ChunkFuzz,
    Programs,
    ThreadSafety,
    HostReentry,
    RealtimeSafety,
    ManyInstances,
    Editor,
};

inline constexpr int kCheckCount = 21;

struct CheckInfo
{
    CheckId id;
    const char* name;    // short name used on the command line and in the report
    const char* summary; // one line: what the check does
};

// The battery in order.
const std::vector<CheckInfo>& Checks();
// A check by number ("7") or name ("variable-blocks"); false when there is none.
bool FindCheck(const std::string& numberOrName, CheckId& id);
const CheckInfo& InfoOf(CheckId id);

struct ValidatorOptions
{
    // Seconds of the thread-safety run (the battery's figure is 10 s).
    double threadSeconds = 10.0;
    // Seconds of silence after noise in the denormal check (the battery's figure is 60 s).
    double denormalSilenceSeconds = 60.0;
    // Load/unload cycles of the memory check (the battery's figure is 200).
    int loadCycles = 200;
    // Chunk fuzzing cases (the battery's figure is 10,000).
    int chunkCases = 10000;
    // The user says the plug-in's left and right outputs differ by design (a panner, a
    // stereo reverb or widener): identical left and right inputs need not give identical
    // outputs. Plug-ins that declare a spatial category are taken as such anyway.
    bool stereoByDesign = false;

    // --quick: the two long checks take a tenth of their duration; the rest is unchanged.
    static ValidatorOptions Quick();
    // What differs from the battery as the issue of record states it, for the report
    // header; empty when nothing does.
    std::string ScaledDescription() const;
};

struct CheckResult
{
    bool passed = false;
    std::string figure; // the figure, or the first fault
};

// Runs one check against the plug-in library at path, in this process. A plug-in that
// crashes takes the process with it; the command-line tool isolates checks in child
// processes for that reason.
CheckResult RunCheck(CheckId id, const std::string& pluginPath, const ValidatorOptions& options);

// The report line of one check: number, name, PASS or FAIL, figure.
std::string FormatResultLine(CheckId id, const CheckResult& result);
// The closing line: "validate: N passed, M failed".
std::string FormatSummaryLine(int passed, int failed);
