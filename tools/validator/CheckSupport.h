#pragma once
// What the checks share: loading and preparing a plug-in, host buffers with guard
// samples, test signals, rendering a signal through a plug-in in blocks of chosen sizes,
// and reading the output (non-finite, subnormal, peak). Also the "step" a check is at,
// which the crash handler of a child process reports.

#include "tools/HostedPlugin.h"
#include "tools/validator/Validator.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Full scale is 1.0; test signals peak at kSignalPeak (-12 dBFS).
inline constexpr double kSignalPeak = 0.25;
// Output above this (+80 dBFS) from a -12 dBFS input counts as unbounded.
inline constexpr double kOutputBound = 1e4;
// The rate and block size of checks that do not vary them.
inline constexpr double kRate = 48000.0;
inline constexpr int kBlock = 512;

// Frames of a duration (seconds) at a rate (Hz).
inline int FramesOf(double seconds, double rate)
{
    return static_cast<int>(seconds * rate + 0.5);
}

// Signal: one vector of samples per channel, all of the same length.
using Signal = std::vector<std::vector<double>>;

// The first fault a check finds; later ones are ignored.
class Verdict
{
public:
    void Fail(const std::string& fault)
    {
        if (fault_.empty())
            fault_ = fault.empty() ? std::string("failed") : fault;
    }
    bool Failed() const { return !fault_.empty(); }
    // Passed with the figure, or failed with the first fault.
    CheckResult Result(const std::string& figure) const
    {
        return Failed() ? CheckResult{false, fault_} : CheckResult{true, figure};
    }

private:
    std::string fault_;
};

// The step a check is at, kept in a fixed area so that a crash handler can print it.
// Steps named on other threads than the one that last called ClaimSteps are ignored.
void ClaimSteps();
void SetStep(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
const char* CurrentStep();

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// A sample value for a report: "nan", "inf", "1.5e+30", "0.25".
std::string SampleText(double value);
// Level in dBFS of a peak ("-inf" for 0).
std::string DbText(double peak);

// Loads the library and sends effOpen. Answers none with the reason in fault.
std::unique_ptr<HostedPlugin> OpenPlugin(const std::string& path, std::string& fault);
// OpenPlugin, then sample rate, block size and arrangement, then resume.
std::unique_ptr<HostedPlugin> StartPlugin(const std::string& path, double rate, int block,
                                          bool doublePrecision, std::string& fault);
// Suspends if needed, prepares again and resumes.
bool Restart(HostedPlugin& plugin, double rate, int block, bool doublePrecision, std::string& fault);

// Deterministic white noise in [-1, 1] (xorshift32).
class Noise
{
public:
    explicit Noise(std::uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}
    double Next();
    std::uint32_t NextBits();
    // Integer in lo..hi inclusive.
    int Between(int lo, int hi);

private:
    std::uint32_t state_;
};

// Noise and a 55 Hz sine (half each), peak kSignalPeak; every channel the same when
// sameChannels, else each channel its own noise. Signals hold at least one channel, so
// that the input of a plug-in without inputs (an instrument) still has a length; host
// buffers take only the channels the plug-in has.
Signal TestSignal(int channels, int frames, double rate, std::uint32_t seed, bool sameChannels = false);
Signal Silence(int channels, int frames);

// Host buffers of one sample type for blocks of up to frames samples. Before each block
// of n samples, the kGuard samples before each channel and everything from sample n on
// hold a fixed bit pattern that no plug-in writes by chance (a NaN with a payload), so
// that writes outside the block are seen and reads outside it turn the output to NaN.
template <typename Sample> class HostBuffers
{
public:
    static constexpr int kGuard = 64;
    HostBuffers(int channels, int frames);
    Sample** Pointers() { return pointers_.data(); }
    Sample* Channel(int c) { return pointers_[static_cast<std::size_t>(c)]; }
    int Channels() const { return static_cast<int>(pointers_.size()); }
    int Frames() const { return frames_; }
    // Guards around a block of n samples (0 to Frames()).
    void Arm(int n);
    // Fills the first n frames of every channel from signal at offset (zeros past its end).
    void Load(const Signal& signal, std::size_t offset, int n);
    // Zeroes the first n frames of every channel.
    void Zero(int n);
    // After a block of n samples: false with the first damaged guard in where.
    bool GuardsIntact(int n, std::string& where) const;

private:
    int frames_;
    std::vector<std::vector<Sample>> storage_;
    std::vector<Sample*> pointers_;
};

// How a render is fed: the size of each next block (0 to the announced block size).
using BlockSizes = std::function<int()>;
inline BlockSizes FixedBlocks(int n)
{
    return [n] { return n; };
}

struct RenderOptions
{
    bool doublePrecision = false;
    bool inPlace = false;     // outputs are the input buffers
    bool checkInputs = false; // inputs must come back untouched (separate buffers only)
    std::function<void(long long frame)> beforeBlock; // e.g. automation; frame = block start
};

// Feeds input (InputCount() channels) through a resumed plug-in, collecting OutputCount()
// channels. Host buffers are guarded; a damaged guard, a changed input or a refused block
// ends the render with the fault.
bool Render(HostedPlugin& plugin, const Signal& input, Signal& output, const BlockSizes& sizes,
            const RenderOptions& options, std::string& fault);

// One block through the plug-in, including the cases HostedPlugin::Process refuses on
// purpose (zero frames; not resumed). [the plug-in's audio thread]
void ProcessRaw(HostedPlugin& plugin, float** inputs, float** outputs, int frames);
void ProcessRaw(HostedPlugin& plugin, double** inputs, double** outputs, int frames);

struct SignalStats
{
    double peak = 0.0;
    long long nonFinite = 0;
    long long subnormal = 0;
    long long firstBad = -1; // frame of the first non-finite or subnormal sample
    int firstBadChannel = -1;
    double firstBadValue = 0.0;
    long long firstNonFinite = -1; // frame of the first non-finite sample
    int firstNonFiniteChannel = -1;
    double firstNonFiniteValue = 0.0;
};
// subnormal is judged for the sample type the plug-in produced (float unless double).
SignalStats Analyse(const Signal& signal, bool doublePrecision, std::size_t from = 0);
enum class Demand
{
    Finite,         // finite samples
    Bounded,        // finite and within kOutputBound
    CleanAndBounded // also no subnormal sample
};
// The first sample that breaks the demand, as "non-finite output NaN at frame 12 of
// channel 1 (...)", or "" when there is none.
std::string SignalFault(const SignalStats& stats, Demand demand);
// Largest absolute difference between two signals of the same shape (infinity when the
// shapes differ or either holds a non-finite sample where the other does not).
double MaxDifference(const Signal& a, const Signal& b);

// Raw parameter calls, any value (the wrappers refuse values outside 0..1).
void SetParameterRaw(HostedPlugin& plugin, int index, float value);
float GetParameterRaw(HostedPlugin& plugin, int index);
