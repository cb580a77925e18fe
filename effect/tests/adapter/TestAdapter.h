#pragma once
// TestAdapter: a minimal host adapter for running the effect without a plug-in format.
// It connects every channel slot, sizes the blocks to 1024 frames like the real adapters,
// and records each request the plug-in makes of the host in the TestHost it was given.
// Header only, so that tests and benchmarks can compile the effect against it.

#include "core/PluginBase.h"

#include <vector>

// The "host" of a TestAdapter: fixed transport answers and a log of requests.
struct TestHost
{
    enum class Call
    {
        BeginEdit,
        SetValue,
        EndEdit,
        ProgramChanged,
        ResizeEditor,
        SendMidi,
    };
    struct Request
    {
        Call call;
        int index;    // parameter index, or width for ResizeEditor
        double value; // normalized value, or height for ResizeEditor
    };

    std::vector<Request> requests;
    double tempo = 120.0;
    int samplePosition = 0;
};

class TestAdapter : public PluginBase
{
public:
    static constexpr int kBlockSize = 1024;

    // host must outlive the adapter; none is allowed and records nothing.
    TestAdapter(TestHost* host, int paramCount, const char* channels, int presetCount, const char* effectName,
                const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
                int32_t makerId, int latency, bool doesMidi, bool doesChunks, bool isInstrument)
        : PluginBase(paramCount, channels, presetCount, effectName, productName, makerName, version, uniqueId,
                     makerId, latency, doesMidi, doesChunks, isInstrument, kFormatStandalone),
          host_(host)
    {
        ConnectInputs(0, InputCount(), true);
        ConnectOutputs(0, OutputCount(), true);
        SetMaxBlockSize(kBlockSize);
    }

    // One block as a host's process call runs it: under the instance lock, bind the
    // 64-bit buffers of the connected slots and render.
    void Process(double** inputs, double** outputs, int frames)
    {
        PlugLockGuard lock(Mutex());
        BindInputs(0, InputCount(), inputs);
        BindOutputs(0, OutputCount(), outputs);
        RunDouble(frames);
    }

    void HostBeginParamEdit(int paramIndex) override { Record(TestHost::Call::BeginEdit, paramIndex, 0.0); }
    void HostSetParamValue(int paramIndex, double normalized) override
    {
        Record(TestHost::Call::SetValue, paramIndex, normalized);
    }
    void HostEndParamEdit(int paramIndex) override { Record(TestHost::Call::EndEdit, paramIndex, 0.0); }
    void HostProgramChanged() override { Record(TestHost::Call::ProgramChanged, -1, 0.0); }
    int HostSamplePosition() override { return host_ ? host_->samplePosition : 0; }
    double HostTempo() override { return host_ ? host_->tempo : 0.0; }
    void HostTimeSignature(int* numerator, int* denominator) override
    {
        *numerator = 4;
        *denominator = 4;
    }
    void HostTransport(TransportInfo* info) override
    {
        if (host_)
            info->tempo = host_->tempo;
    }
    void ResizeEditor(int width, int height) override { Record(TestHost::Call::ResizeEditor, width, height); }
    bool SendMidiToHost(const MidiEvent* event) override
    {
        Record(TestHost::Call::SendMidi, event ? event->status : -1, 0.0);
        return true;
    }

private:
    void Record(TestHost::Call call, int index, double value)
    {
        if (host_)
            host_->requests.push_back({call, index, value});
    }

    TestHost* host_;
};
