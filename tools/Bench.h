#pragma once
// Time per frame of a hosted plug-in's process calls: blocks of the prepared block size
// with noise on every input at -12 dBFS, timed around the process calls only (the input
// is made once, outside the timing). The plug-in is driven in realtime mode (process
// level 2), as a live host would.

#include "tools/HostedPlugin.h"

#include <string>

struct BenchResult
{
    double nsPerFrame = 0.0;     // median over the timed passes
    double bestNsPerFrame = 0.0; // fastest pass
    long long frames = 0;        // frames timed in total
    int passes = 0;
};

// The plug-in must be prepared and suspended; it is resumed for the run and suspended
// afterwards. seconds of audio (at the prepared rate, 0.1 to 3600) are split into 10 timed
// passes after an untimed warm-up of a tenth of that. [caller's thread]
bool BenchPlugin(HostedPlugin& plugin, double seconds, bool useDouble, BenchResult& result,
                 std::string& error);
