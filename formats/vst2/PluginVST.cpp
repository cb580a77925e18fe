#include "formats/vst2/PluginVST.h"

#include "core/TextBuffer.h"
#include "graphics/Graphics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace
{

// Answers of effIdentify and the REAPER vendor-extension queries.
constexpr VstIntPtr kIdentifyAnswer = 0x4E764566; // 'NvEf'
constexpr VstIntPtr kVendorAnswer = 0xBEEF;
constexpr VstIntPtr kReaperExtensionAnswer = 0xBEEF0000;
// The canDo texts with which REAPER asks for its vendor extensions and its
// view-as-configuration support.
constexpr const char* kReaperExtensionQuery = "hasCockosExtensions";
constexpr const char* kReaperViewAsConfigQuery = "hasCockosViewAsConfig";
// Sample rates and block sizes outside these ranges are host faults and are ignored.
constexpr double kMinSampleRate = 1.0;
constexpr double kMaxSampleRate = 10000000.0;
constexpr VstIntPtr kMaxBlockFrames = 1 << 20;
// Room for a preset name, terminator included.
constexpr int kPresetNameSize = 256;
// Bytes of host text areas we write into: the published minimum where a host may give no
// more, our own field size where every host gives more than the published 8 bytes.
constexpr std::size_t kProgramNameArea = kVstMaxProgNameLen;
constexpr std::size_t kParamTextArea = PluginParam::kTextSize;
constexpr std::size_t kEffectNameArea = kVstMaxEffectNameLen;
constexpr std::size_t kVendorArea = kVstMaxVendorStrLen;
constexpr std::size_t kProductArea = kVstMaxProductStrLen;

// Copies text into a host area of size bytes, truncated to fit and always terminated.
void CopyToHost(void* out, const char* text, std::size_t size)
{
    if (out)
        CopyText(static_cast<char*>(out), static_cast<int>(size), text);
}

} // namespace

PluginVST::PluginVST(audioMasterCallback hostCallback, int paramCount, const char* channels, int presetCount,
                     const char* effectName, const char* productName, const char* makerName, int32_t version,
                     int32_t uniqueId, int32_t makerId, int latency, bool doesMidi, bool doesChunks,
                     bool isInstrument)
    : PluginBase(paramCount, channels, presetCount, effectName, productName, makerName, version, uniqueId,
                 makerId, latency, doesMidi, doesChunks, isInstrument, kFormatVST2),
      hostCallback(hostCallback)
{
    aeffect.magic = kEffectMagic;
    aeffect.dispatcher = DispatcherProc;
    aeffect.process = ProcessProc;
    aeffect.setParameter = SetParameterProc;
    aeffect.getParameter = GetParameterProc;
    aeffect.numPrograms = PresetCount();
    aeffect.numParams = ParamCount();
    aeffect.numInputs = InputCount();
    aeffect.numOutputs = OutputCount();
    aeffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (LegalIO(1, -1))
        aeffect.flags |= effFlagsCanMono;
    aeffect.initialDelay = latency;
    aeffect.ioRatio = 1.0f;
    aeffect.object = this;
    aeffect.uniqueID = uniqueId;
    aeffect.version = DecimalVersion(version);
    aeffect.processReplacing = ProcessReplacingProc;
    aeffect.processDoubleReplacing = ProcessDoubleReplacingProc;

    ConnectInputs(0, InputCount(), true);
    ConnectOutputs(0, OutputCount(), true);
    SetArrangement(inputArrangement, InputCount());
    SetArrangement(outputArrangement, OutputCount());
    sliceFloatIn.Resize(InputCount());
    sliceFloatOut.Resize(OutputCount());
    sliceDoubleIn.Resize(InputCount());
    sliceDoubleOut.Resize(OutputCount());
    SetMaxBlockSize(1024);
}

PluginVST::~PluginVST()
{
    programChunk.Clear();
    bankChunk.Clear();
    aeffect.object = nullptr;
}

PluginVST* PluginVST::FromEffect(AEffect* effect)
{
    if (!effect || effect->magic != kEffectMagic)
        return nullptr;
    return static_cast<PluginVST*>(effect->object);
}

void PluginVST::SetArrangement(VstSpeakerArrangement& arrangement, int channels)
{
    arrangement.numChannels = channels;
    arrangement.type = channels == 0   ? kSpeakerArrEmpty
                       : channels == 1 ? kSpeakerArrMono
                       : channels == 2 ? kSpeakerArrStereo
                                       : kSpeakerArrUserDefined;
}

// ---- Host callback ----

VstIntPtr PluginVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* data, float opt)
{
    return hostCallback ? hostCallback(&aeffect, opcode, index, value, data, opt) : 0;
}

VstTimeInfo* PluginVST::HostTime(VstIntPtr filter)
{
    return reinterpret_cast<VstTimeInfo*>(CallHost(audioMasterGetTime, 0, filter));
}

void PluginVST::HostBeginParamEdit(int paramIndex)
{
    CallHost(audioMasterBeginEdit, paramIndex);
}

void PluginVST::HostSetParamValue(int paramIndex, double normalized)
{
    CallHost(audioMasterAutomate, paramIndex, 0, nullptr, static_cast<float>(normalized));
}

void PluginVST::HostEndParamEdit(int paramIndex)
{
    CallHost(audioMasterEndEdit, paramIndex);
}

void PluginVST::HostProgramChanged()
{
    CallHost(audioMasterUpdateDisplay);
}

bool PluginVST::HostIsOffline()
{
    return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

int PluginVST::HostSamplePosition()
{
    const VstTimeInfo* time = HostTime(0);
    if (!time || !(time->samplePos >= 0.0))
        return 0;
    const double rounded = time->samplePos + 0.5;
    return rounded >= static_cast<double>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                           : static_cast<int>(rounded);
}

double PluginVST::HostTempo()
{
    if (!hostCallback)
        return 0.0;
    const VstTimeInfo* time = HostTime(kVstTempoValid);
    if (time && (time->flags & kVstTempoValid) && time->tempo >= 0.0)
        return time->tempo;
    return 0.0;
}

void PluginVST::HostTimeSignature(int* numerator, int* denominator)
{
    if (numerator)
        *numerator = 0;
    if (denominator)
        *denominator = 0;
    const VstTimeInfo* time = HostTime(kVstTimeSigValid);
    if (time && (time->flags & kVstTimeSigValid) && time->timeSigNumerator >= 0 &&
        time->timeSigDenominator >= 0)
    {
        if (numerator)
            *numerator = time->timeSigNumerator;
        if (denominator)
            *denominator = time->timeSigDenominator;
    }
}

void PluginVST::HostTransport(TransportInfo* info)
{
    constexpr VstInt32 kWanted =
        kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
    const VstTimeInfo* time = HostTime(kWanted);
    if (!info || !time || !(time->flags & kWanted))
        return;
    info->samplePos = time->samplePos;
    if ((time->flags & kVstPpqPosValid) && time->ppqPos >= 0.0)
        info->ppqPos = time->ppqPos;
    if ((time->flags & kVstTempoValid) && time->tempo > 0.0)
        info->tempo = time->tempo;
    if ((time->flags & kVstBarsValid) && time->barStartPos >= 0.0)
        info->lastBarPos = time->barStartPos;
    if ((time->flags & kVstCyclePosValid) && time->cycleStartPos >= 0.0 && time->cycleEndPos >= 0.0)
    {
        info->cycleStart = time->cycleStartPos;
        info->cycleEnd = time->cycleEndPos;
    }
    if ((time->flags & kVstTimeSigValid) && time->timeSigNumerator > 0 && time->timeSigDenominator > 0)
    {
        info->numerator = time->timeSigNumerator;
        info->denominator = time->timeSigDenominator;
    }
    info->playing = (time->flags & kVstTransportPlaying) != 0;
    info->cycling = (time->flags & kVstTransportCycleActive) != 0;
}

int PluginVST::HostKind()
{
    if (hostKind_ == -1)
    {
        char name[kPresetNameSize] = {};
        CallHost(audioMasterGetProductString, 0, 0, name);
        name[sizeof name - 1] = '\0';
        int packed = 0;
        if (name[0])
        {
            // The host answers its version as a decimal number, e.g. 4010 for 0.40.10.
            const VstIntPtr decimal =
                std::clamp<VstIntPtr>(CallHost(audioMasterGetVendorVersion), 0, 99999999);
            const int d = static_cast<int>(decimal);
            const int major = d / 10000;
            const int minor = (d % 10000) / 100;
            const int patch = d - major * 10000 - minor * 100;
            packed = major * 65536 + minor * 256 + patch;
        }
        SetHost(name, packed);
    }
    return hostKind_;
}

void PluginVST::ResizeEditor(int, int)
{
    if (!Editor())
        return;
    editRect = {0, 0, static_cast<VstInt16>(Editor()->EditorHeight()),
                static_cast<VstInt16>(Editor()->EditorWidth())};
    EditorResized();
}

void PluginVST::InitForHost()
{
    if (hostInitDone)
        return;
    hostInitDone = true;
    switch (HostKind())
    {
    case kHostForte:
    case kHostAudition:
    case kHostOrion:
    case kHostSAWStudio:
        RestrictToStereo();
        break;
    default:
        break;
    }
    aeffect.numInputs = inputArrangement.numChannels = InputCount();
    aeffect.numOutputs = outputArrangement.numChannels = OutputCount();
    HostIdentified();
}

void PluginVST::AttachEditor(Graphics* graphics)
{
    if (!graphics)
        return;
    PluginBase::AttachEditor(graphics);
    aeffect.flags |= effFlagsHasEditor;
    editRect = {0, 0, static_cast<VstInt16>(graphics->EditorHeight()),
                static_cast<VstInt16>(graphics->EditorWidth())};
}

void PluginVST::SetLatencySamples(int frames)
{
    aeffect.initialDelay = frames;
    PluginBase::SetLatencySamples(frames);
}

bool PluginVST::SendMidiToHost(const MidiEvent* event)
{
    if (!event)
        return false;
    VstMidiEvent midi = {};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof(VstMidiEvent);
    midi.deltaFrames = event->offset;
    midi.midiData[0] = static_cast<char>(event->status);
    midi.midiData[1] = static_cast<char>(event->data1);
    midi.midiData[2] = static_cast<char>(event->data2);
    VstEvents events = {};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&midi);
    return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool PluginVST::SendSysexToHost(const SysexBlock* sysex)
{
    if (!sysex)
        return false;
    VstMidiSysexEvent event = {};
    event.type = kVstSysExType;
    event.byteSize = 48; // as hosts expect on every platform
    event.deltaFrames = sysex->offset;
    event.dumpBytes = sysex->size;
    event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(sysex->data));
    VstEvents events = {};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

// ---- Dispatcher ----

VstIntPtr PluginVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* data, float opt)
{
    PlugLockGuard lock(Mutex());
    char* text = static_cast<char*>(data);
    switch (opcode)
    {
    case effOpen:
        InitForHost();
        NotifyAllParamsChanged();
        return 0;
    case effSetProgram:
        return HandleSetProgram(value);
    case effGetProgram:
        return CurrentPreset();
    case effSetProgramName:
        return HandleSetProgramName(text);
    case effGetProgramName:
        return HandleGetProgramName(text);
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        return HandleParamText(opcode, index, text);
    case effSetSampleRate:
        return HandleSetSampleRate(opt);
    case effSetBlockSize:
        return HandleSetBlockSize(value);
    case effMainsChanged:
        return HandleMainsChanged(value);
    case effEditGetRect:
        return HandleEditGetRect(data);
    case effEditOpen:
        return HandleEditOpen(data);
    case effEditClose:
        return HandleEditClose();
    case effIdentify:
        return kIdentifyAnswer;
    case effGetChunk:
        return HandleGetChunk(index, data);
    case effSetChunk:
        return HandleSetChunk(index, value, data);
    case effProcessEvents:
        return HandleProcessEvents(static_cast<const VstEvents*>(data));
    case effCanBeAutomated:
        return ParamAt(index) ? 1 : 0;
    case effString2Parameter:
        return HandleString2Parameter(index, text);
    case effGetProgramNameIndexed:
        return HandleGetProgramNameIndexed(index, text);
    case effGetInputProperties:
        return HandlePinProperties(true, index, static_cast<VstPinProperties*>(data));
    case effGetOutputProperties:
        return HandlePinProperties(false, index, static_cast<VstPinProperties*>(data));
    case effGetPlugCategory:
        return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement:
        return HandleSetSpeakerArrangement(value, data);
    case effGetEffectName:
        return data ? (CopyToHost(data, EffectName(), kEffectNameArea), 1) : 0;
    case effGetVendorString:
        return data ? (CopyToHost(data, MakerName(), kVendorArea), 1) : 0;
    case effGetProductString:
        return data ? (CopyToHost(data, ProductName(), kProductArea), 1) : 0;
    case effVendorSpecific:
        return HandleVendorSpecific(index, value, data, opt);
    case effCanDo:
        return HandleCanDo(text);
    case effGetVstVersion:
        return kVstVersion;
    case effGetMidiKeyName:
        return HandleGetMidiKeyName(static_cast<MidiKeyName*>(data));
    case effGetSpeakerArrangement:
        return HandleGetSpeakerArrangement(value, data);
    default:
        // effEditIdle, effIdle, effProcessVarIo, effSetBypass, effGetTailSize, ... : nothing.
        return 0;
    }
}

VstIntPtr PluginVST::HandleSetProgram(VstIntPtr value)
{
    if (!DoesChunks())
        ModifyCurrentPreset(); // the outgoing preset keeps the live state
    if (value >= 0 && value < PresetCount())
        LoadPreset(static_cast<int>(value));
    return 0;
}

VstIntPtr PluginVST::HandleSetProgramName(const char* name)
{
    if (!name)
        return 0;
    // Host text of unknown length: at most a preset name's room is read.
    char copy[kPresetNameSize];
    const std::size_t n = strnlen(name, sizeof copy - 1);
    std::memcpy(copy, name, n);
    copy[n] = '\0';
    ModifyCurrentPreset(copy);
    HostChangedPresets();
    return 0;
}

VstIntPtr PluginVST::HandleGetProgramName(char* out)
{
    CopyToHost(out, PresetName(CurrentPreset()), kProgramNameArea);
    return 0;
}

VstIntPtr PluginVST::HandleParamText(VstInt32 opcode, VstInt32 index, char* out)
{
    const PluginParam* param = ParamAt(index);
    if (!param || !out)
        return 0;
    if (opcode == effGetParamLabel)
        CopyToHost(out, param->UnitLabel(), kParamTextArea);
    else if (opcode == effGetParamName)
        CopyToHost(out, param->ParamName(), kParamTextArea);
    else
        param->FormatCurrent(out, static_cast<int>(kParamTextArea));
    return 0;
}

VstIntPtr PluginVST::HandleSetSampleRate(float rate)
{
    if (!(rate >= kMinSampleRate && rate <= kMaxSampleRate))
        return 0; // a rate the effect cannot run at (NaN, 0, negative, absurd) is ignored
    SetSampleRate(static_cast<double>(rate));
    ResetProcessing();
    return 0;
}

VstIntPtr PluginVST::HandleSetBlockSize(VstIntPtr frames)
{
    if (frames >= 1 && frames <= kMaxBlockFrames)
        SetMaxBlockSize(static_cast<int>(frames));
    ResetProcessing();
    return 0;
}

VstIntPtr PluginVST::HandleMainsChanged(VstIntPtr on)
{
    if (on)
        ActiveChanged(true);
    else
    {
        ActiveChanged(false);
        ResetProcessing();
    }
    return 0;
}

VstIntPtr PluginVST::HandleEditGetRect(void* data)
{
    if (!data || !Editor())
        return 0;
    *static_cast<ERect**>(data) = &editRect;
    return 1;
}

VstIntPtr PluginVST::HandleEditOpen(void* parentWindow)
{
    if (!Editor() || !Editor()->AttachToParent(parentWindow))
        return 0;
    EditorOpened();
    return 1;
}

VstIntPtr PluginVST::HandleEditClose()
{
    if (!Editor())
        return 0;
    EditorClosed();
    Editor()->DetachWindow();
    return 1;
}

VstIntPtr PluginVST::HandleGetChunk(VstInt32 index, void* data)
{
    if (!data)
        return 0;
    StateChunk& chunk = index != 0 ? programChunk : bankChunk;
    WriteChunkHeader(&chunk);
    bool written;
    if (index != 0)
        written = WriteState(&chunk);
    else
    {
        ModifyCurrentPreset(); // the current preset takes the live state
        written = SerializePresets(&chunk);
    }
    if (!written || chunk.Size() == 0)
        return 0;
    *static_cast<void**>(data) = chunk.Data();
    return chunk.Size();
}

VstIntPtr PluginVST::HandleSetChunk(VstInt32 index, VstIntPtr bytes, const void* data)
{
    if (!data || bytes <= 0 || bytes > kMaxChunkBytes)
        return 0;
    StateChunk& chunk = index != 0 ? programChunk : bankChunk;
    if (!chunk.Resize(static_cast<int>(bytes)))
        return 0;
    std::memcpy(chunk.Data(), data, static_cast<std::size_t>(bytes));
    int pos = 0;
    const int version = ReadChunkHeader(&chunk, &pos);
    int result;
    if (index == 0 && version >= 0x10000)
        result = UnserializePresets(&chunk, pos);
    else
    {
        result = ReadState(&chunk, pos);
        ModifyCurrentPreset();
    }
    if (result < 0)
        return 0;
    RefreshEditorParams();
    return 1;
}

VstIntPtr PluginVST::HandleProcessEvents(const VstEvents* events)
{
    if (!events)
        return 0;
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
        const VstEvent* event = events->events[i];
        if (!event)
            continue;
        if (event->type == kVstMidiType)
        {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
            MidiEvent m;
            m.offset = midi->deltaFrames;
            m.status = static_cast<uint8_t>(midi->midiData[0]);
            m.data1 = static_cast<uint8_t>(midi->midiData[1]);
            m.data2 = static_cast<uint8_t>(midi->midiData[2]);
            HandleMidiEvent(&m);
        }
        else if (event->type == kVstSysExType)
        {
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
            SysexBlock block;
            block.offset = sysex->deltaFrames;
            block.size = sysex->dumpBytes;
            block.data = reinterpret_cast<const unsigned char*>(sysex->sysexDump);
            HandleSysex(&block);
        }
    }
    return 1;
}

VstIntPtr PluginVST::HandleString2Parameter(VstInt32 index, const char* text)
{
    PluginParam* param = ParamAt(index);
    if (!param)
        return 0;
    if (!text)
        return 1;
    double v;
    if (param->DisplayTextCount() > 0)
    {
        int found = 0;
        if (!param->LookUpDisplayText(text, &found))
            return 0;
        v = found;
    }
    else
    {
        v = std::strtod(text, nullptr);
        if (std::isnan(v))
            return 0; // "nan" names no value; infinities clamp to the range below
        if (param->NegateDisplay())
            v = -v;
    }
    if (Editor())
        Editor()->SetControlsFromParam(index, v, false);
    param->SetValue(v);
    ParamChanged(index);
    return 1;
}

VstIntPtr PluginVST::HandleGetProgramNameIndexed(VstInt32 index, char* out)
{
    const char* name = PresetName(index);
    CopyToHost(out, name, kProgramNameArea);
    return out && name[0] ? 1 : 0;
}

VstIntPtr PluginVST::HandlePinProperties(bool input, VstInt32 index, VstPinProperties* pin)
{
    const int count = input ? InputCount() : OutputCount();
    if (!pin || index < 0 || index >= count)
        return 0;
    pin->flags = kVstPinIsActive;
    if (index % 2 == 0 && index < count - 1)
        pin->flags |= kVstPinIsStereo; // this channel opens a stereo pair
    const ChannelSlot* slot = input ? InputSlot(index) : OutputSlot(index);
    if (slot && !slot->label.Empty())
        std::snprintf(pin->label, sizeof pin->label, "%s", slot->label.Get());
    else
        std::snprintf(pin->label, sizeof pin->label, "%s %d", input ? "Input" : "Output", index + 1);
    return 1;
}

VstIntPtr PluginVST::HandleSetSpeakerArrangement(VstIntPtr inputArr, void* outputArr)
{
    if (const auto* in = reinterpret_cast<const VstSpeakerArrangement*>(inputArr))
    {
        const int n = std::clamp(in->numChannels, 0, InputCount());
        ConnectInputs(0, n, true);
        ConnectInputs(n, InputCount() - n, false);
    }
    if (const auto* out = static_cast<const VstSpeakerArrangement*>(outputArr))
    {
        const int n = std::clamp(out->numChannels, 0, OutputCount());
        ConnectOutputs(0, n, true);
        ConnectOutputs(n, OutputCount() - n, false);
    }
    return 1;
}

VstIntPtr PluginVST::HandleGetSpeakerArrangement(VstIntPtr inputArr, void* outputArr)
{
    if (inputArr)
        *reinterpret_cast<VstSpeakerArrangement**>(inputArr) = &inputArrangement;
    if (outputArr)
        *static_cast<VstSpeakerArrangement**>(outputArr) = &outputArrangement;
    return 1;
}

VstIntPtr PluginVST::HandleVendorSpecific(VstInt32 index, VstIntPtr value, void* data, float opt)
{
    if (index == 7 && data)
    {
        // REAPER asks for the display text of a normalized value it is about to show.
        if (value >= 0 && value < ParamCount())
        {
            const double normalized = std::isnan(opt) ? 0.0 : std::clamp(static_cast<double>(opt), 0.0, 1.0);
            ParamAt(static_cast<int>(value))
                ->FormatValue(normalized, true, static_cast<char*>(data), true,
                              static_cast<int>(kParamTextArea));
        }
        return kVendorAnswer;
    }
    if (index == 8)
    {
        // REAPER asks whether a parameter is discrete.
        const PluginParam* param =
            value >= 0 && value < ParamCount() ? ParamAt(static_cast<int>(value)) : nullptr;
        return param && param->Type() != PluginParam::kTypeDouble ? kVendorAnswer : 0;
    }
    return 0;
}

VstIntPtr PluginVST::HandleCanDo(const char* text)
{
    if (!text)
        return 0;
    if (std::strcmp(text, "receiveVstTimeInfo") == 0)
        return 1;
    if (DoesMidi())
        for (const char* midi :
             {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
            if (std::strcmp(text, midi) == 0)
                return 1;
    if (std::strcmp(text, kReaperExtensionQuery) == 0)
    {
        hostExtFlags |= 1;
        return kReaperExtensionAnswer;
    }
    if (std::strcmp(text, kReaperViewAsConfigQuery) == 0)
    {
        hostExtFlags |= 2;
        return kReaperExtensionAnswer;
    }
    return 0;
}

VstIntPtr PluginVST::HandleGetMidiKeyName(MidiKeyName* key)
{
    if (!key)
        return 0;
    std::memset(key->keyName, 0, sizeof key->keyName);
    return GetMidiNoteLabel(key->thisKeyNumber, key->keyName) ? 1 : 0;
}

// ---- Processing ----

int PluginVST::ConnectedInputs() const
{
    int n = 0;
    for (int i = 0; i < InputCount(); ++i)
        n += IsInputConnected(i) ? 1 : 0;
    return n;
}

int PluginVST::ConnectedOutputs() const
{
    int n = 0;
    for (int i = 0; i < OutputCount(); ++i)
        n += IsOutputConnected(i) ? 1 : 0;
    return n;
}

template <class Sample, class RunSlice>
void PluginVST::ProcessInSlices(Sample** inputs, Sample** outputs, int frames, GrowBuffer<Sample*>& sliceIn,
                                GrowBuffer<Sample*>& sliceOut, RunSlice runSlice)
{
    if (DoesMidi())
        CallHost(audioMasterWantMidi);
    const int block = BlockSize();
    if (frames <= 0 || block <= 0)
        return;
    if (frames <= block)
    {
        runSlice(inputs, outputs, frames);
        return;
    }
    // A host block longer than the announced size runs in slices of that size, through
    // buffer lists offset into the host's buffers.
    const int nIn = ConnectedInputs();
    const int nOut = ConnectedOutputs();
    for (int done = 0; done < frames; done += block)
    {
        for (int k = 0; k < nIn; ++k)
            sliceIn.Get()[k] = inputs && inputs[k] ? inputs[k] + done : nullptr;
        for (int k = 0; k < nOut; ++k)
            sliceOut.Get()[k] = outputs && outputs[k] ? outputs[k] + done : nullptr;
        runSlice(inputs ? sliceIn.Get() : nullptr, outputs ? sliceOut.Get() : nullptr,
                 std::min(block, frames - done));
    }
}

void PluginVST::ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate)
{
    ProcessInSlices(inputs, outputs, frames, sliceFloatIn, sliceFloatOut,
                    [this, accumulate](float** in, float** out, int n)
                    {
                        BindInputsFloat(0, InputCount(), in, n);
                        BindOutputsFloat(0, OutputCount(), out);
                        if (accumulate)
                            RunFloatAccumulate(n);
                        else
                            RunFloat(n);
                    });
}

void PluginVST::ProcessDouble(double** inputs, double** outputs, int frames)
{
    ProcessInSlices(inputs, outputs, frames, sliceDoubleIn, sliceDoubleOut,
                    [this](double** in, double** out, int n)
                    {
                        BindInputs(0, InputCount(), in);
                        BindOutputs(0, OutputCount(), out);
                        RunDouble(n);
                    });
}

// ---- Static callbacks ----

VstIntPtr VSTCALLBACK PluginVST::DispatcherProc(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* data, float opt)
{
    PluginVST* plug = FromEffect(effect);
    if (!plug)
        return 0;
    if (opcode == effClose)
    {
        // Wait for any call in progress, then destroy without holding the lock.
        plug->Mutex().Lock();
        plug->Mutex().Unlock();
        delete plug;
        return 0;
    }
    return plug->Dispatch(opcode, index, value, data, opt);
}

void VSTCALLBACK PluginVST::ProcessProc(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    if (PluginVST* plug = FromEffect(effect))
    {
        PlugLockGuard lock(plug->Mutex());
        plug->ProcessFloat(inputs, outputs, frames, true);
    }
}

void VSTCALLBACK PluginVST::ProcessReplacingProc(AEffect* effect, float** inputs, float** outputs,
                                                 VstInt32 frames)
{
    if (PluginVST* plug = FromEffect(effect))
    {
        PlugLockGuard lock(plug->Mutex());
        plug->ProcessFloat(inputs, outputs, frames, false);
    }
}

void VSTCALLBACK PluginVST::ProcessDoubleReplacingProc(AEffect* effect, double** inputs, double** outputs,
                                                       VstInt32 frames)
{
    if (PluginVST* plug = FromEffect(effect))
    {
        PlugLockGuard lock(plug->Mutex());
        plug->ProcessDouble(inputs, outputs, frames);
    }
}

void VSTCALLBACK PluginVST::SetParameterProc(AEffect* effect, VstInt32 index, float value)
{
    PluginVST* plug = FromEffect(effect);
    if (!plug || std::isnan(value))
        return;
    const double normalized = std::clamp(static_cast<double>(value), 0.0, 1.0);
    PlugLockGuard lock(plug->Mutex());
    PluginParam* param = plug->ParamAt(index);
    if (!param)
        return;
    if (plug->Editor())
        plug->Editor()->SetControlsFromParam(index, normalized, true);
    param->SetFromNormalized(normalized);
    plug->ParamChanged(index);
}

float VSTCALLBACK PluginVST::GetParameterProc(AEffect* effect, VstInt32 index)
{
    PluginVST* plug = FromEffect(effect);
    if (!plug)
        return 0.0f;
    PlugLockGuard lock(plug->Mutex());
    const PluginParam* param = plug->ParamAt(index);
    return param ? static_cast<float>(param->AsNormalized()) : 0.0f;
}

// ---- Entry ----

AEffect* VstPluginEntry(audioMasterCallback hostCallback, PluginVSTFactory create)
{
    PlugLockGuard lock(ProcessLock::Get());
    PluginVST* plug = nullptr;
    try
    {
        plug = create ? create(hostCallback) : nullptr;
    }
    catch (const std::bad_alloc&)
    {
        plug = nullptr;
    }
    if (!plug)
        return nullptr;
    plug->FillEmptyPresets("Empty", plug->PresetCount());
    AEffect* effect = plug->Effect();
    effect->numPrograms = std::max(effect->numPrograms, 1);
    return effect;
}
