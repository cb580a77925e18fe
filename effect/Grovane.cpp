#include "effect/Grovane.h"

#include "effect/StereoPath.h"

#include <climits>

namespace
{

// Configuration handed to the core.
constexpr const char* kChannels = "1-1 2-2"; // mono to mono, or stereo to stereo
constexpr int kPresetCount = 1;
constexpr const char* kEffectName = "Grovane";
constexpr const char* kProductName = "";
constexpr const char* kMakerName = "Tessaly";
constexpr int32_t kVersion = 0x10201;     // 1.2.1
constexpr int32_t kUniqueId = 0x4772766E; // 'Grvn'
constexpr int32_t kMakerId = 0x54737961;  // 'Tsya'
constexpr int kLatency = 0;

// Followers: instant attack, 400 ms release, timed for 44100 samples per second at any
// host rate (they are configured once).
constexpr double kFollowerAttackMs = 0.0;
constexpr double kFollowerReleaseMs = 400.0;
constexpr int kFollowerRate = 44100;

struct ParamSetup
{
    const char* name;
    const char* label;
    double defaultValue, min, max, step, shape;
};

// Indexed by Grovane::Param.
constexpr ParamSetup kParams[Grovane::kParamCount] = {
    {"Gain", "dB", 0.0, -36.0, 36.0, 0.01, 1.0},
    {"Frequency", "Hz", 80.0, 10.0, 2000.0, 0.01, 3.0},
    {"Amplitude", "Q", 1.5, 0.707, 10.0, 0.01, 3.6},
    {"Mix", "L->R", 100.0, 0.0, 100.0, 0.1, 1.0},
};

// The integer part of a sample rate, or fallback when the rate has none that a filter
// can use (NaN, below 1, beyond int): converting those would be undefined behaviour, and
// hosts' rates come from outside.
int WholeRate(double rate, int fallback)
{
    return rate >= 1.0 && rate < static_cast<double>(INT_MAX) ? static_cast<int>(rate) : fallback;
}

} // namespace

Grovane::Grovane(PluginAdapterHost host)
    : PluginAdapter(host, kParamCount, kChannels, kPresetCount, kEffectName, kProductName, kMakerName,
                    kVersion, kUniqueId, kMakerId, kLatency, false, false, false)
{
    inputFollower_.Configure(kFollowerAttackMs, kFollowerReleaseMs, kFollowerRate);
    outputFollower_.Configure(kFollowerAttackMs, kFollowerReleaseMs, kFollowerRate);
    inputLevel_.store(0.0, std::memory_order_relaxed);
    outputLevel_.store(0.0, std::memory_order_relaxed);

    // Tuned here to 80 Hz at Q 0.707; the parameters' values follow below.
    const int rate = WholeRate(SampleRate(), kFollowerRate);
    leftFilter_.Configure(80.0, 0.0, 0.707, BiquadType::HighPass, rate);
    rightFilter_.Configure(80.0, 0.0, 0.707, BiquadType::HighPass, rate);
    leftFilter_.ClearState();
    rightFilter_.ClearState();

    for (int i = 0; i < kParamCount; ++i)
    {
        const ParamSetup& p = kParams[i];
        ParamAt(i)->SetupDouble(p.name, p.defaultValue, p.min, p.max, p.step, p.label, "", 1.0);
    }
    ParamAt(kFrequency)->SetCurve(kParams[kFrequency].shape);
    ParamAt(kAmplitude)->SetCurve(kParams[kAmplitude].shape);

    BuildEditor();
    SetAboutVisible(false);

    // Nothing else can reach the object yet: no lock needed.
    ApplyParam(kFrequency);
    ApplyParam(kAmplitude);
    ApplyParam(kGain);
    ApplyParam(kMix);

    FillEmptyPresets("-", 1);
}

Grovane::~Grovane() = default;

void Grovane::ResetProcessing()
{
    PlugLockGuard lock(Mutex());
    RetuneFilters(WholeRate(SampleRate(), static_cast<int>(leftFilter_.SampleRate())));
    leftFilter_.ClearState();
    rightFilter_.ClearState();
}

void Grovane::ParamChanged(int paramIndex)
{
    PlugLockGuard lock(Mutex());
    ApplyParam(paramIndex);
}

void Grovane::ApplyParam(int paramIndex)
{
    const PluginParam* param = ParamAt(paramIndex);
    if (paramIndex < 0 || paramIndex >= kParamCount || !param)
        return;
    const double v = param->Value();
    switch (paramIndex)
    {
    case kGain:
        gainFactor_ = param->DbToGain();
        break;
    case kFrequency:
        for (ResonantBiquad* f : {&leftFilter_, &rightFilter_})
            f->Configure(v, f->Gain(), f->Q(), f->Type(), static_cast<int>(f->SampleRate()));
        break;
    case kAmplitude:
        for (ResonantBiquad* f : {&leftFilter_, &rightFilter_})
            f->Configure(f->Frequency(), f->Gain(), v, f->Type(), static_cast<int>(f->SampleRate()));
        break;
    case kMix:
        wetAmount_ = v / 100.0;
        dryAmount_ = 1.0 - v / 100.0;
        break;
    }
}

void Grovane::RetuneFilters(int rate)
{
    for (ResonantBiquad* f : {&leftFilter_, &rightFilter_})
        f->Configure(f->Frequency(), f->Gain(), f->Q(), f->Type(), rate);
}

void Grovane::RenderDouble(double** inputs, double** outputs, int frames)
{
    if (frames <= 0)
        return;
    StereoPath{leftFilter_,  rightFilter_, inputFollower_, outputFollower_, inputLevel_,
               outputLevel_, wetAmount_,   dryAmount_,     gainFactor_}
        .Render(inputs[0], inputs[1], outputs[0], outputs[1], frames);
}

void Grovane::RestoreDefaults()
{
    PlugLockGuard lock(Mutex());
    for (int i = 0; i < kParamCount; ++i)
    {
        PluginParam* param = ParamAt(i);
        const double d = param->DefaultValue();
        MoveControls(i, d);
        param->SetValue(d);
        ParamChanged(i);
    }
}

void Grovane::SetAboutVisible(bool visible)
{
    aboutVisible_ = visible;
    // The overlay's controls are shown and hidden here once the editor exists.
}

void Grovane::BuildEditor()
{
    // The editor is not built yet.
}

void Grovane::MoveControls(int /*paramIndex*/, double /*value*/)
{
    // No editor yet: no controls to move.
}
