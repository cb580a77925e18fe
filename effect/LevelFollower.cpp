#include "effect/LevelFollower.h"

#include <cmath>

void LevelFollower::Configure(double attackMs, double releaseMs, int sampleRate)
{
    const double rate = static_cast<double>(sampleRate);
    // 1 - exp(-1000 / (t * rate)) is the factor of a one-pole smoother with a time
    // constant of t milliseconds: after t ms of constant input 1 - 1/e of the distance
    // is covered.
    attackCoef_ = attackMs < 0.0001 ? 1.0 : 1.0 - std::exp(-1000.0 / (attackMs * rate));
    releaseCoef_ = 1.0 - std::exp(-1000.0 / (releaseMs * rate));
    attackKeep_ = 1.0 - attackCoef_;
    releaseKeep_ = 1.0 - releaseCoef_;
    envelope_ = 0.0;
}
