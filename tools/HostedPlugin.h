#pragma once
// HostedPlugin: one VST2 plug-in instance driven the way a host drives it, and the host
// callback that answers it. Everything the plug-in hands back (the AEffect record, its
// counts, texts, chunk sizes and pointers) is treated as untrusted: checked against fixed
// limits before use, texts read within bounded buffers.
//
// Thread contract: one thread drives an instance (the tool's main thread, which is also
// its audio thread). The host callback may be entered from any thread the plug-in uses;
// it only reads fixed settings and the transport of the instance it belongs to.

#include "formats/vst2/VstInterface.h"
#include "tools/PluginLibrary.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What this host tells plug-ins about itself.
inline constexpr const char* kHostProductString = "Grovane Host";
inline constexpr const char* kHostVendorString = "Tessaly";
inline constexpr VstInt32 kHostVendorVersion = 10201; // 1.2.1 as major * 10000 + minor * 100 + patch
inline constexpr double kHostTempo = 120.0;           // beats per minute, 4/4

// How process calls are labelled to the plug-in through audioMasterGetCurrentProcessLevel.
enum class ProcessMode
{
    Realtime, // kVstProcessLevelRealtime while processing
    Offline,  // kVstProcessLevelOffline while processing
};

// One call of a plug-in to its host callback, as it arrives.
struct HostCall
{
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    void* ptr = nullptr;
    float opt = 0.0f;
};

class HostedPlugin
{
public:
    static constexpr int kMaxChannels = 64;
    static constexpr int kMaxBlockSize = 1 << 20;
    static constexpr int kMaxParams = 100000;
    static constexpr int kMaxPrograms = 100000;
    static constexpr std::size_t kMaxChunkBytes = std::size_t{256} << 20;
    // Texts: the plug-in writes into a zeroed area of kTextRoom bytes (far above the
    // published limits, which many plug-ins exceed); at most kTextLimit bytes are read.
    static constexpr std::size_t kTextRoom = 1024;
    static constexpr std::size_t kTextLimit = 255;

    // Loads the library, calls its entry point with this host's callback and checks the
    // record it answers. Answers none with a message in error when the library cannot be
    // loaded, has no entry point, or the plug-in refuses to open (no record, bad magic,
    // absent dispatcher or process callback, absurd counts).
    static std::unique_ptr<HostedPlugin> Load(const std::string& path, std::string& error);

    // Suspends when resumed, sends effClose, then unloads the library.
    ~HostedPlugin();
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    // effOpen, then re-reads the channel counts (a plug-in may settle them on open).
    bool Open(std::string& error);
    // Sample rate (Hz, finite, 1 to 1e6), block size (frames, 1 to kMaxBlockSize), speaker
    // arrangements for the declared channel counts and, for 64-bit processing, the
    // precision. Only while suspended.
    bool Prepare(double sampleRate, int blockSize, bool doublePrecision, std::string& error);
    // effMainsChanged 1 then effStartProcess; the transport starts playing.
    void Resume();
    // effStopProcess then effMainsChanged 0; the transport stops.
    void Suspend();
    // Moves the transport back to sample 0.
    void Rewind() { samplePos_ = 0; }

    // One block: inputs and outputs hold InputCount() and OutputCount() buffers of at least
    // frames samples. Refused (false) when not resumed, frames is outside 1..BlockSize(),
    // 64-bit processing is not offered, or the plug-in changed its channel counts since
    // Prepare. Advances the transport by frames.
    bool Process(float** inputs, float** outputs, int frames);
    bool ProcessDouble(double** inputs, double** outputs, int frames);

    // The record and what was read from it. Counts are checked at Load and Open.
    const AEffect& Effect() const { return *effect_; }
    const PluginLibrary& Library() const { return *library_; }
    int InputCount() const { return inputs_; }
    int OutputCount() const { return outputs_; }
    int ParamCount() const { return params_; }
    int ProgramCount() const { return programs_; }
    bool CanDouble() const;
    bool HasChunks() const;
    double SampleRate() const { return sampleRate_; }
    int BlockSize() const { return blockSize_; }
    bool Resumed() const { return resumed_; }
    void SetProcessMode(ProcessMode mode) { mode_ = mode; }

    // Texts asked of the plug-in; control characters read back as '?'.
    std::string EffectName();
    std::string VendorString();
    std::string ProductString();
    std::string ParamName(int index);
    std::string ParamLabel(int index);
    std::string ParamDisplay(int index);
    std::string ProgramName(int index); // empty when the plug-in names none
    VstIntPtr VendorVersion();
    VstIntPtr Category();
    VstIntPtr VstVersion();
    VstIntPtr TailSize();
    VstIntPtr CanDo(const char* what);
    bool PinProperties(bool input, int index, VstPinProperties& properties);

    // Parameters. Index outside 0..ParamCount()-1 or a value that is not a number in 0..1
    // is refused.
    bool SetParameter(int index, float normalized);
    float GetParameter(int index);
    // effString2Parameter: the plug-in reads its own plain text (e.g. "80" for 80 Hz).
    // Answers the plug-in's verdict.
    bool SetParameterText(int index, const std::string& text);
    // Index from a decimal index or a parameter name (case-insensitive). -1 when none.
    int FindParameter(const std::string& indexOrName);

    VstIntPtr CurrentProgram();
    bool SetProgram(int index);

    // State chunks (bank = effGetChunk/effSetChunk index 0, program = index 1). Asked also
    // of plug-ins that do not flag effFlagsProgramChunks (some answer all the same; the
    // others answer 0). The chunk is copied out at once; sizes are checked against
    // kMaxChunkBytes. SetChunk answers the plug-in's answer in accepted.
    bool GetChunk(bool bank, std::vector<std::uint8_t>& chunk, std::string& error);
    bool SetChunk(bool bank, const std::vector<std::uint8_t>& chunk, bool& accepted, std::string& error);

    // Raw dispatcher call for what has no wrapper (tests, rarely used opcodes).
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    // For programs that examine plug-ins (a validator): sees every call the plug-in makes to
    // this instance's host once Load has answered, on the plug-in's calling thread, and
    // answers it (usually through DefaultAnswer). Set it while no other thread uses the
    // instance; it must be safe on any thread and should not allocate, as plug-ins call
    // from their audio thread.
    using CallInterceptor = std::function<VstIntPtr(HostedPlugin& host, const HostCall& call)>;
    void SetCallInterceptor(CallInterceptor interceptor) { interceptor_ = std::move(interceptor); }
    // The answer this host gives a call when nothing intercepts it. [any thread]
    VstIntPtr DefaultAnswer(const HostCall& call);
    // The plug-in's record, for calls the wrappers above refuse on purpose (values outside
    // 0..1, zero frames, processing while suspended). The record belongs to the plug-in.
    AEffect* RawEffect() { return effect_; }

    // The host callback every hosted plug-in receives. Calls for an effect this host does
    // not know (e.g. during the entry point, before the record is known) are answered
    // with the host's fixed facts.
    static VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);

private:
    HostedPlugin() = default;
    bool CheckCounts(std::string& error);
    std::string QueryText(VstInt32 opcode, VstInt32 index);
    VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    // Fills the calling thread's time record from the transport; valid until that thread
    // asks again.
    const VstTimeInfo* Transport();
    bool BeginProcess(int frames);

    std::unique_ptr<PluginLibrary> library_;
    AEffect* effect_ = nullptr;
    int inputs_ = 0;
    int outputs_ = 0;
    int params_ = 0;
    int programs_ = 0;
    // Read by the host callback, which plug-ins may enter from their own threads.
    std::atomic<double> sampleRate_{44100.0};
    std::atomic<int> blockSize_{1024};
    std::atomic<bool> resumed_{false};
    bool doublePrecision_ = false;
    ProcessMode mode_ = ProcessMode::Offline;
    std::atomic<int> level_{kVstProcessLevelUser};
    std::atomic<double> samplePos_{0.0};
    std::atomic<bool> reportedPlaying_{false};
    VstSpeakerArrangement inputArrangement_{};
    VstSpeakerArrangement outputArrangement_{};
    CallInterceptor interceptor_;
};
