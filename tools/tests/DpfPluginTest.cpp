// The loader against plug-ins nobody here wrote: Debian's DPF plug-ins (package
// dpf-plugins-vst, installed by scripts/setup.sh), which export only the older entry
// point main. Agreement on names, counts, parameter texts and processed samples proves
// our declarations of the interface against an independent implementation.
#include "tools/HostedPlugin.h"
#include "tools/Renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

namespace
{
const std::string kEq = std::string(DPF_PLUGIN_DIR) + "/3BandEQ-vst.so";

std::unique_ptr<HostedPlugin> OpenEq()
{
    if (!std::filesystem::exists(kEq))
        ADD_FAILURE() << kEq << " is missing: install the package dpf-plugins-vst (scripts/setup.sh does)";
    std::string error;
    auto plugin = HostedPlugin::Load(kEq, error);
    EXPECT_TRUE(plugin) << error;
    if (plugin)
    {
        EXPECT_TRUE(plugin->Open(error)) << error;
        EXPECT_TRUE(plugin->Prepare(48000.0, 512, false, error)) << error;
    }
    return plugin;
}
} // namespace

TEST(DpfPlugin, DeclaresItselfThroughOurRecord)
{
    auto eq = OpenEq();
    ASSERT_TRUE(eq);
    EXPECT_EQ(eq->Library().EntryName(), "main");
    EXPECT_EQ(eq->Effect().uniqueID, VstFourCC('D', '3', 'E', 'Q'));
    EXPECT_EQ(eq->EffectName(), "3 Band EQ");
    EXPECT_EQ(eq->VendorString(), "DISTRHO");
    EXPECT_EQ(eq->ProductString(), "3BandEQ");
    EXPECT_EQ(eq->Category(), kPlugCategEffect);
    EXPECT_EQ(eq->VstVersion(), 2400);
    EXPECT_EQ(eq->InputCount(), 2);
    EXPECT_EQ(eq->OutputCount(), 2);
    EXPECT_TRUE(eq->Effect().flags & effFlagsCanReplacing);
    const char* names[] = {"Low", "Mid", "High", "Master", "Low-Mid Freq", "Mid-High Freq"};
    const char* labels[] = {"dB", "dB", "dB", "dB", "Hz", "Hz"};
    ASSERT_EQ(eq->ParamCount(), 6);
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(eq->ParamName(i), names[i]);
        EXPECT_EQ(eq->ParamLabel(i), labels[i]);
    }
    EXPECT_EQ(eq->FindParameter("master"), 3);
    EXPECT_EQ(eq->ProgramCount(), 1);
    EXPECT_EQ(eq->ProgramName(0), "Default");
}

TEST(DpfPlugin, TakesParametersThroughSetParameter)
{
    auto eq = OpenEq();
    ASSERT_TRUE(eq);
    EXPECT_EQ(eq->ParamDisplay(3), "0.000000");
    ASSERT_TRUE(eq->SetParameter(3, 0.25f));
    EXPECT_EQ(eq->GetParameter(3), 0.25f);
    EXPECT_EQ(eq->ParamDisplay(3), "-12.000000");
}

TEST(DpfPlugin, ProcessesAudioThroughProcessReplacing)
{
    auto eq = OpenEq();
    ASSERT_TRUE(eq);
    // With every band at 0 dB and Master at a quarter of its travel (shown as -12 dB) the
    // EQ scales its input by exactly 0.25.
    ASSERT_TRUE(eq->SetParameter(3, 0.25f));
    AudioData input;
    input.sampleRate = 48000.0;
    input.Resize(2, 3000);
    for (std::size_t i = 0; i < 3000; ++i)
    {
        input.channels[0][i] = 0.5 * std::sin(0.05 * static_cast<double>(i));
        input.channels[1][i] = 0.25 * std::cos(0.013 * static_cast<double>(i));
    }
    eq->Resume();
    AudioData output;
    std::string error;
    ASSERT_TRUE(RenderAudio(*eq, input, false, output, error)) << error;
    eq->Suspend();
    ASSERT_EQ(output.ChannelCount(), 2);
    ASSERT_EQ(output.Frames(), 3000u);
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < 3000; ++i)
            worst = std::max(worst, std::abs(output.channels[c][i] - 0.25 * input.channels[c][i]));
    EXPECT_LT(worst, 1e-7);
    EXPECT_GT(std::abs(output.channels[1][0]), 0.06) << "the right channel is the right channel";
}

TEST(DpfPlugin, WithoutStateChunksTheHostSaysSo)
{
    auto eq = OpenEq();
    ASSERT_TRUE(eq);
    ASSERT_FALSE(eq->HasChunks());
    std::vector<std::uint8_t> chunk;
    std::string error;
    EXPECT_FALSE(eq->GetChunk(false, chunk, error));
    EXPECT_NE(error.find("it does not flag effFlagsProgramChunks"), std::string::npos) << error;
}
