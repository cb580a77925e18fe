// The loader and host callback against the test plug-ins (tools/tests/fixtures), which
// record what their host told them.
#include "tools/HostedPlugin.h"
#include "tools/tests/TempPath.h"
#include "tools/tests/fixtures/FixtureProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
FixtureProbe& Probe(HostedPlugin& plugin)
{
    return *reinterpret_cast<FixtureProbe*>(plugin.Dispatch(effVendorSpecific, kFixtureProbeIndex));
}

std::unique_ptr<HostedPlugin> LoadGain()
{
    std::string error;
    auto plugin = HostedPlugin::Load(FIXTURE_GAIN, error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

std::unique_ptr<HostedPlugin> OpenGain(double rate, int block, bool useDouble = false)
{
    auto plugin = LoadGain();
    std::string error;
    if (plugin)
    {
        EXPECT_TRUE(plugin->Open(error)) << error;
        EXPECT_TRUE(plugin->Prepare(rate, block, useDouble, error)) << error;
    }
    return plugin;
}

// Two channels of distinct ramps, n frames.
struct Stereo
{
    std::vector<float> left, right, outLeft, outRight;
    float* in[2];
    float* out[2];
    explicit Stereo(int n) : left(n), right(n), outLeft(n, -9.0f), outRight(n, -9.0f)
    {
        for (int i = 0; i < n; ++i)
        {
            left[i] = 0.001f * static_cast<float>(i);
            right[i] = -0.5f + 0.0005f * static_cast<float>(i);
        }
        in[0] = left.data();
        in[1] = right.data();
        out[0] = outLeft.data();
        out[1] = outRight.data();
    }
};
} // namespace

TEST(HostedPlugin, LoadsThroughVSTPluginMainAndAnswersCallsMadeInsideIt)
{
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->Library().EntryName(), "VSTPluginMain");
    EXPECT_EQ(plugin->Effect().uniqueID, kFixtureUniqueId);
    EXPECT_EQ(plugin->ParamCount(), kFixtureParams);
    EXPECT_EQ(plugin->ProgramCount(), kFixturePrograms);
    EXPECT_EQ(plugin->InputCount(), 2);
    EXPECT_EQ(plugin->OutputCount(), 2);
    // Asked with no effect record, before the host knew the plug-in.
    EXPECT_EQ(Probe(*plugin).versionAtEntry, 2400);
}

TEST(HostedPlugin, FallsBackToTheOlderMainEntryPoint)
{
    std::string error;
    auto plugin = HostedPlugin::Load(FIXTURE_LEGACY, error);
    ASSERT_TRUE(plugin) << error;
    EXPECT_EQ(plugin->Library().EntryName(), "main");
    EXPECT_EQ(plugin->EffectName(), "Fixture Gain");
}

TEST(HostedPlugin, RefusesWhatIsNoWorkingPlugin)
{
    const std::filesystem::path notLibrary = UniqueTempPath("not_a_library.dll");
    std::ofstream(notLibrary) << "this is text, not a shared library\n";
    const struct
    {
        std::string path;
        const char* message;
    } cases[] = {
        {std::string(FIXTURE_GAIN) + ".missing", "no such file"},
        {notLibrary.string(), "cannot load"},
        {FIXTURE_NOENTRY, "exports neither VSTPluginMain nor main"},
        {FIXTURE_NULL, "plug-in refused to open: VSTPluginMain"},
        {FIXTURE_BADMAGIC, "has magic 0x56737458, not 'VstP'"},
    };
    for (const auto& c : cases)
    {
        std::string error;
        EXPECT_FALSE(HostedPlugin::Load(c.path, error)) << c.path;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.path << ": " << error;
    }
    std::filesystem::remove(notLibrary);
}

TEST(HostedPlugin, AnswersTheCallbackAsAHostDoes)
{
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    std::string error;
    ASSERT_TRUE(plugin->Open(error)) << error;
    const FixtureProbe& p = Probe(*plugin);
    EXPECT_EQ(p.opens, 1);
    EXPECT_EQ(p.hostVersion, 2400);
    EXPECT_STREQ(p.product, "Grovane Host");
    EXPECT_STREQ(p.vendor, "Tessaly");
    EXPECT_EQ(p.vendorVersion, 10201);
    EXPECT_EQ(p.canDoTimeInfo, 1);
    EXPECT_EQ(p.canDoReceiveEvents, -1);
    EXPECT_EQ(p.canDoNonsense, 0);
    EXPECT_EQ(p.levelAtOpen, kVstProcessLevelUser);
    EXPECT_EQ(p.currentIdAtOpen, kFixtureUniqueId);
}

TEST(HostedPlugin, CallbackForAnUnknownEffectAnswersOnlyFixedFacts)
{
    AEffect stranger{};
    char text[256] = "untouched";
    const struct
    {
        VstInt32 opcode;
        VstIntPtr answer;
    } cases[] = {
        {audioMasterVersion, 2400},
        {audioMasterGetVendorVersion, 10201},
        {audioMasterGetLanguage, 1},
        {audioMasterGetSampleRate, 0},
        {audioMasterGetBlockSize, 0},
        {audioMasterGetTime, 0},
        {audioMasterGetCurrentProcessLevel, 0},
        {audioMasterCanDo, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HostedPlugin::HostCallback(&stranger, c.opcode, 0, 0, nullptr, 0.0f), c.answer) << c.opcode;
    EXPECT_EQ(HostedPlugin::HostCallback(nullptr, audioMasterGetProductString, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "Grovane Host");
}

TEST(HostedPlugin, PrepareResumeAndSuspendSendWhatAHostSends)
{
    auto plugin = OpenGain(44100.0, 256);
    ASSERT_TRUE(plugin);
    FixtureProbe& p = Probe(*plugin);
    EXPECT_EQ(p.sampleRateSet, 44100.0f);
    EXPECT_EQ(p.blockSizeSet, 256);
    EXPECT_EQ(p.inArrangementType, kSpeakerArrStereo);
    EXPECT_EQ(p.inArrangementChannels, 2);
    EXPECT_EQ(p.outArrangementType, kSpeakerArrStereo);
    EXPECT_EQ(p.outArrangementChannels, 2);
    EXPECT_EQ(p.precision, kVstProcessPrecision32);
    plugin->Resume();
    EXPECT_EQ(p.resumes, 1);
    EXPECT_EQ(p.starts, 1);
    EXPECT_EQ(p.rateAtResume, 44100);
    EXPECT_EQ(p.blockAtResume, 256);
    std::string error;
    EXPECT_FALSE(plugin->Prepare(48000.0, 512, false, error)) << "changed while processing";
    plugin->Suspend();
    EXPECT_EQ(p.stops, 1);
    EXPECT_EQ(p.suspends, 1);
    ASSERT_TRUE(plugin->Prepare(48000.0, 512, true, error)) << error;
    EXPECT_EQ(p.precision, kVstProcessPrecision64);
}

TEST(HostedPlugin, PrepareRefusesAbsurdSettings)
{
    auto plugin = OpenGain(48000.0, 512);
    ASSERT_TRUE(plugin);
    const struct
    {
        double rate;
        int block;
    } cases[] = {
        {0.0, 512}, {NAN, 512}, {2e6, 512}, {48000.0, 0}, {48000.0, HostedPlugin::kMaxBlockSize + 1}};
    for (const auto& c : cases)
    {
        std::string error;
        EXPECT_FALSE(plugin->Prepare(c.rate, c.block, false, error)) << c.rate << " " << c.block;
    }
}

TEST(HostedPlugin, ProcessCallsSeeARunningTransportAt120Bpm)
{
    auto plugin = OpenGain(48000.0, 512);
    ASSERT_TRUE(plugin);
    Stereo audio(512);
    plugin->Resume();
    for (int block = 0; block < 3; ++block)
        ASSERT_TRUE(plugin->Process(audio.in, audio.out, block == 2 ? 100 : 512));
    const FixtureProbe& p = Probe(*plugin);
    EXPECT_EQ(p.blocks, 3);
    EXPECT_EQ(p.timeMissing, 0);
    EXPECT_EQ(p.levelInProcess, kVstProcessLevelOffline);
    const double positions[3] = {0.0, 512.0, 1024.0};
    for (int i = 0; i < 3; ++i)
    {
        const VstTimeInfo& t = p.times[i];
        EXPECT_EQ(t.samplePos, positions[i]);
        EXPECT_EQ(t.sampleRate, 48000.0);
        EXPECT_EQ(t.tempo, 120.0);
        // Two beats per second: ppq = seconds x 2.
        EXPECT_DOUBLE_EQ(t.ppqPos, positions[i] / 48000.0 * 2.0);
        EXPECT_EQ(t.barStartPos, 0.0);
        EXPECT_EQ(t.timeSigNumerator, 4);
        EXPECT_EQ(t.timeSigDenominator, 4);
        const VstInt32 always =
            kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
        EXPECT_EQ(t.flags & ~kVstTransportChanged, always);
        EXPECT_EQ((t.flags & kVstTransportChanged) != 0, i == 0) << "changed only on the first block";
    }
    EXPECT_EQ(p.blockFrames[2], 100);
    plugin->SetProcessMode(ProcessMode::Realtime);
    ASSERT_TRUE(plugin->Process(audio.in, audio.out, 512));
    EXPECT_EQ(p.levelInProcess, kVstProcessLevelRealtime);
}

TEST(HostedPlugin, ProcessesBothPrecisionsThroughTheRecord)
{
    auto plugin = OpenGain(48000.0, 64, true);
    ASSERT_TRUE(plugin);
    ASSERT_TRUE(plugin->CanDouble());
    ASSERT_TRUE(plugin->SetParameter(0, 0.25f)); // gain 0.5
    plugin->Resume();
    Stereo audio(64);
    ASSERT_TRUE(plugin->Process(audio.in, audio.out, 64));
    for (int i = 0; i < 64; ++i)
    {
        EXPECT_EQ(audio.outLeft[i], 0.5f * audio.left[i]);
        EXPECT_EQ(audio.outRight[i], 0.5f * audio.right[i]);
    }
    std::vector<double> inL(64, 0.3), inR(64, -0.7), outL(64), outR(64);
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    ASSERT_TRUE(plugin->ProcessDouble(in, out, 64));
    EXPECT_EQ(Probe(*plugin).doubleBlocks, 1);
    EXPECT_EQ(outL[63], 0.15);
    EXPECT_EQ(outR[0], -0.35);
}

TEST(HostedPlugin, RefusesProcessCallsAHostMustNotMake)
{
    auto plugin = OpenGain(48000.0, 64);
    ASSERT_TRUE(plugin);
    Stereo audio(128);
    EXPECT_FALSE(plugin->Process(audio.in, audio.out, 64)) << "not resumed";
    plugin->Resume();
    EXPECT_FALSE(plugin->Process(audio.in, audio.out, 65)) << "more than the block size";
    EXPECT_FALSE(plugin->Process(audio.in, audio.out, 0));
    EXPECT_FALSE(plugin->Process(audio.in, audio.out, -1));
    EXPECT_EQ(Probe(*plugin).blocks, 0);
    EXPECT_EQ(audio.outLeft[0], -9.0f) << "outputs untouched";
}

TEST(HostedPlugin, FindsParametersByIndexOrName)
{
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    const struct
    {
        const char* text;
        int index;
    } cases[] = {{"0", 0},      {"2", 2},       {"3", -1}, {"gain", 0},         {" Smooth ", 1},
                 {"SMOOTH", 1}, {"Volume", -1}, {"", -1},  {"99999999999", -1}, {"-1", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(plugin->FindParameter(c.text), c.index) << "'" << c.text << "'";
}

TEST(HostedPlugin, SetsParametersByNormalizedValueOrText)
{
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(plugin->SetParameter(0, 0.25f));
    EXPECT_EQ(plugin->GetParameter(0), 0.25f);
    EXPECT_EQ(plugin->ParamDisplay(0), "0.500");
    EXPECT_EQ(plugin->ParamLabel(0), "x");
    for (float bad : {NAN, -0.1f, 1.1f, INFINITY})
        EXPECT_FALSE(plugin->SetParameter(0, bad)) << bad;
    EXPECT_FALSE(plugin->SetParameter(3, 0.5f));
    EXPECT_FALSE(plugin->SetParameter(-1, 0.5f));
    EXPECT_EQ(plugin->GetParameter(0), 0.25f);
    EXPECT_EQ(plugin->GetParameter(9), 0.0f);

    EXPECT_TRUE(plugin->SetParameterText(0, "1.5"));
    EXPECT_EQ(plugin->GetParameter(0), 0.75f);
    EXPECT_FALSE(plugin->SetParameterText(0, "loud"));
    EXPECT_FALSE(plugin->SetParameterText(5, "1"));
    EXPECT_EQ(plugin->GetParameter(0), 0.75f);
}

TEST(HostedPlugin, ReadsPluginTextsWithinBounds)
{
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->ParamName(2), std::string(HostedPlugin::kTextLimit, 'N'));
    EXPECT_EQ(plugin->ParamDisplay(2), "a?b?") << "control characters replaced";
    EXPECT_EQ(plugin->ParamName(3), "");
    EXPECT_EQ(plugin->EffectName(), "Fixture Gain");
    EXPECT_EQ(plugin->VendorString(), "Grovane Tests");
    EXPECT_EQ(plugin->ProductString(), "Fixture");
    EXPECT_EQ(plugin->VendorVersion(), 7);
    EXPECT_EQ(plugin->Category(), kPlugCategEffect);
    EXPECT_EQ(plugin->VstVersion(), 2400);
    EXPECT_EQ(plugin->CanDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(plugin->CanDo("receiveVstEvents"), 0);
}

TEST(HostedPlugin, SwitchesPrograms)
{
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->ProgramName(0), "Unity");
    EXPECT_EQ(plugin->ProgramName(1), "Half");
    EXPECT_EQ(plugin->ProgramName(2), "");
    EXPECT_EQ(plugin->ProgramName(-1), "");
    EXPECT_TRUE(plugin->SetProgram(1));
    EXPECT_EQ(plugin->CurrentProgram(), 1);
    EXPECT_EQ(plugin->GetParameter(0), 0.25f);
    EXPECT_FALSE(plugin->SetProgram(2));
    EXPECT_EQ(plugin->CurrentProgram(), 1);
}

TEST(HostedPlugin, MovesStateChunksInAndOut)
{
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    ASSERT_TRUE(plugin->SetParameter(0, 0.125f));
    std::vector<std::uint8_t> program, bank;
    std::string error;
    ASSERT_TRUE(plugin->GetChunk(false, program, error)) << error;
    ASSERT_EQ(program.size(), 16u);
    EXPECT_EQ(std::string(program.begin(), program.begin() + 4), "FXpr");
    ASSERT_TRUE(plugin->GetChunk(true, bank, error)) << error;
    ASSERT_EQ(bank.size(), 20u);
    EXPECT_EQ(std::string(bank.begin(), bank.begin() + 4), "FXbk");

    ASSERT_TRUE(plugin->SetParameter(0, 0.9f));
    bool accepted = false;
    ASSERT_TRUE(plugin->SetChunk(false, program, accepted, error)) << error;
    EXPECT_TRUE(accepted);
    EXPECT_EQ(plugin->GetParameter(0), 0.125f);

    // The plug-in's verdict on a chunk it rejects comes back as not accepted.
    ASSERT_TRUE(plugin->SetChunk(true, program, accepted, error)) << error;
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(plugin->SetChunk(false, {}, accepted, error));
}

TEST(HostedPlugin, RefusesChunksAPluginCannotHaveHandedOut)
{
    const struct
    {
        int mode;
        const char* message;
    } cases[] = {
        {kChunkNoData, "answered 16 and no data"},
        {kChunkNegative, "answered -5"},
        {kChunkHuge, "this host takes at most"},
    };
    auto plugin = LoadGain();
    ASSERT_TRUE(plugin);
    for (const auto& c : cases)
    {
        plugin->Dispatch(effVendorSpecific, kFixtureChunkModeIndex, c.mode);
        std::vector<std::uint8_t> chunk{1, 2, 3};
        std::string error;
        EXPECT_FALSE(plugin->GetChunk(false, chunk, error)) << c.mode;
        EXPECT_TRUE(chunk.empty());
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}
