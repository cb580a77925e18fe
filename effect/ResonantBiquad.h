#pragma once
// ResonantBiquad: two-pole, two-zero recursive filter run one double sample at a time.
//
// Configure computes the normalized coefficients (b0, b1, b2, a1, a2, all divided by a0)
// for one of nine response types; Tick then runs
//     y = b0*x + b1*x1 + b2*x2 - a1*y1 - a2*y2
// with no branch on the type. Inputs with an exponent field of 0 or 0x7FF (zero,
// subnormal, infinite, NaN) enter the recursion as +0.0 and outputs with a zero exponent
// field leave it as +0.0 (SampleFlush.h), so silence drives the memory to exact zeros and
// one bad host sample cannot poison it.
//
// A sum that is not finite (finite inputs near DBL_MAX overflow it, and inf - inf gives
// NaN) restarts the filter from rest: that output is +0.0 and the memory is cleared.
// Flushing the output alone is not enough: the jump it makes in a ringing filter of such
// amplitude overflows again, for ever.
//
// A plain value type with no thread safety of its own: the owner serialises Configure,
// Tick and ClearState (the effect holds its instance lock around all three).

#include "effect/SampleFlush.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

// Response types; the codes are part of the filter's interface.
enum class BiquadType : std::int32_t
{
    LowPass = 0,
    HighPass = 1,
    LowShelf = 2,
    HighShelf = 3,
    BandPassSkirt = 4, // band-pass whose peak gain equals Q
    BandPassPeak = 5,  // band-pass with unity peak gain
    Notch = 6,
    Peaking = 7,
    AllPass = 8,
};

class ResonantBiquad
{
public:
    // Stores the settings and recomputes the coefficients; the delay memory is kept, so
    // the next Tick continues the signal with the new response. frequency in Hz; gain is
    // the linear gain value of the shelving and peaking types (its square root is used);
    // sampleRate in samples per second. A type code outside 0-8 stores the settings but
    // keeps the previous coefficients. A frequency at or above half the rate, a Q of 0
    // or a negative gain give whatever the arithmetic gives (infinite or NaN
    // coefficients).
    void Configure(double frequency, double gain, double q, BiquadType type, int sampleRate);

    // Filters one sample and returns the output. [audio thread, owner's lock held]
    double Tick(double x)
    {
        x = sample_flush::FlushNonNormal(x);
        double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        if (!(std::fabs(y) <= DBL_MAX)) [[unlikely]]
            x = x1_ = y1_ = y = 0.0; // x2 and y2 take x1 and y1 below
        y = sample_flush::FlushZeroExponent(y);
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

    // Clears the delay memory (x1, x2, y1, y2); the settings and coefficients stay.
    void ClearState() { x1_ = x2_ = y1_ = y2_ = 0.0; }

    double Frequency() const { return frequency_; }
    double Gain() const { return gain_; }
    double Q() const { return q_; }
    BiquadType Type() const { return type_; }
    // Always a whole number: it is stored from an integer argument.
    double SampleRate() const { return sampleRate_; }

    double B0() const { return b0_; }
    double B1() const { return b1_; }
    double B2() const { return b2_; }
    double A1() const { return a1_; }
    double A2() const { return a2_; }

    // Delay memory: the previous two (flushed) inputs and outputs, x1 and y1 the more
    // recent.
    double X1() const { return x1_; }
    double X2() const { return x2_; }
    double Y1() const { return y1_; }
    double Y2() const { return y2_; }

private:
    // The stereo audio path runs two filters and two followers side by side on their
    // fields.
    friend struct StereoPath;
    friend struct StereoPathLanes;

    double q_ = 0.707;
    double gain_ = 0.0;
    double sampleRate_ = 44100.0;
    double frequency_ = 100.0;
    // All zero until the first Configure, so an unconfigured filter outputs 0.0.
    double b0_ = 0.0, b1_ = 0.0, b2_ = 0.0;
    double a1_ = 0.0, a2_ = 0.0;
    BiquadType type_ = BiquadType::LowPass;
    double x1_ = 0.0, x2_ = 0.0;
    double y1_ = 0.0, y2_ = 0.0;
};
