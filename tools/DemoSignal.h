#pragma once
// The built-in demo signal: a stereo groove with plenty of low end, made in code so that
// the host tool needs no audio file. At 120 beats per minute: a kick on every beat (a sine
// sweeping from about 155 Hz down to 45 Hz, decaying over a quarter second), a bass line
// of eighth notes between 41 Hz (E1) and 73 Hz (D2) with its second and third harmonics,
// and quiet noise ticks on the off-beats. Peak level -6 dBFS. Deterministic.

#include "tools/AudioData.h"

// seconds > 0, sampleRate in Hz; both channels carry the same signal.
AudioData MakeDemoSignal(double sampleRate, double seconds);
