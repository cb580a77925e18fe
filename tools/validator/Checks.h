#pragma once
// The checks, one function each, grouped in files by theme. Each loads the plug-in
// itself and answers its verdict; RunCheck picks one by its id.

#include "tools/validator/Validator.h"

#include <string>

using CheckFunction = CheckResult (*)(const std::string& path, const ValidatorOptions& options);

// ChecksRecord.cpp: the record, calls before set-up, texts, parameter values.
CheckResult CheckLoadUnload(const std::string& path, const ValidatorOptions& options);
CheckResult CheckBeforeSetup(const std::string& path, const ValidatorOptions& options);
CheckResult CheckTextBounds(const std::string& path, const ValidatorOptions& options);
CheckResult CheckParamValues(const std::string& path, const ValidatorOptions& options);
// ChecksAudio.cpp: processing under every condition a host creates.
CheckResult CheckLifecycle(const std::string& path, const ValidatorOptions& options);
CheckResult CheckRatesAndBlocks(const std::string& path, const ValidatorOptions& options);
CheckResult CheckVariableBlocks(const std::string& path, const ValidatorOptions& options);
CheckResult CheckBufferBounds(const std::string& path, const ValidatorOptions& options);
CheckResult CheckChannels(const std::string& path, const ValidatorOptions& options);
CheckResult CheckGarbageInput(const std::string& path, const ValidatorOptions& options);
CheckResult CheckSilence(const std::string& path, const ValidatorOptions& options);
CheckResult CheckAutomationStress(const std::string& path, const ValidatorOptions& options);
// ChecksState.cpp: chunks and programs.
CheckResult CheckStateRoundTrip(const std::string& path, const ValidatorOptions& options);
CheckResult CheckChunkFuzz(const std::string& path, const ValidatorOptions& options);
CheckResult CheckPrograms(const std::string& path, const ValidatorOptions& options);
// ChecksRealtime.cpp: denormals and floating-point state, allocation and timing.
CheckResult CheckDenormals(const std::string& path, const ValidatorOptions& options);
CheckResult CheckRealtimeSafety(const std::string& path, const ValidatorOptions& options);
// ChecksThreads.cpp: concurrent callers, host re-entry, many instances.
CheckResult CheckThreadSafety(const std::string& path, const ValidatorOptions& options);
CheckResult CheckHostReentry(const std::string& path, const ValidatorOptions& options);
CheckResult CheckManyInstances(const std::string& path, const ValidatorOptions& options);
// ChecksEditor.cpp: the editor in a real window.
CheckResult CheckEditor(const std::string& path, const ValidatorOptions& options);
