#pragma once
// The adapter the effect derives from in the VST2 library.
#include "formats/vst2/PluginVST.h"

using PluginAdapter = PluginVST;
using PluginAdapterHost = audioMasterCallback;
