// Host threads at once on one instance: the audio thread processing 32-frame blocks while
// another thread automates parameters, sets and reads chunks and switches programs, and a
// third reads display texts and, as the editor does, the meters' levels without the lock.
// Run under the sanitizers (the thread sanitizer among them) this shows the instance lock
// covers every path and the levels' lock-free publication is race-free; in any build it
// shows there is no deadlock and every value stays in range.

#include "effect/Grovane.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace
{

std::atomic<int> gAutomations{0};
std::atomic<const Grovane*> gInstance{nullptr};

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterAutomate)
        ++gAutomations;
    return opcode == audioMasterVersion ? 2400 : 0;
}

PluginVST* Create(audioMasterCallback host)
{
    Grovane* g = new Grovane(host);
    gInstance = g;
    return g;
}

} // namespace

TEST(VstThreads, AudioAutomationChunksAndProgramsAtOnce)
{
    AEffect* effect = VstPluginEntry(Host, Create);
    ASSERT_NE(effect, nullptr);
    auto dispatch =
        [effect](VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* data = nullptr, float opt = 0.0f)
    { return effect->dispatcher(effect, op, index, value, data, opt); };
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effSetBlockSize, 0, 32);
    dispatch(effMainsChanged, 0, 1);

    constexpr int kBlocks = 3000;
    std::atomic<bool> audioDone{false};
    std::atomic<int> hostRounds{0}, textRounds{0};
    std::thread audio(
        [&]
        {
            // Lets the other threads finish even when an assertion ends this one early.
            struct Done
            {
                std::atomic<bool>& flag;
                ~Done() { flag = true; }
            } done{audioDone};
            std::vector<float> l(32), r(32);
            std::vector<double> dl(32), dr(32);
            // Runs until the other threads have had their share too, with an upper bound so a
            // stalled thread fails the test instead of hanging it.
            for (int b = 0; b < kBlocks || ((hostRounds < 100 || textRounds < 100) && b < 100 * kBlocks); ++b)
            {
                for (int i = 0; i < 32; ++i)
                    l[i] = r[i] = static_cast<float>(std::sin((b * 32 + i) * 0.05));
                float* io[] = {l.data(), r.data()};
                effect->processReplacing(effect, io, io, 32);
                for (int i = 0; i < 32; ++i)
                {
                    ASSERT_TRUE(std::isfinite(l[i]));
                    dl[i] = dr[i] = std::sin((b * 32 + i) * 0.05);
                }
                double* dio[] = {dl.data(), dr.data()};
                effect->processDoubleReplacing(effect, dio, dio, 32);
                for (int i = 0; i < 32; ++i)
                    ASSERT_TRUE(std::isfinite(dl[i]));
                std::this_thread::yield(); // a real audio thread waits for its next period
            }
        });
    std::thread host(
        [&]
        {
            std::mt19937 rng(7);
            std::uniform_real_distribution<float> unit(0.0f, 1.0f);
            while (!audioDone)
            {
                effect->setParameter(effect, static_cast<VstInt32>(rng() % 4), unit(rng));
                void* data = nullptr;
                const VstIntPtr size = dispatch(effGetChunk, 1, 0, &data);
                if (size > 0)
                {
                    std::vector<unsigned char> copy(static_cast<const unsigned char*>(data),
                                                    static_cast<const unsigned char*>(data) + size);
                    dispatch(effSetChunk, 1, size, copy.data());
                }
                dispatch(effSetProgram, 0, 0);
                const VstIntPtr bankSize = dispatch(effGetChunk, 0, 0, &data);
                if (bankSize > 0)
                {
                    std::vector<unsigned char> bank(static_cast<const unsigned char*>(data),
                                                    static_cast<const unsigned char*>(data) + bankSize);
                    dispatch(effSetChunk, 0, bankSize, bank.data());
                }
                ++hostRounds;
                std::this_thread::yield();
            }
        });
    std::thread texts(
        [&]
        {
            char text[64];
            for (; !audioDone; ++textRounds)
                for (int i = 0; i < 4; ++i)
                {
                    dispatch(effGetParamDisplay, i, 0, text);
                    EXPECT_LT(std::strlen(text), sizeof text);
                    const float n = effect->getParameter(effect, i);
                    EXPECT_TRUE(n >= 0.0f && n <= 1.0f);
                    const double in = gInstance.load()->InputLevel(), out = gInstance.load()->OutputLevel();
                    EXPECT_TRUE(std::isfinite(in) && in >= 0.0);
                    EXPECT_TRUE(std::isfinite(out) && out >= 0.0);
                    std::this_thread::yield();
                }
        });
    audio.join();
    host.join();
    texts.join();

    EXPECT_GE(hostRounds.load(), 100);
    EXPECT_GE(textRounds.load(), 100);
    // Host automation is never sent for host-originated changes.
    EXPECT_EQ(gAutomations.load(), 0);
    for (int i = 0; i < 4; ++i)
    {
        const float n = effect->getParameter(effect, i);
        EXPECT_TRUE(n >= 0.0f && n <= 1.0f);
    }
    dispatch(effClose);
}
