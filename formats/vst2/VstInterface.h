#pragma once
// Our declarations of the VST 2.4 binary interface: the records a host and a plug-in
// exchange, the dispatcher and host-callback opcodes, flags and constants. Names are the
// published ones so that code reads like any other VST2 code; every record size and every
// offset a host reads is pinned by a static_assert for both the 64-bit and the 32-bit
// layout (the win32 build checks the latter).
//
// Records use natural alignment with a packing of 8. Calls use the platform's C calling
// convention: __cdecl on 32-bit Windows, the single convention on x86-64.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

using VstInt16 = std::int16_t;
using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

struct AEffect;

extern "C"
{
    using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                        VstIntPtr value, void* ptr, float opt);
    using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                          VstIntPtr value, void* ptr, float opt);
    using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                                  VstInt32 sampleFrames);
    using AEffectProcessDoubleProc = void(VSTCALLBACK*)(AEffect* effect, double** inputs, double** outputs,
                                                        VstInt32 sampleFrames);
    using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index, float parameter);
    using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);
    // Both entry points (VSTPluginMain and the older main) have this signature.
    using VstPluginEntryProc = AEffect*(VSTCALLBACK*)(audioMasterCallback host);
}

// Four-character constants as the interface packs them: the first character in the most
// significant byte ('VstP' = 0x56737450).
constexpr VstInt32 VstFourCC(char a, char b, char c, char d)
{
    return static_cast<VstInt32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                 (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                 (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                 static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr VstInt32 kEffectMagic = VstFourCC('V', 's', 't', 'P');
static_assert(kEffectMagic == 0x56737450);

#pragma pack(push, 8)

// The record a plug-in hands to its host from the entry point. The host calls through the
// function pointers; `object` belongs to the plug-in, `resvd1` and `resvd2` to the host.
struct AEffect
{
    VstInt32 magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process; // accumulating, deprecated
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    VstInt32 initialDelay;
    VstInt32 realQualities; // deprecated
    VstInt32 offQualities;  // deprecated
    float ioRatio;          // deprecated
    void* object;
    void* user;
    VstInt32 uniqueID;
    VstInt32 version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

struct ERect
{
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
};

struct VstTimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags;
};

struct VstEvent
{
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    char data[16];
};

struct VstMidiEvent
{
    VstInt32 type; // kVstMidiType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;
    VstInt32 noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstMidiSysexEvent
{
    VstInt32 type; // kVstSysExType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};

// A list of events. Declared with room for two; senders allocate as many entries as
// numEvents needs (header size + numEvents pointers).
struct VstEvents
{
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

struct VstPinProperties
{
    char label[64];
    VstInt32 flags;
    VstInt32 arrangementType;
    char shortLabel[8];
    char future[48];
};

struct VstSpeakerProperties
{
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};

struct VstSpeakerArrangement
{
    VstInt32 type;
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

struct MidiKeyName
{
    VstInt32 thisProgramIndex;
    VstInt32 thisKeyNumber;
    char keyName[64];
    VstInt32 reserved;
    VstInt32 flags;
};

#pragma pack(pop)

// Plug-in dispatcher opcodes.
enum : VstInt32
{
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetProcessPrecision = 77,
};

// Host callback opcodes.
enum : VstInt32
{
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

// AEffect::flags.
enum : VstInt32
{
    effFlagsHasEditor = 1 << 0,
    effFlagsCanMono = 1 << 3, // deprecated
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

// VstTimeInfo::flags.
enum : VstInt32
{
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

// VstEvent::type.
enum : VstInt32
{
    kVstMidiType = 1,
    kVstSysExType = 6,
};

// VstPinProperties::flags.
enum : VstInt32
{
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
};

// VstSpeakerArrangement::type.
enum : VstInt32
{
    kSpeakerArrUserDefined = -2,
    kSpeakerArrEmpty = -1,
    kSpeakerArrMono = 0,
    kSpeakerArrStereo = 1,
};

// effGetPlugCategory answers.
enum : VstInt32
{
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// audioMasterGetCurrentProcessLevel answers.
enum : VstInt32
{
    kVstProcessLevelUnknown = 0,
    kVstProcessLevelUser = 1,
    kVstProcessLevelRealtime = 2,
    kVstProcessLevelPrefetch = 3,
    kVstProcessLevelOffline = 4,
};

// effSetProcessPrecision values.
enum : VstInt32
{
    kVstProcessPrecision32 = 0,
    kVstProcessPrecision64 = 1,
};

// Published string limits: the least room a host provides, NUL included.
enum : VstInt32
{
    kVstMaxProgNameLen = 24,
    kVstMaxParamStrLen = 8,
    kVstMaxVendorStrLen = 64,
    kVstMaxProductStrLen = 64,
    kVstMaxEffectNameLen = 32,
    kVstMaxNameLen = 64,
    kVstMaxLabelLen = 64,
    kVstMaxShortLabelLen = 8,
};

// The version a host answers to audioMasterVersion and a plug-in to effGetVstVersion.
constexpr VstInt32 kVstVersion = 2400;

// Layout checks: sizes of every record and the offsets hosts and plug-ins read.
constexpr bool kVst64BitLayout = sizeof(void*) == 8;
static_assert(sizeof(VstInt32) == 4 && sizeof(VstIntPtr) == sizeof(void*));
static_assert(sizeof(void*) == 8 || sizeof(void*) == 4, "only 32-bit and 64-bit layouts exist");

static_assert(sizeof(AEffect) == (kVst64BitLayout ? 192 : 144));
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == (kVst64BitLayout ? 8 : 4));
static_assert(offsetof(AEffect, process) == (kVst64BitLayout ? 16 : 8));
static_assert(offsetof(AEffect, setParameter) == (kVst64BitLayout ? 24 : 12));
static_assert(offsetof(AEffect, getParameter) == (kVst64BitLayout ? 32 : 16));
static_assert(offsetof(AEffect, numPrograms) == (kVst64BitLayout ? 40 : 20));
static_assert(offsetof(AEffect, numParams) == (kVst64BitLayout ? 44 : 24));
static_assert(offsetof(AEffect, numInputs) == (kVst64BitLayout ? 48 : 28));
static_assert(offsetof(AEffect, numOutputs) == (kVst64BitLayout ? 52 : 32));
static_assert(offsetof(AEffect, flags) == (kVst64BitLayout ? 56 : 36));
static_assert(offsetof(AEffect, resvd1) == (kVst64BitLayout ? 64 : 40));
static_assert(offsetof(AEffect, resvd2) == (kVst64BitLayout ? 72 : 44));
static_assert(offsetof(AEffect, initialDelay) == (kVst64BitLayout ? 80 : 48));
static_assert(offsetof(AEffect, realQualities) == (kVst64BitLayout ? 84 : 52));
static_assert(offsetof(AEffect, offQualities) == (kVst64BitLayout ? 88 : 56));
static_assert(offsetof(AEffect, ioRatio) == (kVst64BitLayout ? 92 : 60));
static_assert(offsetof(AEffect, object) == (kVst64BitLayout ? 96 : 64));
static_assert(offsetof(AEffect, user) == (kVst64BitLayout ? 104 : 68));
static_assert(offsetof(AEffect, uniqueID) == (kVst64BitLayout ? 112 : 72));
static_assert(offsetof(AEffect, version) == (kVst64BitLayout ? 116 : 76));
static_assert(offsetof(AEffect, processReplacing) == (kVst64BitLayout ? 120 : 80));
static_assert(offsetof(AEffect, processDoubleReplacing) == (kVst64BitLayout ? 128 : 84));
static_assert(offsetof(AEffect, future) == (kVst64BitLayout ? 136 : 88));

static_assert(sizeof(ERect) == 8);
static_assert(offsetof(ERect, left) == 2 && offsetof(ERect, bottom) == 4 && offsetof(ERect, right) == 6);

static_assert(sizeof(VstTimeInfo) == 88);
static_assert(offsetof(VstTimeInfo, sampleRate) == 8);
static_assert(offsetof(VstTimeInfo, ppqPos) == 24);
static_assert(offsetof(VstTimeInfo, tempo) == 32);
static_assert(offsetof(VstTimeInfo, barStartPos) == 40);
static_assert(offsetof(VstTimeInfo, cycleStartPos) == 48);
static_assert(offsetof(VstTimeInfo, cycleEndPos) == 56);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, timeSigDenominator) == 68);
static_assert(offsetof(VstTimeInfo, samplesToNextClock) == 80);
static_assert(offsetof(VstTimeInfo, flags) == 84);

static_assert(sizeof(VstEvent) == 32);
static_assert(offsetof(VstEvent, deltaFrames) == 8 && offsetof(VstEvent, data) == 16);

static_assert(sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, noteLength) == 16);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(offsetof(VstMidiEvent, detune) == 28);
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29);

static_assert(sizeof(VstMidiSysexEvent) == (kVst64BitLayout ? 48 : 32));
static_assert(offsetof(VstMidiSysexEvent, dumpBytes) == 16);
static_assert(offsetof(VstMidiSysexEvent, resvd1) == (kVst64BitLayout ? 24 : 20));
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == (kVst64BitLayout ? 32 : 24));
static_assert(offsetof(VstMidiSysexEvent, resvd2) == (kVst64BitLayout ? 40 : 28));

static_assert(offsetof(VstEvents, reserved) == sizeof(VstIntPtr));
static_assert(offsetof(VstEvents, events) == 2 * sizeof(VstIntPtr));
static_assert(sizeof(VstEvents) == 4 * sizeof(VstIntPtr));

static_assert(sizeof(VstPinProperties) == 128);
static_assert(offsetof(VstPinProperties, flags) == 64);
static_assert(offsetof(VstPinProperties, arrangementType) == 68);
static_assert(offsetof(VstPinProperties, shortLabel) == 72);
static_assert(offsetof(VstPinProperties, future) == 80);

static_assert(sizeof(VstSpeakerProperties) == 112);
static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(offsetof(VstSpeakerProperties, future) == 84);

static_assert(sizeof(VstSpeakerArrangement) == 904);
static_assert(offsetof(VstSpeakerArrangement, numChannels) == 4);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);

static_assert(sizeof(MidiKeyName) == 80);
static_assert(offsetof(MidiKeyName, thisKeyNumber) == 4);
static_assert(offsetof(MidiKeyName, keyName) == 8);
static_assert(offsetof(MidiKeyName, reserved) == 72);
static_assert(offsetof(MidiKeyName, flags) == 76);
