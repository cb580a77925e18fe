#include "core/PluginBase.h"

#include <bit>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace
{
// Reads a leading signed decimal number (leading white space allowed) as "%d" does, but
// saturating at the int range instead of overflowing. Answers false when text does not
// start with a number; *end is where reading stopped.
bool ReadInt(const char* text, int* value, const char** end)
{
    char* stop = nullptr;
    const long n = std::strtol(text, &stop, 10);
    *end = stop;
    if (stop == text)
        return false;
    *value = n < INT_MIN ? INT_MIN : (n > INT_MAX ? INT_MAX : static_cast<int>(n));
    return true;
}

// One "%d-%d" token: a token with no "-" after its first number leaves nOut at 0, a
// token that does not start with a number leaves both at 0.
ChannelConfig ParseChannelToken(const char* token)
{
    ChannelConfig config;
    const char* p = nullptr;
    int n = 0;
    if (!ReadInt(token, &n, &p))
        return config;
    config.nIn = n;
    if (*p == '-' && ReadInt(p + 1, &n, &p))
        config.nOut = n;
    return config;
}

// The [first, last) range of slot indices that [start, start + count) covers in a list of
// size slots, without overflow.
void SlotRange(int start, int count, int size, int* first, int* last)
{
    const long long lo = start < 0 ? 0 : start;
    long long hi = static_cast<long long>(start) + count;
    if (hi > size)
        hi = size;
    *first = static_cast<int>(lo);
    *last = hi > lo ? static_cast<int>(hi) : static_cast<int>(lo);
}

void ZeroSamples(GrowBuffer<double>& buffer, int frames)
{
    if (frames > 0 && buffer.Get())
        std::memset(buffer.Get(), 0, static_cast<std::size_t>(frames) * sizeof(double));
}

// The host kinds, tested in this order on the lower-cased product name; the first text
// contained decides.
struct HostName
{
    const char* text;
    int kind;
};
constexpr HostName kHostNames[] = {
    {"cubase", PluginBase::kHostCubase},
    {"reaper", PluginBase::kHostReaper},
    {"nuendo", PluginBase::kHostNuendo},
    {"cakewalk", PluginBase::kHostSonar},
    {"samplitude", PluginBase::kHostSamplitude},
    {"fruity", PluginBase::kHostFLStudio},
    {"live", PluginBase::kHostLive},
    {"melodyne", PluginBase::kHostMelodyne},
    {"vstmanlib", PluginBase::kHostVSTScanner},
    {"aulab", PluginBase::kHostAULab},
    {"garageband", PluginBase::kHostGarageBand},
    {"forte", PluginBase::kHostForte},
    {"chainer", PluginBase::kHostChainer},
    {"audition", PluginBase::kHostAudition},
    {"orion", PluginBase::kHostOrion},
    {"sawstudio", PluginBase::kHostSAWStudio},
    {"logic", PluginBase::kHostLogic},
    {"digital", PluginBase::kHostDigitalPerformer},
    {"audiomulch", PluginBase::kHostAudioMulch},
    {"presonus", PluginBase::kHostStudioOne},
    {"vst3plugintesthost", PluginBase::kHostVST3PluginTestHost},
    {"protools", PluginBase::kHostProTools},
    {"ardour", PluginBase::kHostArdour},
    {"standalone", PluginBase::kHostStandalone},
};

constexpr const char* kFormatNames[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone"};
} // namespace

// ---- LatencyDelay ----

LatencyDelay::LatencyDelay(int nIn, int nOut, int length)
    : buffer_(4096), nIn_(nIn > 0 ? static_cast<unsigned>(nIn) : 0u),
      nOut_(nOut > 0 ? static_cast<unsigned>(nOut) : 0u)
{
    SetLength(length);
}

void LatencyDelay::SetLength(int length)
{
    if (length < 0)
        length = 0;
    const long long samples = static_cast<long long>(length) * nIn_;
    buffer_.Free();
    // A delay line that cannot be had (or addressed) becomes a zero-length one, which
    // copies through rather than reading memory it does not own.
    if (samples > INT_MAX || !buffer_.Resize(static_cast<int>(samples)))
    {
        buffer_.Free();
        length = 0;
    }
    length_ = static_cast<unsigned>(length);
    writePos_ = 0;
    ZeroSamples(buffer_, buffer_.Count());
}

void LatencyDelay::Process(double* const* inputs, double* const* outputs, int frames)
{
    if (!inputs || !outputs || frames <= 0)
        return;
    const unsigned channels = nIn_ < nOut_ ? nIn_ : nOut_;
    if (length_ == 0)
    {
        for (unsigned c = 0; c < channels; ++c)
            if (inputs[c] && outputs[c] && inputs[c] != outputs[c])
                std::memmove(outputs[c], inputs[c], static_cast<std::size_t>(frames) * sizeof(double));
        return;
    }
    double* line = buffer_.Get();
    for (int s = 0; s < frames; ++s)
    {
        for (unsigned c = 0; c < channels; ++c)
        {
            if (!inputs[c] || !outputs[c])
                continue;
            double& cell = line[c * length_ + writePos_];
            // Read the input before writing the output: they may be the same buffer.
            const double in = inputs[c][s];
            outputs[c][s] = cell;
            cell = in;
        }
        writePos_ = writePos_ + 1 == length_ ? 0 : writePos_ + 1;
    }
}

// ---- PluginBase ----

PluginBase::PluginBase(int paramCount, const char* channels, int presetCount, const char* effectName,
                       const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
                       int32_t makerId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
                       int32_t formatKind)
    : uniqueId_(uniqueId), makerId_(makerId), version_(version), formatKind_(formatKind),
      doesChunks_(doesChunks), isInstrument_(isInstrument), doesMidi_(doesMidi), latency_(latency),
      inputBuffers_(0), outputBuffers_(0)
{
    for (int i = 0; i < paramCount; ++i)
        params_.Add(new PluginParam);
    for (int i = 0; i < presetCount; ++i)
        presets_.Add(new PresetSlot);

    CopyText(effectName_, kNameSize, effectName);
    CopyText(productName_, kNameSize, productName);
    CopyText(makerName_, kNameSize, makerName);

    int maxIn = 0;
    int maxOut = 0;
    for (const char* token = channels; token;)
    {
        const ChannelConfig parsed = ParseChannelToken(token);
        if (parsed.nIn > maxIn)
            maxIn = parsed.nIn;
        if (parsed.nOut > maxOut)
            maxOut = parsed.nOut;
        channelConfigs_.Add(new ChannelConfig(parsed));
        token = std::strchr(token, ' ');
        if (token)
            ++token;
    }

    // The slots keep pointers into these arrays, which are never resized afterwards. If
    // an array cannot be had, its side gets no slots at all.
    if (!inputBuffers_.Resize(maxIn))
        maxIn = 0;
    if (!outputBuffers_.Resize(maxOut))
        maxOut = 0;
    for (int i = 0; i < maxIn; ++i)
    {
        inputBuffers_.Get()[i] = nullptr;
        ChannelSlot* slot = new ChannelSlot;
        slot->bufferEntry = &inputBuffers_.Get()[i];
        inputs_.Add(slot);
    }
    for (int i = 0; i < maxOut; ++i)
    {
        outputBuffers_.Get()[i] = nullptr;
        ChannelSlot* slot = new ChannelSlot;
        slot->bufferEntry = &outputBuffers_.Get()[i];
        outputs_.Add(slot);
    }
}

PluginBase::~PluginBase()
{
    DeleteEditor();
    params_.DeleteAll();
    presets_.DeleteAll();
    inputs_.DeleteAll();
    outputs_.DeleteAll();
    channelConfigs_.DeleteAll();
    delete latencyDelay_;
    latencyDelay_ = nullptr;
}

void PluginBase::ResetProcessing()
{
    PlugLockGuard lock(mutex_);
}

void PluginBase::ParamChanged(int)
{
    PlugLockGuard lock(mutex_);
}

namespace
{

// The base copy-through: output o takes input o where both exist, the remaining outputs
// are zeroed. Buffers may be the same (in place) and may be absent.
template <class Sample> void CopyThrough(Sample** inputs, Sample** outputs, int frames, int nIn, int nOut)
{
    if (!outputs || frames <= 0)
        return;
    const std::size_t bytes = static_cast<std::size_t>(frames) * sizeof(Sample);
    const int copied = inputs ? (nIn < nOut ? nIn : nOut) : 0;
    for (int o = 0; o < copied; ++o)
        if (inputs[o] && outputs[o] && inputs[o] != outputs[o])
            std::memmove(outputs[o], inputs[o], bytes);
    for (int o = copied; o < nOut; ++o)
        if (outputs[o])
            std::memset(outputs[o], 0, bytes);
}

} // namespace

void PluginBase::RenderDouble(double** inputs, double** outputs, int frames)
{
    CopyThrough(inputs, outputs, frames, InputCount(), OutputCount());
}

void PluginBase::RenderFloat(float** inputs, float** outputs, int frames)
{
    CopyThrough(inputs, outputs, frames, InputCount(), OutputCount());
}

void PluginBase::EditorOpened()
{
}
void PluginBase::EditorClosed()
{
}
void PluginBase::SpareNotify()
{
}

void PluginBase::ActiveChanged(bool)
{
    PlugLockGuard lock(mutex_);
}

void PluginBase::HandleMidiEvent(const MidiEvent* event)
{
    if (event)
        SendMidiToHost(event);
}

void PluginBase::HandleSysex(const SysexBlock*)
{
}

bool PluginBase::GetMidiNoteLabel(int, char* label)
{
    if (label)
        label[0] = '\0';
    return false;
}

bool PluginBase::WriteState(StateChunk* chunk)
{
    return SerializeParams(chunk);
}

int PluginBase::ReadState(const StateChunk* chunk, int pos)
{
    return UnserializeParams(chunk, pos);
}

void PluginBase::EditorResized()
{
}

bool PluginBase::SpareQuery()
{
    return false;
}

void PluginBase::HostIdentified()
{
}
void PluginBase::ShowHostParamMenu(int, int, int)
{
}

void PluginBase::SetParameterFromGUI(int paramIndex, double normalized)
{
    PlugLockGuard lock(mutex_);
    PluginParam* param = ParamAt(paramIndex);
    if (!param)
        return;
    param->SetFromNormalized(normalized);
    HostSetParamValue(paramIndex, normalized);
    ParamChanged(paramIndex);
}

bool PluginBase::HostIsOffline()
{
    return false;
}

int PluginBase::HostKind()
{
    return hostKind_;
}

int PluginBase::PluginFormat()
{
    return formatKind_;
}

void PluginBase::InitForHost()
{
}

void PluginBase::SetLatencySamples(int frames)
{
    latency_ = frames;
    if (latencyDelay_)
        latencyDelay_->SetLength(frames);
}

bool PluginBase::SendSysexToHost(const SysexBlock*)
{
    return false;
}

void PluginBase::MarkStateChanged()
{
}
void PluginBase::HostChangedPresets()
{
}

void PluginBase::SetMaxBlockSize(int frames)
{
    if (frames < 0 || frames == blockSize_)
        return;
    // Every scratch is freed first so that shrinking releases memory, then sized and
    // zeroed. Should one not be had, blockSize becomes the smallest size every scratch
    // has, so that no block is ever allowed to pass the end of one.
    int smallest = frames;
    for (PtrList<ChannelSlot>* side :
         {static_cast<PtrList<ChannelSlot>*>(&inputs_), static_cast<PtrList<ChannelSlot>*>(&outputs_)})
        for (int i = 0; i < side->Count(); ++i)
        {
            ChannelSlot* slot = side->Get(i);
            slot->scratch.Free();
            slot->scratch.Resize(frames);
            if (slot->scratch.Count() < smallest)
                smallest = slot->scratch.Count();
            ZeroSamples(slot->scratch, slot->scratch.Count());
            // The scratch moved: a slot bound to it must follow.
            if (!slot->connected)
                *slot->bufferEntry = slot->scratch.Get();
        }
    blockSize_ = smallest;
}

// ---- Channels ----

bool PluginBase::IsInputConnected(int index) const
{
    const ChannelSlot* slot = InputSlot(index);
    return slot && slot->connected;
}

bool PluginBase::IsOutputConnected(int index) const
{
    const ChannelSlot* slot = OutputSlot(index);
    return slot && slot->connected;
}

bool PluginBase::LegalIO(int nIn, int nOut) const
{
    for (int i = 0; i < channelConfigs_.Count(); ++i)
    {
        const ChannelConfig* config = channelConfigs_.Get(i);
        if ((nIn < 0 || config->nIn == nIn) && (nOut < 0 || config->nOut == nOut))
            return true;
    }
    return false;
}

void PluginBase::ConnectSlots(PtrList<ChannelSlot>& slots, int start, int count, bool connected)
{
    int first = 0;
    int last = 0;
    SlotRange(start, count, slots.Count(), &first, &last);
    for (int i = first; i < last; ++i)
    {
        ChannelSlot* slot = slots.Get(i);
        slot->connected = connected;
        if (!connected)
            *slot->bufferEntry = slot->scratch.Get();
    }
}

void PluginBase::ConnectInputs(int start, int count, bool connected)
{
    ConnectSlots(inputs_, start, count, connected);
}

void PluginBase::ConnectOutputs(int start, int count, bool connected)
{
    ConnectSlots(outputs_, start, count, connected);
}

void PluginBase::RestrictToStereo()
{
    if (InputCount() > 2)
        ConnectInputs(2, InputCount() - 2, false);
    if (OutputCount() > 2)
        ConnectOutputs(2, OutputCount() - 2, true);
}

// ---- Processing frame ----

int PluginBase::ScratchFrames(int frames) const
{
    return frames < 0 ? 0 : (frames > blockSize_ ? blockSize_ : frames);
}

void PluginBase::BindInputs(int start, int count, double** buffers)
{
    int first = 0;
    int last = 0;
    SlotRange(start, count, InputCount(), &first, &last);
    int next = 0;
    for (int i = first; i < last; ++i)
    {
        ChannelSlot* slot = inputs_.Get(i);
        if (!slot->connected)
            continue;
        double* host = buffers ? buffers[next++] : nullptr;
        if (!host)
        {
            ZeroSamples(slot->scratch, blockSize_);
            host = slot->scratch.Get();
        }
        *slot->bufferEntry = host;
    }
}

void PluginBase::BindOutputs(int start, int count, double** buffers)
{
    int first = 0;
    int last = 0;
    SlotRange(start, count, OutputCount(), &first, &last);
    int next = 0;
    for (int i = first; i < last; ++i)
    {
        ChannelSlot* slot = outputs_.Get(i);
        if (!slot->connected)
            continue;
        double* host = buffers ? buffers[next++] : nullptr;
        *slot->bufferEntry = host ? host : slot->scratch.Get();
        slot->hostFloatOut = nullptr;
    }
}

void PluginBase::BindInputsFloat(int start, int count, float** buffers, int frames)
{
    frames = ScratchFrames(frames);
    int first = 0;
    int last = 0;
    SlotRange(start, count, InputCount(), &first, &last);
    int next = 0;
    for (int i = first; i < last; ++i)
    {
        ChannelSlot* slot = inputs_.Get(i);
        if (!slot->connected)
            continue;
        const float* host = buffers ? buffers[next++] : nullptr;
        double* scratch = slot->scratch.Get();
        if (host)
        {
            for (int s = 0; s < frames; ++s)
                scratch[s] = host[s];
        }
        else
        {
            ZeroSamples(slot->scratch, frames);
        }
        *slot->bufferEntry = scratch;
    }
}

void PluginBase::BindOutputsFloat(int start, int count, float** buffers)
{
    int first = 0;
    int last = 0;
    SlotRange(start, count, OutputCount(), &first, &last);
    int next = 0;
    for (int i = first; i < last; ++i)
    {
        ChannelSlot* slot = outputs_.Get(i);
        if (!slot->connected)
            continue;
        *slot->bufferEntry = slot->scratch.Get();
        slot->hostFloatOut = buffers ? buffers[next++] : nullptr;
    }
}

void PluginBase::RunDouble(int frames)
{
    RenderDouble(inputBuffers_.Get(), outputBuffers_.Get(), ScratchFrames(frames));
}

namespace
{

// Narrowing keeps the 64-bit value to the nearest 32-bit one, except that results in the
// 32-bit subnormal range (a tail decaying below 1.2e-38, which is still a normal double)
// become +0.0: hosts and the plug-ins after us must not be handed subnormal samples.
inline float FlushSubnormal(float f)
{
    return (std::bit_cast<uint32_t>(f) & 0x7F800000u) == 0 ? 0.0f : f;
}

} // namespace

void PluginBase::ConvertOutputs(int frames, bool accumulate)
{
    for (int i = 0; i < OutputCount(); ++i)
    {
        ChannelSlot* slot = outputs_.Get(i);
        const double* from = *slot->bufferEntry;
        float* to = slot->hostFloatOut;
        if (!slot->connected || !from || !to)
            continue;
        if (accumulate)
            for (int s = 0; s < frames; ++s)
                to[s] = FlushSubnormal(to[s] + static_cast<float>(from[s]));
        else
            for (int s = 0; s < frames; ++s)
                to[s] = FlushSubnormal(static_cast<float>(from[s]));
    }
}

void PluginBase::RunFloat(int frames)
{
    frames = ScratchFrames(frames);
    RunDouble(frames);
    ConvertOutputs(frames, false);
}

void PluginBase::RunFloatAccumulate(int frames)
{
    frames = ScratchFrames(frames);
    RunDouble(frames);
    ConvertOutputs(frames, true);
}

void PluginBase::BypassDouble(int frames)
{
    frames = ScratchFrames(frames);
    if (latency_ != 0 && latencyDelay_)
        latencyDelay_->Process(inputBuffers_.Get(), outputBuffers_.Get(), frames);
    else
        PluginBase::RenderDouble(inputBuffers_.Get(), outputBuffers_.Get(), frames);
}

void PluginBase::BypassFloat(int frames)
{
    frames = ScratchFrames(frames);
    BypassDouble(frames);
    ConvertOutputs(frames, false);
}

void PluginBase::ClearScratch()
{
    for (int i = 0; i < InputCount(); ++i)
        ZeroSamples(inputs_.Get(i)->scratch, blockSize_);
    for (int i = 0; i < OutputCount(); ++i)
        ZeroSamples(outputs_.Get(i)->scratch, blockSize_);
}

void PluginBase::NotifyAllParamsChanged()
{
    for (int i = 0; i < ParamCount(); ++i)
        ParamChanged(i);
}

void PluginBase::CreateLatencyDelay(int nIn, int nOut, int length)
{
    // The bypass hands the delay the slot pointer arrays, which have exactly one entry
    // per slot: a delay with more channels would read past them.
    if (nIn > InputCount())
        nIn = InputCount();
    if (nOut > OutputCount())
        nOut = OutputCount();
    delete latencyDelay_;
    latencyDelay_ = new LatencyDelay(nIn, nOut, length);
}

// ---- Host and versions ----

void PluginBase::SetHost(const char* hostName, int version)
{
    hostKind_ = IdentifyHost(hostName);
    hostVersion_ = version;
}

int PluginBase::IdentifyHost(const char* name)
{
    if (!name)
        return kHostUnknown;
    // A 256-byte work area: longer names are identified from their first 255 characters.
    char lower[256];
    int n = 0;
    for (; n < static_cast<int>(sizeof lower) - 1 && name[n] != '\0'; ++n)
        lower[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[n])));
    lower[n] = '\0';
    for (const HostName& host : kHostNames)
        if (std::strstr(lower, host.text))
            return host.kind;
    return kHostUnknown;
}

int PluginBase::DecimalVersion(int packed)
{
    const int major = packed / 65536;
    const int minor = (packed / 256) % 256;
    const int patch = packed % 256;
    return major * 10000 + minor * 100 + patch;
}

int PluginBase::HostVersion(bool decimal)
{
    HostKind();
    return decimal ? DecimalVersion(hostVersion_) : hostVersion_;
}

int PluginBase::EffectVersion(bool decimal) const
{
    return decimal ? DecimalVersion(version_) : version_;
}

void PluginBase::VersionText(int packed, char* out, int outSize)
{
    if (!out || outSize < 1)
        return;
    std::snprintf(out, static_cast<std::size_t>(outSize), "v%d.%d.%d", packed / 65536, (packed / 256) % 256,
                  packed % 256);
}

const char* PluginBase::FormatName() const
{
    if (formatKind_ < 0 || formatKind_ >= static_cast<int>(sizeof kFormatNames / sizeof kFormatNames[0]))
        return "";
    return kFormatNames[formatKind_];
}

double PluginBase::SamplesPerBeat()
{
    const double tempo = HostTempo();
    return tempo > 0.0 ? sampleRate_ * 60.0 / tempo : 0.0;
}
