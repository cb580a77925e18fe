// The audio thread runs blocks while the editor thread moves a parameter and restores
// state. Both go through the instance lock: no deadlock, no torn state seen by a block.
#include "core/tests/TestPlugin.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{
constexpr int kFrames = 64;
constexpr int kBlocks = 20000;
constexpr int kEdits = 5000;
constexpr int kRestored = 1000; // parameters 0..999 come from chunks, the last from the editor

// Copies through and checks, once per block, that the restored parameters were all set
// by the same restore: a restore that ran without the lock would show a mix.
class ConsistencyPlugin : public TestPlugin
{
public:
    ConsistencyPlugin() : TestPlugin(kRestored + 1, "1-1 2-2", 1) { record = false; }

    void RenderDouble(double** inputs, double** outputs, int frames) override
    {
        const double first = ParamAt(0)->Value();
        for (int i = 1; i < kRestored; ++i)
            if (ParamAt(i)->Value() != first)
                ++tornBlocks;
        ++blocks;
        PluginBase::RenderDouble(inputs, outputs, frames);
    }

    int blocks = 0;     // [lock held]
    int tornBlocks = 0; // [lock held]
};

void FillChunk(StateChunk& chunk, double value)
{
    for (int i = 0; i < kRestored + 1; ++i)
        chunk.AppendDouble(value);
}
} // namespace

TEST(PluginThreads, BlocksRunWhileTheEditorSetsParametersAndRestoresState)
{
    ConsistencyPlugin plug;
    plug.SetMaxBlockSize(kFrames);
    plug.ConnectInputs(0, 2, true);
    plug.ConnectOutputs(0, 2, true);
    for (int i = 0; i < plug.ParamCount(); ++i)
        plug.ParamAt(i)->SetValue(0.5);
    plug.FillEmptyPresets("Half", 1);

    StateChunk low;
    StateChunk high;
    FillChunk(low, 0.25);
    FillChunk(high, 0.75);

    std::vector<std::vector<float>> in(2, std::vector<float>(kFrames));
    for (int c = 0; c < 2; ++c)
        for (int s = 0; s < kFrames; ++s)
            in[c][s] = static_cast<float>(c + 1) * 0.001f * static_cast<float>(s);
    int wrongBlocks = 0;

    std::thread audio(
        [&]
        {
            std::vector<std::vector<float>> out(2, std::vector<float>(kFrames));
            float* ins[2] = {in[0].data(), in[1].data()};
            float* outs[2] = {out[0].data(), out[1].data()};
            for (int b = 0; b < kBlocks; ++b)
            {
                {
                    PlugLockGuard lock(plug.Mutex());
                    plug.BindInputsFloat(0, 2, ins, kFrames);
                    plug.BindOutputsFloat(0, 2, outs);
                    plug.RunFloat(kFrames);
                }
                if (out != in)
                    ++wrongBlocks;
            }
        });

    std::thread editor(
        [&]
        {
            for (int e = 0; e < kEdits; ++e)
            {
                plug.SetParameterFromGUI(kRestored, (e % 100) / 100.0);
                switch (e % 3)
                {
                case 0:
                    plug.UnserializeParams(&low, 0);
                    break;
                case 1:
                    plug.UnserializeParams(&high, 0);
                    break;
                default:
                    plug.LoadPreset(0);
                    break;
                }
            }
        });

    audio.join();
    editor.join();
    EXPECT_EQ(plug.blocks, kBlocks);
    EXPECT_EQ(plug.tornBlocks, 0);
    EXPECT_EQ(wrongBlocks, 0);
    // The editor's last restore decides the final values.
    const double last[] = {0.25, 0.75, 0.5};
    EXPECT_EQ(plug.ParamAt(0)->Value(), last[(kEdits - 1) % 3]);
}
