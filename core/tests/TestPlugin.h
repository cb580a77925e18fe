#pragma once
// A plug-in for the core's tests and fuzz target: PluginBase with the adapter operations
// answered by recording what the core asks of the host.

#include "core/PluginBase.h"

#include <utility>
#include <vector>

class TestPlugin : public PluginBase
{
public:
    static constexpr int32_t kVersion = 0x10201;
    static constexpr int32_t kUniqueId = 0x4772766E; // 'Grvn'
    static constexpr int32_t kMakerId = 0x54737961;  // 'Tsya'

    explicit TestPlugin(int paramCount = 4, const char* channels = "1-1 2-2", int presetCount = 1,
                        int latency = 0, int32_t format = kFormatVST2)
        : PluginBase(paramCount, channels, presetCount, "Grovane", "", "Tessaly", kVersion, kUniqueId,
                     kMakerId, latency, false, false, false, format)
    {
    }

    // The product's four parameters: Gain, Frequency, Amplitude, Mix.
    void SetUpEffectParams()
    {
        ParamAt(0)->SetupDouble("Gain", 0.0, -36.0, 36.0, 0.01, "dB", "", 1.0);
        ParamAt(1)->SetupDouble("Frequency", 80.0, 10.0, 2000.0, 0.01, "Hz", "", 1.0);
        ParamAt(2)->SetupDouble("Amplitude", 1.5, 0.707, 10.0, 0.01, "Q", "", 1.0);
        ParamAt(3)->SetupDouble("Mix", 100.0, 0.0, 100.0, 0.1, "L->R", "", 1.0);
        ParamAt(1)->SetCurve(3.0);
        ParamAt(2)->SetCurve(3.6);
    }

    using PluginBase::CreateLatencyDelay;

    void ParamChanged(int paramIndex) override
    {
        PluginBase::ParamChanged(paramIndex);
        if (record)
            paramChanges.push_back(paramIndex);
    }
    void HostBeginParamEdit(int paramIndex) override { beginEdits.push_back(paramIndex); }
    void HostSetParamValue(int paramIndex, double normalized) override
    {
        if (record)
            hostValues.emplace_back(paramIndex, normalized);
    }
    void HostEndParamEdit(int paramIndex) override { endEdits.push_back(paramIndex); }
    void HostProgramChanged() override { ++programChanges; }
    int HostSamplePosition() override { return 0; }
    double HostTempo() override { return tempo; }
    void HostTimeSignature(int* numerator, int* denominator) override
    {
        *numerator = 4;
        *denominator = 4;
    }
    void HostTransport(TransportInfo* info) override { info->tempo = tempo; }
    void ResizeEditor(int, int) override {}
    bool SendMidiToHost(const MidiEvent* event) override
    {
        midiSent.push_back(*event);
        return true;
    }
    void HostChangedPresets() override { ++presetChanges; }

    // What the core asked of the host; off for the fuzz target, which runs many inputs.
    bool record = true;
    std::vector<int> paramChanges;
    std::vector<int> beginEdits;
    std::vector<int> endEdits;
    std::vector<std::pair<int, double>> hostValues;
    std::vector<MidiEvent> midiSent;
    int programChanges = 0;
    int presetChanges = 0;
    double tempo = 120.0;
};
