#pragma once
// LevelFollower: rectifies a stream of samples and smooths it with a one-pole filter
// whose factor depends on direction (attack while the input is above the envelope,
// release otherwise). The level is a linear amplitude, 1.0 = full scale; turning it into
// decibels is the meter's business.
//
// Inputs with an exponent field of 0 or 0x7FF (zero, subnormal, infinite, NaN) count as
// 0.0; an envelope or output that decays into the subnormal range becomes exactly 0.0
// (SampleFlush.h).
// A plain value type with no thread safety of its own: the owner calls Track from the
// audio thread only.

#include "effect/SampleFlush.h"

#include <cmath>

class LevelFollower
{
public:
    // Computes the attack and release factors for time constants in milliseconds at the
    // given rate (samples per second) and clears the envelope. An attack below 0.0001 ms
    // (zero and negative included) gives a factor of exactly 1.0 (the level jumps up at
    // once); a release of 0 ms gives 1.0 through exp(-inf) = 0.
    void Configure(double attackMs, double releaseMs, int sampleRate);

    // Feeds one sample and returns the new level. [audio thread]
    double Track(double x)
    {
        const double r = std::fabs(sample_flush::FlushNonNormal(x));
        // Equal values use the release factor; the envelope before its flush decides.
        const bool rising = envelope_ < r;
        const double k = rising ? attackCoef_ : releaseCoef_;
        const double keep = rising ? attackKeep_ : releaseKeep_;
        envelope_ = sample_flush::FlushZeroExponent(envelope_);
        envelope_ = keep * envelope_ + k * r;
        // The envelope itself is cleared on the next call, before it is used again.
        output_ = sample_flush::FlushZeroExponent(envelope_);
        return output_;
    }

    double AttackCoef() const { return attackCoef_; }
    double ReleaseCoef() const { return releaseCoef_; }
    double Envelope() const { return envelope_; }
    // The last level returned by Track.
    double Output() const { return output_; }

private:
    // The stereo audio path runs two filters and two followers side by side on their
    // fields.
    friend struct StereoPath;
    friend struct StereoPathLanes;

    double attackCoef_ = 1.0;
    double releaseCoef_ = 1.0;
    // 1 - attackCoef and 1 - releaseCoef, computed once in Configure so that Track does
    // no subtraction of its own (the values are the same as computing 1 - k per sample).
    double attackKeep_ = 0.0;
    double releaseKeep_ = 0.0;
    double envelope_ = 0.0;
    double output_ = 0.0;
};
