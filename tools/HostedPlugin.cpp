#include "tools/HostedPlugin.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

namespace
{
// Which HostedPlugin a callback belongs to. Plug-ins may call from their own threads, so
// the table is shared; it is tiny (one entry per hosted instance).
std::mutex gRegistryMutex;
std::vector<std::pair<const AEffect*, HostedPlugin*>> gRegistry;
// The instance whose entry point is running on this thread: plug-ins call back from
// inside the entry point, before the host has seen their record.
thread_local HostedPlugin* tLoading = nullptr;
thread_local VstTimeInfo tTimeInfo;

HostedPlugin* FindInstance(const AEffect* effect)
{
    if (effect != nullptr)
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        for (const auto& [known, instance] : gRegistry)
            if (known == effect)
                return instance;
    }
    return tLoading;
}

void Register(const AEffect* effect, HostedPlugin* instance)
{
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    gRegistry.emplace_back(effect, instance);
}

void Unregister(const HostedPlugin* instance)
{
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    std::erase_if(gRegistry, [instance](const auto& entry) { return entry.second == instance; });
}

// A NUL-terminated text from the plug-in, read no further than limit bytes.
std::string BoundedText(const char* text, std::size_t limit)
{
    if (text == nullptr)
        return {};
    const void* end = std::memchr(text, 0, limit);
    const std::size_t n =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : limit;
    std::string out(text, n);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}

// Copies a host text into a plug-in's area of at least capacity bytes.
void CopyText(void* area, const char* text, std::size_t capacity)
{
    if (area == nullptr || capacity == 0)
        return;
    const std::size_t n = std::min(std::strlen(text), capacity - 1);
    std::memcpy(area, text, n);
    static_cast<char*>(area)[n] = '\0';
}

// canDo answers: 1 yes, -1 no, 0 for anything this host has never heard of.
VstIntPtr HostCanDo(const char* what)
{
    static const char* const kYes[] = {"sendVstTimeInfo", "startStopProcess"};
    static const char* const kNo[] = {
        "sendVstEvents",    "sendVstMidiEvent",
        "receiveVstEvents", "receiveVstMidiEvent",
        "acceptIOChanges",  "reportConnectionChanges",
        "sizeWindow",       "offline",
        "openFileSelector", "closeFileSelector",
        "supplyIdle",       "shellCategory",
        "editFile",         "sendVstMidiEventFlagIsRealtime",
    };
    if (what == nullptr)
        return 0;
    const std::string text = BoundedText(what, 256);
    for (const char* yes : kYes)
        if (text == yes)
            return 1;
    for (const char* no : kNo)
        if (text == no)
            return -1;
    return 0;
}

// What this host answers whoever asks, instance or not.
bool AnswerFixedFact(VstInt32 opcode, void* ptr, VstIntPtr& answer)
{
    switch (opcode)
    {
    case audioMasterVersion:
        answer = kVstVersion;
        return true;
    case audioMasterGetVendorString:
        // The published room is kVstMaxVendorStrLen; hosts customarily fill at most that.
        CopyText(ptr, kHostVendorString, kVstMaxVendorStrLen);
        answer = ptr != nullptr ? 1 : 0;
        return true;
    case audioMasterGetProductString:
        CopyText(ptr, kHostProductString, kVstMaxProductStrLen);
        answer = ptr != nullptr ? 1 : 0;
        return true;
    case audioMasterGetVendorVersion:
        answer = kHostVendorVersion;
        return true;
    case audioMasterCanDo:
        answer = HostCanDo(static_cast<const char*>(ptr));
        return true;
    case audioMasterGetLanguage:
        answer = 1; // English
        return true;
    default:
        return false;
    }
}

void SetArrangement(VstSpeakerArrangement& arrangement, int channels)
{
    arrangement = VstSpeakerArrangement{};
    arrangement.numChannels = channels;
    arrangement.type = channels == 0   ? kSpeakerArrEmpty
                       : channels == 1 ? kSpeakerArrMono
                       : channels == 2 ? kSpeakerArrStereo
                                       : kSpeakerArrUserDefined;
    for (int i = 0; i < std::min(channels, 8); ++i)
        std::snprintf(arrangement.speakers[i].name, sizeof arrangement.speakers[i].name, "%d", i + 1);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}
} // namespace

std::unique_ptr<HostedPlugin> HostedPlugin::Load(const std::string& path, std::string& error)
{
    std::unique_ptr<PluginLibrary> library = PluginLibrary::Open(path, error);
    if (!library)
        return nullptr;

    std::unique_ptr<HostedPlugin> plugin(new HostedPlugin);
    tLoading = plugin.get();
    AEffect* effect = library->Entry()(&HostedPlugin::HostCallback);
    tLoading = nullptr;

    const std::string entry = library->EntryName();
    if (effect == nullptr)
    {
        error = "plug-in refused to open: " + entry + " in " + path + " answered no effect";
        return nullptr;
    }
    if (effect->magic != kEffectMagic)
    {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(effect->magic));
        error = "plug-in refused to open: the record from " + entry + " in " + path + " has magic " + hex +
                ", not 'VstP'";
        return nullptr;
    }
    if (effect->dispatcher == nullptr)
    {
        error = "plug-in refused to open: its record has no dispatcher";
        return nullptr;
    }
    plugin->library_ = std::move(library);
    plugin->effect_ = effect;
    Register(effect, plugin.get());
    if (effect->processReplacing == nullptr && effect->process == nullptr)
    {
        error = "plug-in refused to open: its record has no process callback";
        return nullptr;
    }
    if (effect->numParams < 0 || effect->numParams > kMaxParams || effect->numPrograms < 0 ||
        effect->numPrograms > kMaxPrograms)
    {
        error = "plug-in refused to open: it declares " + std::to_string(effect->numParams) +
                " parameters and " + std::to_string(effect->numPrograms) + " programs";
        return nullptr;
    }
    if (effect->numParams > 0 && (effect->setParameter == nullptr || effect->getParameter == nullptr))
    {
        error = "plug-in refused to open: it declares parameters but no parameter callbacks";
        return nullptr;
    }
    plugin->params_ = effect->numParams;
    plugin->programs_ = effect->numPrograms;
    if (!plugin->CheckCounts(error))
        return nullptr;
    return plugin;
}

HostedPlugin::~HostedPlugin()
{
    if (effect_ != nullptr)
    {
        if (resumed_)
            Suspend();
        // effClose destroys the plug-in's object; the record is not touched afterwards.
        Dispatch(effClose);
        effect_ = nullptr;
    }
    Unregister(this);
    library_.reset();
}

bool HostedPlugin::CheckCounts(std::string& error)
{
    const int in = effect_->numInputs;
    const int out = effect_->numOutputs;
    if (in < 0 || in > kMaxChannels || out < 0 || out > kMaxChannels)
    {
        error = "plug-in declares " + std::to_string(in) + " inputs and " + std::to_string(out) +
                " outputs; this host takes 0 to " + std::to_string(kMaxChannels);
        return false;
    }
    inputs_ = in;
    outputs_ = out;
    return true;
}

bool HostedPlugin::Open(std::string& error)
{
    Dispatch(effOpen);
    return CheckCounts(error);
}

bool HostedPlugin::Prepare(double sampleRate, int blockSize, bool doublePrecision, std::string& error)
{
    if (resumed_)
    {
        error = "cannot change the sample rate or block size while processing";
        return false;
    }
    if (!std::isfinite(sampleRate) || sampleRate < 1.0 || sampleRate > 1e6)
    {
        error = "sample rate out of range (1 to 1000000 Hz)";
        return false;
    }
    if (blockSize < 1 || blockSize > kMaxBlockSize)
    {
        error = "block size out of range (1 to " + std::to_string(kMaxBlockSize) + " frames)";
        return false;
    }
    if (doublePrecision && !CanDouble())
    {
        error = "plug-in does not offer 64-bit processing (no effFlagsCanDoubleReplacing)";
        return false;
    }
    sampleRate_ = sampleRate;
    blockSize_ = blockSize;
    doublePrecision_ = doublePrecision;
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    Dispatch(effSetBlockSize, 0, blockSize);
    if (!CheckCounts(error))
        return false;
    SetArrangement(inputArrangement_, inputs_);
    SetArrangement(outputArrangement_, outputs_);
    Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inputArrangement_),
             &outputArrangement_);
    // A plug-in may answer the arrangement by changing its counts; take what it says now.
    if (!CheckCounts(error))
        return false;
    Dispatch(effSetProcessPrecision, 0, doublePrecision ? kVstProcessPrecision64 : kVstProcessPrecision32);
    return true;
}

void HostedPlugin::Resume()
{
    if (resumed_)
        return;
    Dispatch(effMainsChanged, 0, 1);
    Dispatch(effStartProcess);
    resumed_ = true;
}

void HostedPlugin::Suspend()
{
    if (!resumed_)
        return;
    Dispatch(effStopProcess);
    Dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

bool HostedPlugin::CanDouble() const
{
    return (effect_->flags & effFlagsCanDoubleReplacing) != 0 && effect_->processDoubleReplacing != nullptr;
}

bool HostedPlugin::HasChunks() const
{
    return (effect_->flags & effFlagsProgramChunks) != 0;
}

bool HostedPlugin::BeginProcess(int frames)
{
    // The buffer arrays hold exactly the counts checked at Prepare; a plug-in that has
    // grown them since would read past them.
    return resumed_ && frames >= 1 && frames <= blockSize_ && effect_->numInputs == inputs_ &&
           effect_->numOutputs == outputs_;
}

bool HostedPlugin::Process(float** inputs, float** outputs, int frames)
{
    if (!BeginProcess(frames))
        return false;
    level_ = mode_ == ProcessMode::Offline ? kVstProcessLevelOffline : kVstProcessLevelRealtime;
    if ((effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr)
    {
        effect_->processReplacing(effect_, inputs, outputs, frames);
    }
    else
    {
        // Only the accumulating callback: it adds to what the outputs hold.
        for (int c = 0; c < outputs_; ++c)
            std::fill(outputs[c], outputs[c] + frames, 0.0f);
        effect_->process(effect_, inputs, outputs, frames);
    }
    level_ = kVstProcessLevelUser;
    samplePos_ = samplePos_ + frames;
    return true;
}

bool HostedPlugin::ProcessDouble(double** inputs, double** outputs, int frames)
{
    if (!CanDouble() || !BeginProcess(frames))
        return false;
    level_ = mode_ == ProcessMode::Offline ? kVstProcessLevelOffline : kVstProcessLevelRealtime;
    effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
    level_ = kVstProcessLevelUser;
    samplePos_ = samplePos_ + frames;
    return true;
}

VstIntPtr HostedPlugin::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string HostedPlugin::QueryText(VstInt32 opcode, VstInt32 index)
{
    char area[kTextRoom] = {};
    Dispatch(opcode, index, 0, area);
    return BoundedText(area, kTextLimit);
}

std::string HostedPlugin::EffectName()
{
    return QueryText(effGetEffectName, 0);
}

std::string HostedPlugin::VendorString()
{
    return QueryText(effGetVendorString, 0);
}

std::string HostedPlugin::ProductString()
{
    return QueryText(effGetProductString, 0);
}

std::string HostedPlugin::ParamName(int index)
{
    return index >= 0 && index < params_ ? QueryText(effGetParamName, index) : std::string();
}

std::string HostedPlugin::ParamLabel(int index)
{
    return index >= 0 && index < params_ ? QueryText(effGetParamLabel, index) : std::string();
}

std::string HostedPlugin::ParamDisplay(int index)
{
    return index >= 0 && index < params_ ? QueryText(effGetParamDisplay, index) : std::string();
}

std::string HostedPlugin::ProgramName(int index)
{
    if (index < 0 || index >= programs_)
        return {};
    char area[kTextRoom] = {};
    if (Dispatch(effGetProgramNameIndexed, index, -1, area) == 0)
        return {};
    return BoundedText(area, kTextLimit);
}

VstIntPtr HostedPlugin::VendorVersion()
{
    return Dispatch(effGetVendorVersion);
}

VstIntPtr HostedPlugin::Category()
{
    return Dispatch(effGetPlugCategory);
}

VstIntPtr HostedPlugin::VstVersion()
{
    return Dispatch(effGetVstVersion);
}

VstIntPtr HostedPlugin::TailSize()
{
    return Dispatch(effGetTailSize);
}

VstIntPtr HostedPlugin::CanDo(const char* what)
{
    // The plug-in receives a writable copy: the interface passes a plain char pointer.
    std::vector<char> text(what, what + std::strlen(what) + 1);
    return Dispatch(effCanDo, 0, 0, text.data());
}

bool HostedPlugin::PinProperties(bool input, int index, VstPinProperties& properties)
{
    properties = VstPinProperties{};
    const bool answered =
        Dispatch(input ? effGetInputProperties : effGetOutputProperties, index, 0, &properties) != 0;
    // Terminate the texts whatever the plug-in wrote.
    properties.label[sizeof properties.label - 1] = '\0';
    properties.shortLabel[sizeof properties.shortLabel - 1] = '\0';
    return answered;
}

bool HostedPlugin::SetParameter(int index, float normalized)
{
    if (index < 0 || index >= params_ || !(normalized >= 0.0f && normalized <= 1.0f))
        return false;
    effect_->setParameter(effect_, index, normalized);
    return true;
}

float HostedPlugin::GetParameter(int index)
{
    if (index < 0 || index >= params_)
        return 0.0f;
    return effect_->getParameter(effect_, index);
}

bool HostedPlugin::SetParameterText(int index, const std::string& text)
{
    if (index < 0 || index >= params_)
        return false;
    std::vector<char> area(text.begin(), text.end());
    area.push_back('\0');
    return Dispatch(effString2Parameter, index, 0, area.data()) != 0;
}

int HostedPlugin::FindParameter(const std::string& indexOrName)
{
    const std::string wanted = Trim(indexOrName);
    if (wanted.empty())
        return -1;
    if (std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; }))
    {
        if (wanted.size() > 6)
            return -1;
        const int index = std::stoi(wanted);
        return index < params_ ? index : -1;
    }
    const std::string lower = Lower(wanted);
    for (int i = 0; i < params_; ++i)
        if (Lower(Trim(ParamName(i))) == lower)
            return i;
    return -1;
}

VstIntPtr HostedPlugin::CurrentProgram()
{
    return Dispatch(effGetProgram);
}

bool HostedPlugin::SetProgram(int index)
{
    if (index < 0 || index >= programs_)
        return false;
    Dispatch(effBeginSetProgram);
    Dispatch(effSetProgram, 0, index);
    Dispatch(effEndSetProgram);
    return true;
}

bool HostedPlugin::GetChunk(bool bank, std::vector<std::uint8_t>& chunk, std::string& error)
{
    chunk.clear();
    void* data = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
    if (size <= 0 || data == nullptr)
    {
        error = "plug-in handed out no state (effGetChunk answered " + std::to_string(size) +
                (data == nullptr ? " and no data" : "") +
                (HasChunks() ? ")" : "; it does not flag effFlagsProgramChunks)");
        return false;
    }
    if (static_cast<std::size_t>(size) > kMaxChunkBytes)
    {
        error = "plug-in's state chunk claims " + std::to_string(size) + " bytes; this host takes at most " +
                std::to_string(kMaxChunkBytes);
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    chunk.assign(bytes, bytes + size);
    return true;
}

bool HostedPlugin::SetChunk(bool bank, const std::vector<std::uint8_t>& chunk, bool& accepted,
                            std::string& error)
{
    accepted = false;
    if (chunk.empty() || chunk.size() > kMaxChunkBytes)
    {
        error = "state chunk of " + std::to_string(chunk.size()) + " bytes is not loadable";
        return false;
    }
    std::vector<std::uint8_t> copy(chunk);
    accepted = Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(copy.size()), copy.data()) != 0;
    return true;
}

const VstTimeInfo* HostedPlugin::Transport()
{
    const double position = samplePos_;
    const bool playing = resumed_;
    VstTimeInfo& t = tTimeInfo;
    t = VstTimeInfo{};
    t.samplePos = position;
    t.sampleRate = sampleRate_;
    t.tempo = kHostTempo;
    t.ppqPos = position / sampleRate_ * (kHostTempo / 60.0);
    t.barStartPos = std::floor(t.ppqPos / 4.0) * 4.0;
    t.timeSigNumerator = 4;
    t.timeSigDenominator = 4;
    t.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (playing)
        t.flags |= kVstTransportPlaying;
    if (reportedPlaying_.exchange(playing) != playing)
        t.flags |= kVstTransportChanged;
    return &t;
}

VstIntPtr VSTCALLBACK HostedPlugin::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                 VstIntPtr value, void* ptr, float opt)
{
    HostedPlugin* instance = FindInstance(effect);
    const HostCall call{opcode, index, value, ptr, opt};
    if (instance != nullptr && instance->interceptor_)
        return instance->interceptor_(*instance, call);
    VstIntPtr answer = 0;
    if (AnswerFixedFact(opcode, ptr, answer))
        return answer;
    if (instance == nullptr)
        return 0;
    return instance->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr HostedPlugin::DefaultAnswer(const HostCall& call)
{
    VstIntPtr answer = 0;
    if (AnswerFixedFact(call.opcode, call.ptr, answer))
        return answer;
    return Answer(call.opcode, call.index, call.value, call.ptr, call.opt);
}

VstIntPtr HostedPlugin::Answer(VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterCurrentId:
        return effect_ != nullptr ? effect_->uniqueID : 0;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(Transport());
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_);
    case audioMasterGetBlockSize:
        return blockSize_;
    case audioMasterGetCurrentProcessLevel:
        return level_;
    case audioMasterGetAutomationState:
        return 1; // automation off: this host neither reads nor writes automation
    default:
        // Automate, begin/end edit, idle, display updates: nothing to do for a host without
        // a user interface. MIDI and I/O changes are not taken (canDo says so).
        return 0;
    }
}
