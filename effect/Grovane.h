#pragma once
// Grovane: the plug-in class, the one object a host creates in every deliverable.
//
// It supplies what is particular to the effect: the configuration handed to the core, the
// four parameters, the audio path (a resonant high-pass filter per channel, a wet/dry mix
// and an output trim), the two level followers behind the IN and OUT meters, and the
// construction of the editor.
//
// One source for three deliverables: Grovane derives from `PluginAdapter`, which the
// header "PluginAdapter.h" names. There is no such header in this folder; each target
// that compiles the effect (grovane_add_effect in effect/CMakeLists.txt) puts its own
// adapter folder on the include path, whose PluginAdapter.h declares
//     using PluginAdapter = PluginVST;            // or PluginAAX, PluginRTAS, TestAdapter
//     using PluginAdapterHost = <the host argument of its constructor>;
// and the adapter's constructor takes the host argument first, then the PluginBase
// constructor's arguments up to isInstrument (the adapter supplies its own format code).
// So Grovane stays an ordinary class with its code in a .cpp, compiled once into each
// deliverable, rather than a template over the adapter living in headers.
//
// Threads and locks: the audio thread calls RenderDouble with the instance lock held;
// ParamChanged, ResetProcessing and RestoreDefaults take the lock themselves (it is
// recursive); the editor thread calls SetAboutVisible (no lock: editor objects only) and
// reads the two levels without a lock.

#include "PluginAdapter.h"

#include "core/TextBuffer.h"
#include "effect/LevelFollower.h"
#include "effect/ResonantBiquad.h"

#include <atomic>

class Grovane : public PluginAdapter
{
public:
    // Parameter indices.
    enum Param : int
    {
        kGain = 0,      // output trim, dB, -36 to +36
        kFrequency = 1, // filter corner, Hz, 10 to 2000
        kAmplitude = 2, // filter Q, 0.707 to 10
        kMix = 3,       // wet share, percent, 0 to 100
        kParamCount = 4,
    };

    // Builds the whole plug-in: adapter and core, followers, filters, parameters, editor,
    // preset. host is passed through to the adapter unchanged.
    // [creating thread, under ProcessLock]
    explicit Grovane(PluginAdapterHost host);
    ~Grovane() override;

    // Re-tunes both filters to the plug-in's sample rate (its integer part) and clears
    // their memory; followers, levels and mix and gain factors are kept.
    // [any thread; takes the instance lock]
    void ResetProcessing() override;
    // Takes parameter paramIndex's current value into the audio path; other indices do
    // nothing. A filter retune keeps the filter's memory. [any thread; takes the instance
    // lock]
    void ParamChanged(int paramIndex) override;
    // Processes frames samples of two input channels into two output channels (frames <= 0
    // does nothing). An input buffer may be the output buffer of the same channel.
    // [audio thread, instance lock held]
    void RenderDouble(double** inputs, double** outputs, int frames) override;

    // Puts every parameter back to its default and into the audio path, moving the
    // editor's controls; the host is not told (it reads the values when it next asks).
    // Filter memory and followers are kept. [editor thread; takes the instance lock]
    void RestoreDefaults();
    // Shows or hides the About overlay's texts and links. [editor thread, no lock]
    void SetAboutVisible(bool visible);
    bool AboutVisible() const { return aboutVisible_; }

    // Last readings of the IN and OUT followers, linear amplitude (1.0 = full scale).
    // [any thread, no lock: the audio thread stores them during each block (StereoPath.h),
    // and a reading one block old is acceptable]
    double InputLevel() const { return inputLevel_.load(std::memory_order_relaxed); }
    double OutputLevel() const { return outputLevel_.load(std::memory_order_relaxed); }

    // The audio path's state, for inspection. [instance lock held for a consistent view]
    const ResonantBiquad& LeftFilter() const { return leftFilter_; }
    const ResonantBiquad& RightFilter() const { return rightFilter_; }
    const LevelFollower& InputFollower() const { return inputFollower_; }
    const LevelFollower& OutputFollower() const { return outputFollower_; }
    double GainFactor() const { return gainFactor_; }
    double WetAmount() const { return wetAmount_; }
    double DryAmount() const { return dryAmount_; }

    // The About overlay's texts. [editor thread]
    const char* AboutText() const { return aboutText_.Get(); }
    const char* SiteText() const { return siteText_.Get(); }

private:
    // The computation behind ParamChanged. [instance lock held, or construction]
    void ApplyParam(int paramIndex);
    // Retunes both filters to rate (integer part of a sample rate), keeping their settings.
    void RetuneFilters(int rate);
    // Builds the editor and its controls, fills the About texts and attaches the editor:
    // the editor is not built yet, so today the effect runs without one.
    void BuildEditor();
    // Moves the editor's controls bound to a parameter to a plain value: nothing until
    // the editor exists.
    void MoveControls(int paramIndex, double value);

    // Read and written by the audio thread on every sample.
    LevelFollower inputFollower_;
    LevelFollower outputFollower_;
    // Published to the meters without the lock: one aligned 64-bit value each.
    std::atomic<double> inputLevel_{0.0};
    std::atomic<double> outputLevel_{0.0};
    double gainFactor_ = 1.0; // linear output gain
    double dryAmount_ = 0.0;  // 1 - Mix/100
    double wetAmount_ = 1.0;  // Mix/100
    ResonantBiquad leftFilter_;
    ResonantBiquad rightFilter_;

    // Editor side; never touched by RenderDouble.
    TextBuffer aboutText_;
    TextBuffer siteText_;
    bool aboutVisible_ = false;

    static_assert(std::atomic<double>::is_always_lock_free, "the meters read the levels without a lock");
};
