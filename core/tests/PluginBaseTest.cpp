#include "core/tests/TestPlugin.h"
#include "graphics/Graphics.h"
#include "raster/RasterBitmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kFrames = 8;

// A block of host channels and the pointer list a host hands over.
template <class Sample> struct HostBlock
{
    HostBlock(int channels, Sample first)
    {
        data.resize(static_cast<std::size_t>(channels));
        for (int c = 0; c < channels; ++c)
            for (int s = 0; s < kFrames; ++s)
                data[c].push_back(first + static_cast<Sample>(c * 100 + s));
        for (auto& channel : data)
            pointers.push_back(channel.data());
    }
    std::vector<std::vector<Sample>> data;
    std::vector<Sample*> pointers;
};

std::vector<double> Samples(const double* p, int n)
{
    return std::vector<double>(p, p + n);
}
} // namespace

TEST(PluginBase, ConstructionFromTheProductConfiguration)
{
    TestPlugin plug;
    EXPECT_EQ(plug.ParamCount(), 4);
    EXPECT_EQ(plug.PresetCount(), 1);
    EXPECT_STREQ(plug.PresetName(0), "empty");
    EXPECT_FALSE(plug.PresetAt(0)->initialized);
    EXPECT_STREQ(plug.EffectName(), "Grovane");
    EXPECT_STREQ(plug.ProductName(), "");
    EXPECT_STREQ(plug.MakerName(), "Tessaly");
    EXPECT_EQ(plug.UniqueId(), 0x4772766E);
    EXPECT_EQ(plug.MakerId(), 0x54737961);
    EXPECT_EQ(plug.HostKind(), -1);
    EXPECT_EQ(plug.HostVersion(false), 0);
    EXPECT_EQ(plug.SampleRate(), 44100.0);
    EXPECT_EQ(plug.BlockSize(), 0);
    EXPECT_EQ(plug.Latency(), 0);
    EXPECT_EQ(plug.Delay(), nullptr);
    EXPECT_EQ(plug.Editor(), nullptr);
    EXPECT_EQ(plug.CurrentPreset(), 0);
    EXPECT_EQ(plug.PluginFormat(), PluginBase::kFormatVST2);
    EXPECT_STREQ(plug.FormatName(), "VST2");
    EXPECT_EQ(plug.ParamAt(4), nullptr);
    EXPECT_EQ(plug.ParamAt(-1), nullptr);
}

TEST(PluginBase, ChannelStringGivesConfigurationsAndSlots)
{
    TestPlugin plug;
    ASSERT_EQ(plug.ChannelConfigCount(), 2);
    EXPECT_EQ(plug.ChannelConfigAt(0)->nIn, 1);
    EXPECT_EQ(plug.ChannelConfigAt(0)->nOut, 1);
    EXPECT_EQ(plug.ChannelConfigAt(1)->nIn, 2);
    EXPECT_EQ(plug.ChannelConfigAt(1)->nOut, 2);
    EXPECT_EQ(plug.InputCount(), 2);
    EXPECT_EQ(plug.OutputCount(), 2);
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_FALSE(plug.IsInputConnected(i));
        EXPECT_FALSE(plug.IsOutputConnected(i));
        EXPECT_STREQ(plug.InputSlot(i)->label.Get(), "");
    }
    EXPECT_FALSE(plug.IsInputConnected(2));
    EXPECT_FALSE(plug.IsOutputConnected(-1));
    EXPECT_EQ(plug.InputSlot(2), nullptr);

    const struct
    {
        int nIn, nOut;
        bool legal;
    } io[] = {{1, 1, true},  {2, 2, true},   {1, -1, true},  {-1, 2, true}, {2, 1, false},
              {1, 2, false}, {3, -1, false}, {-1, -1, true}, {0, 0, false}};
    for (const auto& c : io)
        EXPECT_EQ(plug.LegalIO(c.nIn, c.nOut), c.legal) << c.nIn << "-" << c.nOut;
}

TEST(PluginBase, ChannelStringTokens)
{
    const struct
    {
        const char* channels;
        std::vector<std::pair<int, int>> configs;
        int inputs, outputs;
    } cases[] = {
        {"1-1 2-2", {{1, 1}, {2, 2}}, 2, 2},
        {"2-1", {{2, 1}}, 2, 1},
        {"1-2 4-4", {{1, 2}, {4, 4}}, 4, 4},
        {"3", {{3, 0}}, 3, 0},               // no "-": no outputs
        {"x-2 1-1", {{0, 0}, {1, 1}}, 1, 1}, // not a number: both 0
        {"0-2", {{0, 2}}, 0, 2},
        {"-1-1", {{-1, 1}}, 0, 1},
    };
    for (const auto& c : cases)
    {
        TestPlugin plug(4, c.channels);
        ASSERT_EQ(plug.ChannelConfigCount(), static_cast<int>(c.configs.size())) << c.channels;
        for (int i = 0; i < plug.ChannelConfigCount(); ++i)
        {
            EXPECT_EQ(plug.ChannelConfigAt(i)->nIn, c.configs[i].first) << c.channels;
            EXPECT_EQ(plug.ChannelConfigAt(i)->nOut, c.configs[i].second) << c.channels;
        }
        EXPECT_EQ(plug.InputCount(), c.inputs) << c.channels;
        EXPECT_EQ(plug.OutputCount(), c.outputs) << c.channels;
    }
}

// Records the pointer arrays RenderDouble receives.
class PointerProbe : public TestPlugin
{
public:
    using TestPlugin::TestPlugin;
    void RenderDouble(double** inputs, double** outputs, int frames) override
    {
        seenInputs = inputs;
        seenOutputs = outputs;
        seenFrames = frames;
        ++renders;
    }
    double** seenInputs = reinterpret_cast<double**>(1);
    double** seenOutputs = reinterpret_cast<double**>(1);
    int seenFrames = -1;
    int renders = 0;
};

TEST(PluginBase, NoChannelStringGivesNoSlotsAndEmptyArrays)
{
    PointerProbe plug(4, nullptr);
    EXPECT_EQ(plug.ChannelConfigCount(), 0);
    EXPECT_EQ(plug.InputCount(), 0);
    EXPECT_EQ(plug.OutputCount(), 0);
    EXPECT_FALSE(plug.LegalIO(-1, -1));
    plug.SetMaxBlockSize(kFrames);
    plug.RunDouble(kFrames);
    EXPECT_EQ(plug.renders, 1);
    EXPECT_EQ(plug.seenInputs, nullptr);
    EXPECT_EQ(plug.seenOutputs, nullptr);
    EXPECT_EQ(plug.seenFrames, kFrames);
}

TEST(PluginBase, SetMaxBlockSizeZeroesOnlyOnChange)
{
    TestPlugin plug;
    plug.SetMaxBlockSize(kFrames);
    EXPECT_EQ(plug.BlockSize(), kFrames);
    GrowBuffer<double>& scratch = plug.InputSlot(1)->scratch;
    ASSERT_EQ(scratch.Count(), kFrames);
    for (int s = 0; s < kFrames; ++s)
        EXPECT_EQ(scratch.Get()[s], 0.0);
    scratch.Get()[3] = 7.0;
    plug.OutputSlot(0)->scratch.Get()[5] = 9.0;
    plug.SetMaxBlockSize(kFrames);
    EXPECT_EQ(scratch.Get()[3], 7.0);
    EXPECT_EQ(plug.OutputSlot(0)->scratch.Get()[5], 9.0);
    plug.SetMaxBlockSize(kFrames * 2);
    EXPECT_EQ(plug.BlockSize(), kFrames * 2);
    for (int i = 0; i < 2; ++i)
    {
        ASSERT_EQ(plug.InputSlot(i)->scratch.Count(), kFrames * 2);
        ASSERT_EQ(plug.OutputSlot(i)->scratch.Count(), kFrames * 2);
        for (int s = 0; s < kFrames * 2; ++s)
        {
            EXPECT_EQ(plug.InputSlot(i)->scratch.Get()[s], 0.0);
            EXPECT_EQ(plug.OutputSlot(i)->scratch.Get()[s], 0.0);
        }
    }
    plug.SetMaxBlockSize(2);
    EXPECT_EQ(plug.InputSlot(0)->scratch.Count(), 2);
}

TEST(PluginBase, DisconnectedSlotsFollowTheirScratchWhenItIsResized)
{
    TestPlugin plug;
    // Disconnected before any scratch exists: the entry is none.
    plug.ConnectInputs(0, 2, false);
    EXPECT_EQ(*plug.InputSlot(0)->bufferEntry, nullptr);
    plug.SetMaxBlockSize(kFrames);
    EXPECT_EQ(*plug.InputSlot(0)->bufferEntry, plug.InputSlot(0)->scratch.Get());
    plug.SetMaxBlockSize(4096);
    EXPECT_EQ(*plug.InputSlot(1)->bufferEntry, plug.InputSlot(1)->scratch.Get());
    EXPECT_EQ(*plug.OutputSlot(1)->bufferEntry, plug.OutputSlot(1)->scratch.Get());
}

TEST(PluginBase, BindFloatWithADisconnectedFirstInput)
{
    PointerProbe plug;
    plug.SetMaxBlockSize(kFrames);
    plug.ConnectInputs(0, 1, false);
    plug.ConnectInputs(1, 1, true);
    plug.ConnectOutputs(0, 2, true);
    EXPECT_FALSE(plug.IsInputConnected(0));
    EXPECT_TRUE(plug.IsInputConnected(1));
    HostBlock<float> in(1, 0.5f);
    HostBlock<float> out(2, 0.0f);
    plug.BindInputsFloat(0, 2, in.pointers.data(), kFrames);
    plug.BindOutputsFloat(0, 2, out.pointers.data());
    plug.RunFloat(kFrames);
    ASSERT_EQ(plug.renders, 1);
    // Slot 1 took the host's first buffer, widened into its scratch.
    EXPECT_EQ(plug.seenInputs[1], plug.InputSlot(1)->scratch.Get());
    for (int s = 0; s < kFrames; ++s)
        EXPECT_EQ(plug.seenInputs[1][s], 0.5 + s);
    // Slot 0 reads zeros from its scratch.
    EXPECT_EQ(plug.seenInputs[0], plug.InputSlot(0)->scratch.Get());
    EXPECT_EQ(Samples(plug.seenInputs[0], kFrames), std::vector<double>(kFrames, 0.0));
    EXPECT_EQ(plug.seenOutputs[0], plug.OutputSlot(0)->scratch.Get());
    EXPECT_EQ(plug.OutputSlot(1)->hostFloatOut, out.pointers[1]);
}

TEST(PluginBase, FloatBlockThroughCopyThrough)
{
    TestPlugin plug;
    plug.SetMaxBlockSize(kFrames);
    plug.ConnectInputs(0, 2, true);
    plug.ConnectOutputs(0, 2, true);
    HostBlock<float> in(2, 0.25f);
    HostBlock<float> out(2, -1.0f);
    plug.BindInputsFloat(0, 2, in.pointers.data(), kFrames);
    plug.BindOutputsFloat(0, 2, out.pointers.data());
    plug.RunFloat(kFrames);
    EXPECT_EQ(out.data, in.data);
    // Accumulating adds to what the host's buffers hold.
    plug.BindOutputsFloat(0, 2, out.pointers.data());
    plug.RunFloatAccumulate(kFrames);
    for (int c = 0; c < 2; ++c)
        for (int s = 0; s < kFrames; ++s)
            EXPECT_EQ(out.data[c][s], 2.0f * in.data[c][s]);
}

TEST(PluginBase, OutputNarrowingRoundsToNearest)
{
    TestPlugin plug(4, "1-1");
    plug.SetMaxBlockSize(1);
    plug.ConnectInputs(0, 1, true);
    plug.ConnectOutputs(0, 1, true);
    // 1 + 2^-24 + 2^-30 lies above the midpoint between 1 and the next float up.
    double value = 1.0 + 0x1p-24 + 0x1p-30;
    double* inPtr = &value;
    float result = 0.0f;
    float* outPtr = &result;
    plug.BindInputs(0, 1, &inPtr);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.RunFloat(1);
    EXPECT_EQ(result, 1.0f + 0x1p-23f);
}

TEST(PluginBase, OutputNarrowingNeverHandsOutSubnormals)
{
    TestPlugin plug(4, "1-1");
    plug.SetMaxBlockSize(6);
    plug.ConnectInputs(0, 1, true);
    plug.ConnectOutputs(0, 1, true);
    // Normal doubles that are subnormal as floats become +0.0; the smallest normal float
    // and everything above it pass unchanged.
    double values[6] = {-4.86023e-39, 1e-40, 0x1p-126, -1e-30, 0.25, -0.0};
    const float expected[6] = {0.0f, 0.0f, 0x1p-126f, -1e-30f, 0.25f, 0.0f};
    double* inPtr = values;
    float result[6];
    float* outPtr = result;
    plug.BindInputs(0, 1, &inPtr);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.RunFloat(6);
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(result[i], expected[i]) << i;
        EXPECT_FALSE(std::signbit(result[i]) && result[i] == 0.0f) << i;
    }
    // Accumulating: a sum that lands in the subnormal range is flushed too.
    float sums[6] = {5e-39f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    values[0] = -1e-39;
    outPtr = sums;
    plug.BindInputs(0, 1, &inPtr);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.RunFloatAccumulate(6);
    EXPECT_EQ(sums[0], 0.0f);
}

TEST(PluginBase, DoubleBlockBindsHostBuffersDirectly)
{
    PointerProbe plug;
    plug.SetMaxBlockSize(kFrames);
    plug.ConnectInputs(0, 2, true);
    plug.ConnectOutputs(0, 1, false);
    plug.ConnectOutputs(1, 1, true);
    HostBlock<double> in(2, 1.0);
    HostBlock<double> out(1, 0.0);
    plug.BindInputs(0, 2, in.pointers.data());
    plug.BindOutputs(0, 2, out.pointers.data());
    plug.RunDouble(kFrames);
    EXPECT_EQ(plug.seenInputs[0], in.pointers[0]);
    EXPECT_EQ(plug.seenInputs[1], in.pointers[1]);
    EXPECT_EQ(plug.seenOutputs[0], plug.OutputSlot(0)->scratch.Get());
    EXPECT_EQ(plug.seenOutputs[1], out.pointers[0]);
}

TEST(PluginBase, MissingHostBuffersBindToScratch)
{
    PointerProbe plug;
    plug.SetMaxBlockSize(kFrames);
    plug.ConnectInputs(0, 2, true);
    plug.ConnectOutputs(0, 2, true);
    plug.InputSlot(0)->scratch.Get()[0] = 5.0;
    double* buffers[2] = {nullptr, nullptr};
    plug.BindInputs(0, 2, buffers);
    plug.BindOutputs(0, 2, nullptr);
    plug.RunDouble(kFrames);
    EXPECT_EQ(plug.seenInputs[0], plug.InputSlot(0)->scratch.Get());
    EXPECT_EQ(plug.seenInputs[0][0], 0.0);
    EXPECT_EQ(plug.seenOutputs[1], plug.OutputSlot(1)->scratch.Get());
}

TEST(PluginBase, CopyThroughCopiesMatchingChannelsAndZeroesTheRest)
{
    const struct
    {
        const char* channels;
        int inputs, outputs;
    } cases[] = {{"2-1", 2, 1}, {"1-2", 1, 2}, {"2-2", 2, 2}};
    for (const auto& c : cases)
    {
        TestPlugin plug(0, c.channels);
        ASSERT_EQ(plug.InputCount(), c.inputs);
        ASSERT_EQ(plug.OutputCount(), c.outputs);
        HostBlock<double> in(c.inputs, 1.0);
        HostBlock<double> out(c.outputs, -7.0);
        plug.RenderDouble(in.pointers.data(), out.pointers.data(), kFrames);
        for (int o = 0; o < c.outputs; ++o)
        {
            const std::vector<double> expected =
                o < c.inputs ? in.data[o] : std::vector<double>(kFrames, 0.0);
            EXPECT_EQ(out.data[o], expected) << c.channels << " output " << o;
        }
        EXPECT_EQ(in.data, HostBlock<double>(c.inputs, 1.0).data); // inputs untouched

        HostBlock<float> inF(c.inputs, 1.0f);
        HostBlock<float> outF(c.outputs, -7.0f);
        plug.RenderFloat(inF.pointers.data(), outF.pointers.data(), kFrames);
        for (int o = 0; o < c.outputs; ++o)
        {
            const std::vector<float> expected =
                o < c.inputs ? inF.data[o] : std::vector<float>(kFrames, 0.0f);
            EXPECT_EQ(outF.data[o], expected) << c.channels << " output " << o;
        }
    }
}

TEST(PluginBase, RestrictToStereo)
{
    TestPlugin plug(4, "4-4");
    plug.SetMaxBlockSize(kFrames);
    plug.ConnectInputs(0, 4, true);
    plug.ConnectOutputs(0, 2, true);
    plug.RestrictToStereo();
    const bool inputs[4] = {true, true, false, false};
    const bool outputs[4] = {true, true, true, true};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(plug.IsInputConnected(i), inputs[i]) << i;
        EXPECT_EQ(plug.IsOutputConnected(i), outputs[i]) << i;
    }
    EXPECT_EQ(*plug.InputSlot(2)->bufferEntry, plug.InputSlot(2)->scratch.Get());
    EXPECT_EQ(*plug.InputSlot(3)->bufferEntry, plug.InputSlot(3)->scratch.Get());

    // Stereo or less: nothing changes.
    TestPlugin stereo;
    stereo.RestrictToStereo();
    EXPECT_FALSE(stereo.IsInputConnected(0));
    EXPECT_FALSE(stereo.IsOutputConnected(1));
}

TEST(PluginBase, ConnectClampsItsRange)
{
    TestPlugin plug(4, "4-4");
    plug.ConnectInputs(-2, 4, true);          // slots 0 and 1
    plug.ConnectOutputs(3, 0x7fffffff, true); // no overflow: slot 3 only
    const bool inputs[4] = {true, true, false, false};
    const bool outputs[4] = {false, false, false, true};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(plug.IsInputConnected(i), inputs[i]) << i;
        EXPECT_EQ(plug.IsOutputConnected(i), outputs[i]) << i;
    }
}

TEST(PluginBase, LatencyDelayOutput)
{
    LatencyDelay delay(1, 1, 3);
    double in[5] = {1, 2, 3, 4, 5};
    double out[5] = {-1, -1, -1, -1, -1};
    double* ins[1] = {in};
    double* outs[1] = {out};
    delay.Process(ins, outs, 5);
    EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{0, 0, 0, 1, 2}));
    // The line carries over to the next block.
    double next[2] = {6, 7};
    double* nexts[1] = {next};
    delay.Process(nexts, nexts, 2); // in place
    EXPECT_EQ(next[0], 3.0);
    EXPECT_EQ(next[1], 4.0);
}

TEST(PluginBase, LatencyDelayTouchesOnlyChannelsOfBothCounts)
{
    LatencyDelay delay(2, 1, 2);
    double in0[3] = {1, 2, 3}, in1[3] = {4, 5, 6};
    double out0[3] = {}, out1[3] = {9, 9, 9};
    double* ins[2] = {in0, in1};
    double* outs[2] = {out0, out1};
    delay.Process(ins, outs, 3);
    EXPECT_EQ(std::vector<double>(out0, out0 + 3), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(std::vector<double>(out1, out1 + 3), (std::vector<double>{9, 9, 9}));
}

TEST(PluginBase, BypassUsesTheDelayOnlyWithLatency)
{
    PointerProbe plug(4, "1-1", 1, 3);
    plug.SetMaxBlockSize(5);
    plug.ConnectInputs(0, 1, true);
    plug.ConnectOutputs(0, 1, true);
    float in[5] = {1, 2, 3, 4, 5};
    float out[5] = {};
    float* inPtr = in;
    float* outPtr = out;

    // No delay yet: the base copy-through, never the effect's render.
    plug.BindInputsFloat(0, 1, &inPtr, 5);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.BypassFloat(5);
    EXPECT_EQ(plug.renders, 0);
    EXPECT_EQ(std::vector<float>(out, out + 5), std::vector<float>(in, in + 5));

    plug.CreateLatencyDelay(1, 1, 3);
    plug.BindInputsFloat(0, 1, &inPtr, 5);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.BypassFloat(5);
    EXPECT_EQ(plug.renders, 0);
    EXPECT_EQ(std::vector<float>(out, out + 5), (std::vector<float>{0, 0, 0, 1, 2}));

    // A new latency resizes and clears the line.
    plug.SetLatencySamples(1);
    EXPECT_EQ(plug.Latency(), 1);
    EXPECT_EQ(plug.Delay()->Length(), 1);
    plug.BindInputsFloat(0, 1, &inPtr, 5);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.BypassFloat(5);
    EXPECT_EQ(std::vector<float>(out, out + 5), (std::vector<float>{0, 1, 2, 3, 4}));

    // Latency 0 goes back to the copy-through even with a delay.
    plug.SetLatencySamples(0);
    plug.BindInputsFloat(0, 1, &inPtr, 5);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.BypassFloat(5);
    EXPECT_EQ(std::vector<float>(out, out + 5), std::vector<float>(in, in + 5));
}

TEST(PluginBase, BypassDelayNeverReadsPastTheSlotArrays)
{
    TestPlugin plug(4, "1-1", 1, 2);
    plug.SetMaxBlockSize(4);
    plug.ConnectInputs(0, 1, true);
    plug.ConnectOutputs(0, 1, true);
    plug.CreateLatencyDelay(8, 8, 2); // more channels than slots: limited to one
    double in[4] = {1, 2, 3, 4};
    double out[4] = {};
    double* inPtr = in;
    double* outPtr = out;
    plug.BindInputs(0, 1, &inPtr);
    plug.BindOutputs(0, 1, &outPtr);
    plug.BypassDouble(4);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{0, 0, 1, 2}));
}

TEST(PluginBase, FloatFramesAreLimitedToTheBlockSize)
{
    TestPlugin plug(4, "1-1");
    plug.SetMaxBlockSize(4);
    plug.ConnectInputs(0, 1, true);
    plug.ConnectOutputs(0, 1, true);
    std::vector<float> in(16, 1.0f), out(16, -1.0f);
    float* inPtr = in.data();
    float* outPtr = out.data();
    plug.BindInputsFloat(0, 1, &inPtr, 16);
    plug.BindOutputsFloat(0, 1, &outPtr);
    plug.RunFloat(16);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 4), std::vector<float>(4, 1.0f));
    EXPECT_EQ(std::vector<float>(out.begin() + 4, out.end()), std::vector<float>(12, -1.0f));
}

TEST(PluginBase, ClearScratch)
{
    TestPlugin plug;
    plug.SetMaxBlockSize(kFrames);
    plug.InputSlot(0)->scratch.Get()[kFrames - 1] = 1.0;
    plug.OutputSlot(1)->scratch.Get()[0] = 1.0;
    plug.ClearScratch();
    EXPECT_EQ(plug.InputSlot(0)->scratch.Get()[kFrames - 1], 0.0);
    EXPECT_EQ(plug.OutputSlot(1)->scratch.Get()[0], 0.0);
}

TEST(PluginBase, IdentifyHost)
{
    const struct
    {
        const char* name;
        int kind;
    } cases[] = {
        {"Ableton Live 9", 9},
        {"REAPER64", 1},
        {"Digital Performer", 23},
        {"Pro Tools", 0},
        {"ProTools", 2},
        {"Cubase with Nuendo inside", 3},
        {"Nuendo", 4},
        {"Cakewalk SONAR", 5},
        {"Samplitude", 8},
        {"Fruity Wrapper", 7},
        {"Melodyne", 12},
        {"vstmanlib", 13},
        {"AULab", 14},
        {"GarageBand", 22},
        {"Forte", 15},
        {"Chainer", 16},
        {"Adobe Audition", 17},
        {"Orion", 18},
        {"SAWStudio", 20},
        {"Logic Pro", 21},
        {"AudioMulch", 25},
        {"PreSonus Studio One", 26},
        {"VST3PluginTestHost", 27},
        {"Ardour", 28},
        {"Standalone", 24},
        {"Bitwig Studio", 0},
        {"", 0},
        {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PluginBase::IdentifyHost(c.name), c.kind) << (c.name ? c.name : "(none)");
}

TEST(PluginBase, LongHostNamesAreIdentifiedFromTheirFirst255Characters)
{
    std::string name(250, 'x');
    name += "Reaper"; // starts at 250, ends at 256: cut off
    EXPECT_EQ(PluginBase::IdentifyHost(name.c_str()), 0);
    std::string early(249, 'x');
    early += "Reaper" + std::string(1000, 'y'); // ends at 255: seen
    EXPECT_EQ(PluginBase::IdentifyHost(early.c_str()), 1);
}

TEST(PluginBase, SetHostAndVersions)
{
    TestPlugin plug;
    plug.SetHost("Cubase", 0x70001);
    EXPECT_EQ(plug.HostKind(), 3);
    EXPECT_EQ(plug.HostVersion(false), 0x70001);
    EXPECT_EQ(plug.HostVersion(true), 70001);
    EXPECT_EQ(plug.EffectVersion(false), 0x10201);
    EXPECT_EQ(plug.EffectVersion(true), 10201);
    const struct
    {
        int packed;
        const char* text;
        int decimal;
    } cases[] = {{0x10201, "v1.2.1", 10201}, {0x0A0B0C, "v10.11.12", 101112}, {0, "v0.0.0", 0}};
    for (const auto& c : cases)
    {
        char text[PluginBase::kVersionTextSize];
        PluginBase::VersionText(c.packed, text);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(PluginBase::DecimalVersion(c.packed), c.decimal);
    }
    char small[4];
    PluginBase::VersionText(0x10201, small, sizeof small);
    EXPECT_STREQ(small, "v1.");
}

TEST(PluginBase, FormatNames)
{
    const char* names[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone", "", ""};
    const int codes[] = {0, 1, 2, 3, 4, 5, 6, -1};
    for (int i = 0; i < 8; ++i)
    {
        TestPlugin plug(0, nullptr, 0, 0, codes[i]);
        EXPECT_STREQ(plug.FormatName(), names[i]) << codes[i];
        EXPECT_EQ(plug.PluginFormat(), codes[i]);
    }
}

TEST(PluginBase, NamesAreTruncatedToTheirFields)
{
    const std::string longName(300, 'g');
    struct LongPlugin : public PluginBase
    {
        explicit LongPlugin(const char* n)
            : PluginBase(0, nullptr, 0, n, n, n, 0, 0, 0, 0, false, false, false, 0)
        {
        }
        void HostBeginParamEdit(int) override {}
        void HostSetParamValue(int, double) override {}
        void HostEndParamEdit(int) override {}
        void HostProgramChanged() override {}
        int HostSamplePosition() override { return 0; }
        double HostTempo() override { return 0; }
        void HostTimeSignature(int*, int*) override {}
        void HostTransport(TransportInfo*) override {}
        void ResizeEditor(int, int) override {}
        bool SendMidiToHost(const MidiEvent*) override { return false; }
    } plug(longName.c_str());
    EXPECT_EQ(std::string(plug.EffectName()), longName.substr(0, 127));
    EXPECT_EQ(std::string(plug.ProductName()), longName.substr(0, 127));
    EXPECT_EQ(std::string(plug.MakerName()), longName.substr(0, 127));
}

TEST(PluginBase, SetParameterFromGUI)
{
    TestPlugin plug;
    plug.SetUpEffectParams();
    plug.SetParameterFromGUI(1, 0.5);
    EXPECT_DOUBLE_EQ(plug.ParamAt(1)->Value(), 258.75);
    ASSERT_EQ(plug.hostValues.size(), 1u);
    EXPECT_EQ(plug.hostValues[0].first, 1);
    EXPECT_EQ(plug.hostValues[0].second, 0.5);
    EXPECT_EQ(plug.paramChanges, std::vector<int>{1});
    // An index outside the list does nothing.
    plug.SetParameterFromGUI(4, 0.5);
    plug.SetParameterFromGUI(-1, 0.5);
    EXPECT_EQ(plug.hostValues.size(), 1u);
    EXPECT_EQ(plug.paramChanges.size(), 1u);
}

TEST(PluginBase, SmallBaseBehaviours)
{
    TestPlugin plug;
    plug.NotifyAllParamsChanged();
    EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 1, 2, 3}));

    MidiEvent note;
    note.offset = 3;
    note.status = 0x90;
    note.data1 = 60;
    note.data2 = 100;
    plug.HandleMidiEvent(&note);
    ASSERT_EQ(plug.midiSent.size(), 1u);
    EXPECT_EQ(plug.midiSent[0].data1, 60);
    SysexBlock sysex;
    EXPECT_FALSE(plug.SendSysexToHost(&sysex));

    char label[8] = "xxxxxxx";
    EXPECT_FALSE(plug.GetMidiNoteLabel(60, label));
    EXPECT_STREQ(label, "");
    EXPECT_FALSE(plug.HostIsOffline());
    EXPECT_FALSE(plug.SpareQuery());

    plug.SetSampleRate(48000.0);
    plug.tempo = 120.0;
    EXPECT_DOUBLE_EQ(plug.SamplesPerBeat(), 24000.0);
    plug.tempo = 0.0;
    EXPECT_EQ(plug.SamplesPerBeat(), 0.0);
}

namespace
{
// A control that records the values the graphics core hands it.
class RecordingControl : public Control
{
public:
    using Control::Control;
    bool Render(Graphics&) override { return false; }
    void SetValueFromHost(double normalized) override
    {
        Control::SetValueFromHost(normalized);
        values.push_back(normalized);
    }
    std::vector<double> values;
};

class WindowlessEditor : public Graphics
{
public:
    WindowlessEditor(PluginBase* plug, bool* deleted) : Graphics(plug, 224, 434, 25), deleted(deleted) {}
    ~WindowlessEditor() override { *deleted = true; }
    void* AttachToParent(void*) override { return nullptr; }
    void DetachWindow() override {}
    bool* deleted;
};
} // namespace

TEST(PluginBase, AttachEditorSendsNormalizedValuesAndRefreshSendsPlainOnes)
{
    bool deleted = false;
    {
        TestPlugin plug;
        plug.SetUpEffectParams();
        auto* editor = new WindowlessEditor(&plug, &deleted);
        auto* freq = static_cast<RecordingControl*>(
            editor->AddControl(new RecordingControl(&plug, {0, 0, 10, 10}, 1)));
        plug.AttachEditor(nullptr);
        EXPECT_EQ(plug.Editor(), nullptr);
        plug.AttachEditor(editor);
        EXPECT_EQ(plug.Editor(), editor);
        EXPECT_NE(editor->Surface(), nullptr);
        ASSERT_EQ(freq->values.size(), 1u);
        EXPECT_NEAR(freq->values[0], std::cbrt((80.0 - 10.0) / 1990.0), 1e-12);

        plug.ParamAt(1)->SetFromNormalized(0.5);
        plug.RefreshEditorParams();
        ASSERT_EQ(freq->values.size(), 2u);
        EXPECT_NEAR(freq->values[1], 0.5, 1e-12);

        // Loading a preset refreshes the editor too.
        plug.FillEmptyPresets("Empty", 1);
        ASSERT_TRUE(plug.LoadPreset(0));
        EXPECT_EQ(freq->values.size(), 3u);
        EXPECT_FALSE(deleted);
    }
    EXPECT_TRUE(deleted); // the plug-in deletes its editor
}

TEST(PluginBase, AttachingASecondEditorDeletesTheFirst)
{
    bool firstDeleted = false;
    bool secondDeleted = false;
    {
        TestPlugin plug;
        plug.AttachEditor(new WindowlessEditor(&plug, &firstDeleted));
        plug.AttachEditor(new WindowlessEditor(&plug, &secondDeleted));
        EXPECT_TRUE(firstDeleted);
        EXPECT_FALSE(secondDeleted);
    }
    EXPECT_TRUE(secondDeleted);
}
