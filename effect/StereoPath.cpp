#include "effect/StereoPath.h"

void StereoPath::RenderScalar(const double* inL, const double* inR, double* outL, double* outR, int frames)
{
    // Local copies: the output stores are doubles that could alias the members, which
    // would force the recursion state through memory on every sample.
    ResonantBiquad left = leftFilter;
    ResonantBiquad right = rightFilter;
    LevelFollower inFollower = inputFollower;
    LevelFollower outFollower = outputFollower;
    const double wet = wetAmount;
    const double dry = dryAmount;
    const double gain = gainFactor;
    for (int i = 0; i < frames; ++i)
    {
        const double l = inL[i];
        const double r = inR[i];
        inputLevel.store(inFollower.Track(l), std::memory_order_relaxed);
        const double fl = left.Tick(l);
        const double fr = right.Tick(r);
        outL[i] = (fl * wet + l * dry) * gain;
        outR[i] = (r * dry + fr * wet) * gain;
        outputLevel.store(outFollower.Track(outL[i]), std::memory_order_relaxed);
    }
    leftFilter = left;
    rightFilter = right;
    inputFollower = inFollower;
    outputFollower = outFollower;
}
