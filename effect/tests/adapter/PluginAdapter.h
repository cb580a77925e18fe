#pragma once
// The adapter the effect derives from in the unit tests and benchmarks.

#include "effect/tests/adapter/TestAdapter.h"

using PluginAdapter = TestAdapter;
using PluginAdapterHost = TestHost*;
