#pragma once
// Magnitude response of a hosted plug-in at its current settings, measured with steady
// sine probes: for each probe frequency the plug-in is reset (suspend, resume), fed a sine
// on every input until it has settled, and the gain is the ratio of the Hann-windowed
// single-frequency DFT of an output channel to that of the input over the same window.
// Harmonics and noise the plug-in adds fall outside the probe's bin; the answer is the
// steady-state gain at the probe's level.

#include "tools/HostedPlugin.h"

#include <string>
#include <vector>

struct ResponseOptions
{
    int points = 100;       // probe frequencies, log-spaced from minHz to maxHz
    double minHz = 10.0;    // lowest probe
    double maxHz = 20000.0; // highest probe, lowered to 0.45 x the sample rate
    double levelDb = -12.0; // probe amplitude in dB full scale
    bool useDouble = false; // processDoubleReplacing
};

struct ResponsePoint
{
    double hz = 0.0;
    std::vector<double> gainDb; // one per plug-in output; -infinity for silence
};

// The plug-in must be prepared and suspended; it is left suspended. points 2 to 10000,
// 0 < minHz < maxHz, levelDb <= 0.
bool MeasureResponse(HostedPlugin& plugin, const ResponseOptions& options,
                     std::vector<ResponsePoint>& response, std::string& error);
