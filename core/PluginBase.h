#pragma once
// PluginBase: the format-neutral base of every plug-in object. It owns the parameters,
// the preset slots, the legal channel configurations, one channel slot per possible input
// and output channel with the scratch buffers that carry audio between the host's buffers
// and the effect, the editor, the instance lock and what is known about the host.
//
// The host adapter (VST2, AAX, RTAS) derives from PluginBase and the effect derives from
// the adapter. The adapter reaches the effect through the virtual operations below
// (render, parameter changed, reset, state), and the effect and editor reach the host
// through the adapter's operations (parameter edits, transport, MIDI out).
//
// Locking: one recursive PlugMutex per instance (Mutex()). It is held for a whole audio
// block (bind, run, convert), for every host parameter and state call, for
// SetParameterFromGUI and AttachEditor; nested calls on one thread do not block. The
// operations marked "[lock held]" take no lock of their own: their callers hold it.

#include "core/GrowBuffer.h"
#include "core/PlugMutex.h"
#include "core/PluginParam.h"
#include "core/PtrList.h"
#include "core/StateChunk.h"
#include "core/TextBuffer.h"

#include <cstdint>

class Graphics;

// One legal input/output channel-count pair, a "%d-%d" token of the channel string.
struct ChannelConfig
{
    int32_t nIn = 0;
    int32_t nOut = 0;
};

// One input or output channel. After the bind operations of a block, *bufferEntry is the
// host's 64-bit buffer or this slot's scratch, so the effect receives one valid pointer
// per slot.
struct ChannelSlot
{
    ChannelSlot() : scratch(4096), label(128) {}
    ChannelSlot(const ChannelSlot&) = delete;
    ChannelSlot& operator=(const ChannelSlot&) = delete;

    // The host feeds (input) or reads (output) this channel.
    bool connected = false;
    // This slot's own entry in the plug-in's input or output pointer array.
    double** bufferEntry = nullptr;
    // Output slots: the host's 32-bit destination for this block; none when not bound.
    float* hostFloatOut = nullptr;
    // blockSize samples: converted 32-bit input, the effect's output before conversion,
    // and what a disconnected slot reads and writes.
    GrowBuffer<double> scratch;
    // Optional channel name shown to hosts.
    TextBuffer label;
};

// A fixed delay of `length` frames per channel, used by the bypass path so that bypassed
// audio keeps the latency the host compensates for. [lock held]
class LatencyDelay
{
public:
    LatencyDelay(int nIn, int nOut, int length);
    LatencyDelay(const LatencyDelay&) = delete;
    LatencyDelay& operator=(const LatencyDelay&) = delete;

    // Sets the length (negative counts as 0) and clears the delay line: the buffer holds
    // length * nIn zeroed samples and writePos is 0. Releases memory when it shrinks.
    void SetLength(int length);
    int Length() const { return static_cast<int>(length_); }

    // outputs[c] = inputs[c] delayed by length frames, for each channel c below both nIn
    // and nOut; other channels are not touched. inputs[c] may equal outputs[c]. A length
    // of 0 copies through.
    void Process(double* const* inputs, double* const* outputs, int frames);

private:
    // Channel c occupies samples [c * length, c * length + length).
    GrowBuffer<double> buffer_;
    unsigned writePos_ = 0;
    unsigned nIn_;
    unsigned nOut_;
    unsigned length_ = 0;
};

struct MidiEvent
{
    int32_t offset = 0; // frames from the start of the block
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

struct SysexBlock
{
    int32_t offset = 0;                  // frames from the start of the block
    int32_t size = 0;                    // bytes
    const unsigned char* data = nullptr; // not owned
};

// Filled by HostTransport; fields the host does not report keep the caller's values.
struct TransportInfo
{
    double tempo = 0.0;      // beats per minute
    double samplePos = 0.0;  // samples
    double ppqPos = 0.0;     // quarter notes
    double lastBarPos = 0.0; // quarter notes
    double cycleStart = 0.0; // quarter notes
    double cycleEnd = 0.0;   // quarter notes
    int32_t numerator = 4;
    int32_t denominator = 4;
    bool playing = false;
    bool cycling = false;
};

class PluginBase
{
public:
    // Plug-in format codes (PluginFormat, FormatName).
    enum Format : int32_t
    {
        kFormatVST2 = 0,
        kFormatVST3 = 1,
        kFormatAU = 2,
        kFormatRTAS = 3,
        kFormatAAX = 4,
        kFormatStandalone = 5,
    };

    // Host kind codes (HostKind, IdentifyHost); 10, 11 and 19 are not used.
    enum HostKindCode : int32_t
    {
        kHostUnknown = 0,
        kHostReaper = 1,
        kHostProTools = 2,
        kHostCubase = 3,
        kHostNuendo = 4,
        kHostSonar = 5,
        kHostVegas = 6,
        kHostFLStudio = 7,
        kHostSamplitude = 8,
        kHostLive = 9,
        kHostMelodyne = 12,
        kHostVSTScanner = 13,
        kHostAULab = 14,
        kHostForte = 15,
        kHostChainer = 16,
        kHostAudition = 17,
        kHostOrion = 18,
        kHostSAWStudio = 20,
        kHostLogic = 21,
        kHostGarageBand = 22,
        kHostDigitalPerformer = 23,
        kHostStandalone = 24,
        kHostAudioMulch = 25,
        kHostStudioOne = 26,
        kHostVST3PluginTestHost = 27,
        kHostArdour = 28,
    };

    static constexpr int kNameSize = 128;
    // Chunk header: the bytes "tffp" and the version 1.0.0.
    static constexpr int32_t kChunkMagic = 0x70666674;
    static constexpr int32_t kChunkVersion = 0x00010000;
    // Size of the area VersionText writes unless told otherwise; the longest text of any
    // packed int is "v-32768.-255.-255".
    static constexpr int kVersionTextSize = 20;

    // Creates paramCount parameters in their default state, presetCount empty preset slots
    // named "empty", the channel configurations of channels ("1-1 2-2": space-separated
    // "in-out" pairs; none for no configurations) and one input and one output slot per
    // channel of the widest configuration. Names are truncated to 127 bytes.
    // [creating thread, usually under ProcessLock]
    PluginBase(int paramCount, const char* channels, int presetCount, const char* effectName,
               const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
               int32_t makerId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
               int32_t formatKind);
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;

    // ---- Virtual operations, in their fixed slot order (the destructor is slot 0). ----

    // Deletes the editor, parameters, preset slots, channel slots and configurations (each
    // list last first) and the latency delay.
    virtual ~PluginBase();
    // Clears the effect's running state (sample rate or block size changed, processing
    // stopped). [any thread; takes the instance lock]
    virtual void ResetProcessing();
    // A parameter's value changed. [any thread; takes the instance lock]
    virtual void ParamChanged(int paramIndex);
    // Processes one block: one pointer per input and output slot. The base copies input o
    // to output o for every output that has an input and zeroes the other outputs.
    // [audio thread, lock held]
    virtual void RenderDouble(double** inputs, double** outputs, int frames);
    // The same copy-through on 32-bit samples. [audio thread, lock held]
    virtual void RenderFloat(float** inputs, float** outputs, int frames);
    // The editor window opened / is about to close. [editor thread]
    virtual void EditorOpened();
    virtual void EditorClosed();
    // Reserved; nothing calls it.
    virtual void SpareNotify();
    // Processing switched on or off. [any thread; takes the instance lock]
    virtual void ActiveChanged(bool active);
    // A MIDI event for this block; the base passes it on to SendMidiToHost. [lock held]
    virtual void HandleMidiEvent(const MidiEvent* event);
    virtual void HandleSysex(const SysexBlock* sysex);
    // Writes a name for a MIDI note; the base writes the empty text and answers false.
    virtual bool GetMidiNoteLabel(int note, char* label);
    // Appends the program state to chunk (base: SerializeParams). [takes the instance lock]
    virtual bool WriteState(StateChunk* chunk);
    // Reads the program state at pos; answers the position after it or -1 (base:
    // UnserializeParams). [takes the instance lock]
    virtual int ReadState(const StateChunk* chunk, int pos);
    // Whether data (doubles, one per parameter, from value number valueIndex) equal the
    // current values to within 0.00001 in 32-bit precision. [lock held]
    virtual bool StateMatches(const unsigned char* data, int valueIndex);
    virtual void EditorResized();
    // Reserved; answers false, nothing calls it.
    virtual bool SpareQuery();
    // The VST2 adapter calls this once, at the end of its InitForHost.
    virtual void HostIdentified();
    // A right click over a parameter's control (used for VST3 hosts only). [editor thread]
    virtual void ShowHostParamMenu(int paramIndex, int x, int y);
    // The editor moved a parameter: sets it from the normalized value, tells the host
    // (HostSetParamValue) and the effect (ParamChanged). An index outside the list does
    // nothing. [editor thread; takes the instance lock]
    virtual void SetParameterFromGUI(int paramIndex, double normalized);
    // The editor begins / ends dragging a parameter. [editor thread]
    virtual void HostBeginParamEdit(int paramIndex) = 0;
    // Tells the host a parameter's new normalized value. [lock held]
    virtual void HostSetParamValue(int paramIndex, double normalized) = 0;
    virtual void HostEndParamEdit(int paramIndex) = 0;
    // The current program changed.
    virtual void HostProgramChanged() = 0;
    // Whether the host renders offline; base false.
    virtual bool HostIsOffline();
    // Transport queries.
    virtual int HostSamplePosition() = 0;
    virtual double HostTempo() = 0;
    virtual void HostTimeSignature(int* numerator, int* denominator) = 0;
    virtual void HostTransport(TransportInfo* info) = 0;
    // The host kind code (an adapter may identify the host here, on first asking).
    virtual int HostKind();
    // The plug-in format code.
    virtual int PluginFormat();
    // Asks the host to resize the editor window (pixels). [editor thread]
    virtual void ResizeEditor(int width, int height) = 0;
    // The host opened the plug-in.
    virtual void InitForHost();
    // Takes ownership of the editor and puts its controls in step with the parameters
    // (normalized values), then prepares its drawing surfaces. None does nothing; an editor
    // attached before is deleted. [any thread; takes the instance lock]
    virtual void AttachEditor(Graphics* graphics);
    // Sets the latency in frames; the latency delay, when present, takes the new length and
    // is cleared. [lock held]
    virtual void SetLatencySamples(int frames);
    virtual bool SendMidiToHost(const MidiEvent* event) = 0;
    // Base: sends nothing, answers false.
    virtual bool SendSysexToHost(const SysexBlock* sysex);
    // Puts the editor's controls in step with the parameters (plain values), after presets
    // or state were loaded. Nothing without an editor. [lock held]
    virtual void RefreshEditorParams();
    virtual void MarkStateChanged();
    // The preset list or the current preset changed.
    virtual void HostChangedPresets();
    // Sizes every slot's scratch to frames samples and zeroes it; the same size changes
    // nothing. No block may carry more frames than this. [lock held]
    virtual void SetMaxBlockSize(int frames);

    // ---- Parameters and channels ----

    int ParamCount() const { return params_.Count(); }
    // The parameter, or none for an index outside the list.
    PluginParam* ParamAt(int index) const { return params_.Get(index); }
    int InputCount() const { return inputs_.Count(); }
    int OutputCount() const { return outputs_.Count(); }
    // The slot, or none for an index outside the list.
    ChannelSlot* InputSlot(int index) const { return inputs_.Get(index); }
    ChannelSlot* OutputSlot(int index) const { return outputs_.Get(index); }
    // The slot's connected flag; false for an index outside the list.
    bool IsInputConnected(int index) const;
    bool IsOutputConnected(int index) const;
    int ChannelConfigCount() const { return channelConfigs_.Count(); }
    const ChannelConfig* ChannelConfigAt(int index) const { return channelConfigs_.Get(index); }
    // Whether a configuration has nIn inputs and nOut outputs; a negative count matches
    // any configuration.
    bool LegalIO(int nIn, int nOut) const;
    // Sets the connected flag of the slots [start, start + count) that exist. A slot that is
    // disconnected is bound to its scratch. [lock held]
    void ConnectInputs(int start, int count, bool connected);
    void ConnectOutputs(int start, int count, bool connected);
    // Disconnects inputs from the third on and connects outputs from the third on.
    void RestrictToStereo();

    // ---- Processing frame [audio thread, lock held for the whole block] ----
    // Binding walks the slots [start, start + count) in ascending order; only connected
    // slots consume host buffers, so the host's list is dense. A missing host buffer (none
    // for the list or for an entry) binds the slot to its scratch instead (inputs zeroed).
    // Frames are limited to blockSize wherever scratch is involved.

    // Connected input slots take the next host buffer.
    void BindInputs(int start, int count, double** buffers);
    // Connected output slots take the next host buffer.
    void BindOutputs(int start, int count, double** buffers);
    // Connected input slots widen frames samples of the next host buffer into their
    // scratch and take the scratch.
    void BindInputsFloat(int start, int count, float** buffers, int frames);
    // Connected output slots take their scratch and remember the next host buffer as
    // their 32-bit destination.
    void BindOutputsFloat(int start, int count, float** buffers);
    // RenderDouble on the bound pointer arrays.
    void RunDouble(int frames);
    // RunDouble, then every connected output is narrowed into its 32-bit destination.
    void RunFloat(int frames);
    // As RunFloat, adding to what the destination holds.
    void RunFloatAccumulate(int frames);
    // Passes the inputs to the outputs unprocessed: through the latency delay when there
    // is a latency and a delay, else by the base copy-through (never the effect's render).
    void BypassDouble(int frames);
    // BypassDouble, then the output conversion of RunFloat.
    void BypassFloat(int frames);
    // Zeroes blockSize samples of every slot's scratch.
    void ClearScratch();

    // ParamChanged for every parameter, in index order.
    void NotifyAllParamsChanged();

    // ---- Host and versions ----

    // hostKind = IdentifyHost(hostName), hostVersion = version (packed 0xMMmmbb).
    void SetHost(const char* hostName, int version);
    // The host kind code for a product name: the first of a fixed list of texts that the
    // lower-cased name contains decides; 0 when none does. Only the first 255 characters
    // of the name are looked at.
    static int IdentifyHost(const char* name);
    // HostKind() first, then the host's version, packed or as major*10000+minor*100+patch.
    int HostVersion(bool decimal);
    int EffectVersion(bool decimal) const;
    // Writes packed as "v<major>.<minor>.<patch>" into out (outSize bytes, truncated to
    // fit and always terminated).
    static void VersionText(int packed, char* out, int outSize = kVersionTextSize);
    // major*10000 + minor*100 + patch of a packed version.
    static int DecimalVersion(int packed);
    // Name of the format code ("VST2", ..., "Standalone"; "" for an unknown code).
    const char* FormatName() const;
    // sampleRate * 60 / HostTempo() when the tempo is above 0, else 0.
    double SamplesPerBeat();
    void SetSampleRate(double rate) { sampleRate_ = rate; }

    // ---- State and presets (StateChunk.cpp) ----

    // Clears chunk and writes the header: "tffp", version 1.0.0.
    static void WriteChunkHeader(StateChunk* chunk);
    // When chunk has a header at *pos: advances *pos past it and answers its version (or
    // sets *pos to -1 and answers 0 when the version is cut off). Without a header answers
    // 0 and leaves *pos unchanged.
    static int ReadChunkHeader(const StateChunk* chunk, int* pos);
    // Appends each parameter's plain value as a double, in index order. Answers whether
    // the chunk is non-empty afterwards (true with no parameters). [takes the instance lock]
    bool SerializeParams(StateChunk* chunk);
    // Reads one double per parameter from pos and sets each, clamped to its range; a NaN
    // leaves its parameter unchanged. A read that fails sets that parameter to 0 clamped
    // to its range and stops. Then ParamChanged for every parameter. Answers the position
    // after the values, or -1. [takes the instance lock]
    int UnserializeParams(const StateChunk* chunk, int pos);

    int PresetCount() const { return presets_.Count(); }
    // The slot, or none for an index outside the list.
    PresetSlot* PresetAt(int index) const { return presets_.Get(index); }
    // The slot's name, or "" for an index outside the list.
    const char* PresetName(int index) const;
    int CurrentPreset() const { return currentPreset_; }
    // Stores the live state into the current slot and, when name is given and not empty,
    // renames it. Nothing when the current index is not a slot. [takes the instance lock]
    void ModifyCurrentPreset(const char* name = nullptr);
    // Loads slot index (an uninitialized slot is first named "user preset N" and stores
    // the live state) and makes it current. Answers false for an index outside the list or
    // a failed read. [takes the instance lock]
    bool LoadPreset(int index);
    // LoadPreset of the first slot named exactly name; false for none or "".
    bool LoadPresetByName(const char* name);
    // count times: the first uninitialized slot is named name (or "Empty") and stores the
    // live state. [takes the instance lock]
    void FillEmptyPresets(const char* name, int count);
    // Deletes every uninitialized slot. [set-up only, never while a host uses the instance]
    void DropEmptyPresets();
    // Appends every slot: name (text), initialized (flag), and when initialized its state
    // (raw bytes). Answers whether the chunk is non-empty after each slot. [takes the
    // instance lock]
    bool SerializePresets(StateChunk* chunk);
    // Reads slots as SerializePresets wrote them from pos, re-storing each read state in
    // the current format, then loads the current preset. Answers the position after the
    // bank or -1; slots before a failure keep what was read. [takes the instance lock]
    int UnserializePresets(const StateChunk* chunk, int pos);

    // ---- Accessors ----

    PlugMutex& Mutex() { return mutex_; }
    const char* EffectName() const { return effectName_; }
    const char* ProductName() const { return productName_; }
    const char* MakerName() const { return makerName_; }
    int32_t UniqueId() const { return uniqueId_; }
    int32_t MakerId() const { return makerId_; }
    bool DoesChunks() const { return doesChunks_; }
    bool IsInstrument() const { return isInstrument_; }
    bool DoesMidi() const { return doesMidi_; }
    double SampleRate() const { return sampleRate_; }
    int BlockSize() const { return blockSize_; }
    int Latency() const { return latency_; }
    LatencyDelay* Delay() const { return latencyDelay_; }
    // The attached editor (owned by the plug-in), or none.
    Graphics* Editor() const { return editor_; }

protected:
    // Creates the bypass delay (adapters that support bypass), replacing any earlier one.
    // Channel counts are limited to the slot counts.
    void CreateLatencyDelay(int nIn, int nOut, int length);

    OwnedPtrList<ChannelConfig> channelConfigs_;
    PlugMutex mutex_;
    char effectName_[kNameSize] = {};
    char productName_[kNameSize] = {};
    char makerName_[kNameSize] = {};
    int32_t uniqueId_;
    int32_t makerId_;
    int32_t version_;
    int32_t formatKind_;
    int32_t hostKind_ = -1;
    int32_t hostVersion_ = 0;
    bool doesChunks_;
    bool isInstrument_;
    bool doesMidi_;
    int32_t currentPreset_ = 0;
    double sampleRate_ = 44100.0;
    int32_t blockSize_ = 0;
    int32_t latency_;
    LatencyDelay* latencyDelay_ = nullptr;
    Graphics* editor_ = nullptr;
    OwnedPtrList<PluginParam> params_;
    OwnedPtrList<PresetSlot> presets_;
    // Sized once by the constructor and never again: the slots point into them.
    GrowBuffer<double*> inputBuffers_;
    GrowBuffer<double*> outputBuffers_;
    OwnedPtrList<ChannelSlot> inputs_;
    OwnedPtrList<ChannelSlot> outputs_;

private:
    // Deletes the editor (PluginBaseEditor.cpp, where Graphics is a complete type).
    void DeleteEditor();
    void ConnectSlots(PtrList<ChannelSlot>& slots, int start, int count, bool connected);
    // Narrows every connected output's frames samples into its 32-bit destination.
    void ConvertOutputs(int frames, bool accumulate);
    // frames limited to [0, blockSize].
    int ScratchFrames(int frames) const;
};
