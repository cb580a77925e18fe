#pragma once
// StereoPath: the effect's per-sample audio path over one block of two channels:
//     inputLevel  = IN follower on input channel 0
//     fL, fR      = each channel through its own filter
//     outputs     = (filtered * wet + dry input * dry) * gain
//     outputLevel = OUT follower on output channel 0 (read back from the output buffer)
// It works on the effect's filters and followers in place and publishes the two levels
// with relaxed atomic stores for the meters, which read them without a lock.
//
// Two implementations give bit-identical results (NaN payloads aside). RenderScalar is
// the plain loop over ResonantBiquad::Tick and LevelFollower::Track and publishes the
// levels after every sample. RenderSse2 (x86 builds) runs the two filters as the two
// lanes of one SSE2 register and the two followers as the lanes of another, so a block
// costs little more than the filter recursion itself, and publishes the levels once, at
// the end of the block: the same final values, and a meter accepts a reading one block
// old. RenderAvx is the same code in AVX encoding. Render picks the fastest form the
// build and the processor have.

#include "effect/LevelFollower.h"
#include "effect/ResonantBiquad.h"

#include <atomic>

struct StereoPath
{
    ResonantBiquad& leftFilter;
    ResonantBiquad& rightFilter;
    LevelFollower& inputFollower;
    LevelFollower& outputFollower;
    std::atomic<double>& inputLevel;
    std::atomic<double>& outputLevel;
    double wetAmount; // weight of the filtered signal
    double dryAmount; // weight of the unfiltered input
    double gainFactor;

    // Processes frames samples (nothing for frames <= 0). Both input samples of index i
    // are read before either output of index i is written, so an input buffer may also be
    // an output buffer. [audio thread, instance lock held]
    void Render(const double* inL, const double* inR, double* outL, double* outR, int frames)
    {
#if defined(__SSE2__)
        if (AvxAvailable())
            RenderAvx(inL, inR, outL, outR, frames);
        else
            RenderSse2(inL, inR, outL, outR, frames);
#else
        RenderScalar(inL, inR, outL, outR, frames);
#endif
    }

    void RenderScalar(const double* inL, const double* inR, double* outL, double* outR, int frames);
#if defined(__SSE2__)
    void RenderSse2(const double* inL, const double* inR, double* outL, double* outR, int frames);
    // RenderSse2's code in AVX encoding (three-operand instructions save the register
    // copies of the two-operand SSE2 forms); only where AvxAvailable().
    void RenderAvx(const double* inL, const double* inR, double* outL, double* outR, int frames);
    // Whether the processor and the system support AVX. [any thread; no lock]
    static bool AvxAvailable();
#endif
};
