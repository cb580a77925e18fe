#pragma once
// PluginVST: the adapter between the plug-in core and a host speaking VST 2.4. It fills
// the AEffect record the host keeps, answers the host's dispatcher calls, runs the
// process and parameter callbacks, and implements the core's host-directed operations
// through the host callback.
//
// Locking: every dispatcher call, process callback and parameter callback holds the
// instance lock (PluginBase::Mutex) for its whole duration; the host callback is called
// with that lock held. Instance creation is serialised by ProcessLock.
//
// Everything a host hands over (indices, sizes, pointers, texts, values, frame counts) is
// checked where it enters; a bad one gets the documented failure answer.

#include "core/PluginBase.h"
#include "formats/vst2/VstInterface.h"

class PluginVST : public PluginBase
{
public:
    // Longest chunk effSetChunk accepts; ours are a few hundred bytes at most.
    static constexpr VstIntPtr kMaxChunkBytes = 16 * 1024 * 1024;

    // hostCallback may be none (then nothing is ever asked of the host). The other
    // arguments are those of PluginBase, without the format code (VST2).
    PluginVST(audioMasterCallback hostCallback, int paramCount, const char* channels, int presetCount,
              const char* effectName, const char* productName, const char* makerName, int32_t version,
              int32_t uniqueId, int32_t makerId, int latency, bool doesMidi, bool doesChunks,
              bool isInstrument);
    ~PluginVST() override;

    // The record handed to the host; its object field points back here.
    AEffect* Effect() { return &aeffect; }
    // The instance behind a host's record, or none.
    static PluginVST* FromEffect(AEffect* effect);

    // Host-directed operations of the core, through the host callback.
    void HostBeginParamEdit(int paramIndex) override;
    void HostSetParamValue(int paramIndex, double normalized) override;
    void HostEndParamEdit(int paramIndex) override;
    void HostProgramChanged() override;
    bool HostIsOffline() override;
    int HostSamplePosition() override;
    double HostTempo() override;
    void HostTimeSignature(int* numerator, int* denominator) override;
    void HostTransport(TransportInfo* info) override;
    // Asks the host for its product name and version on the first call only.
    int HostKind() override;
    void ResizeEditor(int width, int height) override;
    void InitForHost() override;
    void AttachEditor(Graphics* graphics) override;
    void SetLatencySamples(int frames) override;
    bool SendMidiToHost(const MidiEvent* event) override;
    bool SendSysexToHost(const SysexBlock* sysex) override;

    int HostExtFlags() const { return hostExtFlags; }
    const ERect& EditRect() const { return editRect; }

    // The dispatcher, as the host calls it. [any thread; takes the instance lock]
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* data, float opt);

private:
    // One handler per dispatcher opcode. [instance lock held]
    VstIntPtr HandleSetProgram(VstIntPtr value);
    VstIntPtr HandleSetProgramName(const char* name);
    VstIntPtr HandleGetProgramName(char* out);
    VstIntPtr HandleParamText(VstInt32 opcode, VstInt32 index, char* out);
    VstIntPtr HandleSetSampleRate(float rate);
    VstIntPtr HandleSetBlockSize(VstIntPtr frames);
    VstIntPtr HandleMainsChanged(VstIntPtr on);
    VstIntPtr HandleEditGetRect(void* data);
    VstIntPtr HandleEditOpen(void* parentWindow);
    VstIntPtr HandleEditClose();
    VstIntPtr HandleGetChunk(VstInt32 index, void* data);
    VstIntPtr HandleSetChunk(VstInt32 index, VstIntPtr bytes, const void* data);
    VstIntPtr HandleProcessEvents(const VstEvents* events);
    VstIntPtr HandleString2Parameter(VstInt32 index, const char* text);
    VstIntPtr HandleGetProgramNameIndexed(VstInt32 index, char* out);
    VstIntPtr HandlePinProperties(bool input, VstInt32 index, VstPinProperties* pin);
    VstIntPtr HandleSetSpeakerArrangement(VstIntPtr inputArr, void* outputArr);
    VstIntPtr HandleGetSpeakerArrangement(VstIntPtr inputArr, void* outputArr);
    VstIntPtr HandleVendorSpecific(VstInt32 index, VstIntPtr value, void* data, float opt);
    VstIntPtr HandleCanDo(const char* text);
    VstIntPtr HandleGetMidiKeyName(MidiKeyName* key);

    // Runs one 32-bit or 64-bit block, in slices of at most the block size when the host
    // sends more frames than it announced. [audio thread, instance lock held]
    void ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate);
    void ProcessDouble(double** inputs, double** outputs, int frames);
    // The slicing shared by both: runSlice(inputs, outputs, frames) binds and runs one
    // slice of at most the block size.
    template <class Sample, class RunSlice>
    void ProcessInSlices(Sample** inputs, Sample** outputs, int frames, GrowBuffer<Sample*>& sliceIn,
                         GrowBuffer<Sample*>& sliceOut, RunSlice runSlice);
    int ConnectedInputs() const;
    int ConnectedOutputs() const;
    VstIntPtr CallHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* data = nullptr,
                       float opt = 0.0f);
    VstTimeInfo* HostTime(VstIntPtr filter);
    void SetArrangement(VstSpeakerArrangement& arrangement, int channels);

    // Host callbacks: each finds the instance through the record and takes its lock.
    static VstIntPtr VSTCALLBACK DispatcherProc(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* data, float opt);
    static void VSTCALLBACK ProcessProc(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
    static void VSTCALLBACK ProcessReplacingProc(AEffect* effect, float** inputs, float** outputs,
                                                 VstInt32 frames);
    static void VSTCALLBACK ProcessDoubleReplacingProc(AEffect* effect, double** inputs, double** outputs,
                                                       VstInt32 frames);
    static void VSTCALLBACK SetParameterProc(AEffect* effect, VstInt32 index, float value);
    static float VSTCALLBACK GetParameterProc(AEffect* effect, VstInt32 index);

    ERect editRect = {};
    audioMasterCallback hostCallback;
    VstSpeakerArrangement inputArrangement = {};
    VstSpeakerArrangement outputArrangement = {};
    bool hostInitDone = false;
    // Bit 0: the host asked the REAPER vendor-extension query; bit 1: its
    // view-as-configuration query.
    int32_t hostExtFlags = 0;
    // Handed to the host by effGetChunk, which reads them through the returned pointer
    // until the next call.
    StateChunk programChunk;
    StateChunk bankChunk;
    AEffect aeffect = {};
    // Host buffer lists offset into a long block, sized once for every slot, so that
    // slicing allocates nothing.
    GrowBuffer<float*> sliceFloatIn;
    GrowBuffer<float*> sliceFloatOut;
    GrowBuffer<double*> sliceDoubleIn;
    GrowBuffer<double*> sliceDoubleOut;
};

// Creates a plug-in instance for a host; answers none when it cannot.
using PluginVSTFactory = PluginVST* (*)(audioMasterCallback hostCallback);

// The body of both exported entry points: under ProcessLock, creates the instance, fills
// its unset presets with the live state as "Empty", makes sure the host sees at least one
// program and answers the instance's record (none when creation failed).
AEffect* VstPluginEntry(audioMasterCallback hostCallback, PluginVSTFactory create);
