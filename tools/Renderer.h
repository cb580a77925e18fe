#pragma once
// Runs audio through a hosted plug-in block by block, as a host's audio thread would.

#include "tools/AudioData.h"
#include "tools/HostedPlugin.h"

#include <string>

// The plug-in must be prepared and resumed. Input channel i of the plug-in receives input
// channel i of the audio; a mono source feeds every plug-in input; plug-in inputs beyond
// the source's channels receive silence. The output has the plug-in's output count and
// the input's length and rate. useDouble selects processDoubleReplacing. [caller's thread]
bool RenderAudio(HostedPlugin& plugin, const AudioData& input, bool useDouble, AudioData& output,
                 std::string& error);
