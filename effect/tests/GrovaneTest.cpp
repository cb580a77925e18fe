#include "effect/Grovane.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{

constexpr double kB0At80Hz = 0.9961827502081985;
constexpr double kRelease = 0.000056687735593197175;

// Two channels of input and output buffers with the pointer arrays a host hands over.
struct StereoBlock
{
    explicit StereoBlock(int frames) : inL(frames), inR(frames), outL(frames, 0.0), outR(frames, 0.0) {}

    double** In()
    {
        in[0] = inL.data();
        in[1] = inR.data();
        return in;
    }
    double** Out()
    {
        out[0] = outL.data();
        out[1] = outR.data();
        return out;
    }
    int Frames() const { return static_cast<int>(inL.size()); }

    std::vector<double> inL, inR, outL, outR;
    double* in[2] = {};
    double* out[2] = {};
};

// A deterministic test signal: two sines and a little pseudo-random noise.
double Signal(int i, int channel)
{
    unsigned s = static_cast<unsigned>(i) * 2654435761u + static_cast<unsigned>(channel) * 40503u;
    s ^= s >> 15;
    const double noise = static_cast<double>(s % 2001u) / 1000.0 - 1.0;
    return 0.5 * std::sin(i * 0.013 + channel) + 0.3 * std::sin(i * 0.21) + 0.1 * noise;
}

StereoBlock SignalBlock(int frames, int offset = 0)
{
    StereoBlock b(frames);
    for (int i = 0; i < frames; ++i)
    {
        b.inL[i] = Signal(offset + i, 0);
        b.inR[i] = Signal(offset + i, 1);
    }
    return b;
}

// Runs b through the plug-in in blocks of at most 1024 frames, as a host would.
void Process(Grovane& g, StereoBlock& b)
{
    for (int start = 0; start < b.Frames(); start += TestAdapter::kBlockSize)
    {
        const int n = std::min(TestAdapter::kBlockSize, b.Frames() - start);
        double* in[2] = {b.inL.data() + start, b.inR.data() + start};
        double* out[2] = {b.outL.data() + start, b.outR.data() + start};
        g.Process(in, out, n);
    }
}

// A host's parameter change: set the plain value, then tell the effect.
void SetParam(Grovane& g, int index, double value)
{
    PlugLockGuard lock(g.Mutex());
    g.ParamAt(index)->SetValue(value);
    g.ParamChanged(index);
}

void ExpectSameMemory(const ResonantBiquad& a, const ResonantBiquad& b)
{
    EXPECT_EQ(a.X1(), b.X1());
    EXPECT_EQ(a.X2(), b.X2());
    EXPECT_EQ(a.Y1(), b.Y1());
    EXPECT_EQ(a.Y2(), b.Y2());
}

void ExpectClearedMemory(const ResonantBiquad& f)
{
    EXPECT_EQ(f.X1(), 0.0);
    EXPECT_EQ(f.X2(), 0.0);
    EXPECT_EQ(f.Y1(), 0.0);
    EXPECT_EQ(f.Y2(), 0.0);
}

void ExpectSameCoefficients(const ResonantBiquad& a, const ResonantBiquad& b)
{
    EXPECT_EQ(a.B0(), b.B0());
    EXPECT_EQ(a.B1(), b.B1());
    EXPECT_EQ(a.B2(), b.B2());
    EXPECT_EQ(a.A1(), b.A1());
    EXPECT_EQ(a.A2(), b.A2());
}

class GrovaneTest : public testing::Test
{
protected:
    TestHost host;
    Grovane g{&host};
};

TEST_F(GrovaneTest, HandsItsConfigurationToTheCore)
{
    EXPECT_STREQ(g.EffectName(), "Grovane");
    EXPECT_STREQ(g.ProductName(), "");
    EXPECT_STREQ(g.MakerName(), "Tessaly");
    EXPECT_EQ(g.EffectVersion(false), 0x10201);
    EXPECT_EQ(g.UniqueId(), 0x4772766E);
    EXPECT_EQ(g.MakerId(), 0x54737961);
    EXPECT_EQ(g.Latency(), 0);
    EXPECT_FALSE(g.DoesMidi());
    EXPECT_FALSE(g.DoesChunks());
    EXPECT_FALSE(g.IsInstrument());
    ASSERT_EQ(g.ChannelConfigCount(), 2);
    EXPECT_EQ(g.ChannelConfigAt(0)->nIn, 1);
    EXPECT_EQ(g.ChannelConfigAt(0)->nOut, 1);
    EXPECT_EQ(g.ChannelConfigAt(1)->nIn, 2);
    EXPECT_EQ(g.ChannelConfigAt(1)->nOut, 2);
    EXPECT_EQ(g.InputCount(), 2);
    EXPECT_EQ(g.OutputCount(), 2);
    // The one preset slot holds the default state under the name "-".
    ASSERT_EQ(g.PresetCount(), 1);
    EXPECT_TRUE(g.PresetAt(0)->initialized);
    EXPECT_STREQ(g.PresetName(0), "-");
    EXPECT_FALSE(g.AboutVisible());
    // Constructing the effect asks nothing of the host.
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(GrovaneTest, SetsUpItsFourParameters)
{
    struct Expected
    {
        const char* name;
        const char* label;
        double defaultValue, min, max, step, shape;
        int precision;
    };
    const Expected expected[] = {
        {"Gain", "dB", 0.0, -36.0, 36.0, 0.01, 1.0, 2},
        {"Frequency", "Hz", 80.0, 10.0, 2000.0, 0.01, 3.0, 2},
        {"Amplitude", "Q", 1.5, 0.707, 10.0, 0.01, 3.6, 2},
        {"Mix", "L->R", 100.0, 0.0, 100.0, 0.1, 1.0, 1},
    };
    ASSERT_EQ(g.ParamCount(), 4);
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(expected[i].name);
        const PluginParam* p = g.ParamAt(i);
        EXPECT_EQ(p->Type(), PluginParam::kTypeDouble);
        EXPECT_STREQ(p->ParamName(), expected[i].name);
        EXPECT_STREQ(p->UnitLabel(), expected[i].label);
        EXPECT_STREQ(p->GroupName(), "");
        EXPECT_EQ(p->DefaultValue(), expected[i].defaultValue);
        EXPECT_EQ(p->Value(), expected[i].defaultValue);
        EXPECT_EQ(p->Min(), expected[i].min);
        EXPECT_EQ(p->Max(), expected[i].max);
        EXPECT_EQ(p->Step(), expected[i].step);
        EXPECT_EQ(p->Shape(), expected[i].shape);
        EXPECT_EQ(p->Precision(), expected[i].precision);
    }
}

TEST_F(GrovaneTest, ConstructionTakesTheParametersIntoTheAudioPath)
{
    for (const ResonantBiquad* f : {&g.LeftFilter(), &g.RightFilter()})
    {
        EXPECT_EQ(f->Type(), BiquadType::HighPass);
        EXPECT_EQ(f->Frequency(), 80.0);
        EXPECT_EQ(f->Q(), 1.5);
        EXPECT_EQ(f->Gain(), 0.0);
        EXPECT_EQ(f->SampleRate(), 44100.0);
        EXPECT_EQ(f->B0(), kB0At80Hz);
        EXPECT_EQ(f->B2(), kB0At80Hz);
        ExpectClearedMemory(*f);
    }
    EXPECT_EQ(g.GainFactor(), 1.0);
    EXPECT_EQ(g.WetAmount(), 1.0);
    EXPECT_EQ(g.DryAmount(), 0.0);
    EXPECT_EQ(g.InputLevel(), 0.0);
    EXPECT_EQ(g.OutputLevel(), 0.0);
    for (const LevelFollower* f : {&g.InputFollower(), &g.OutputFollower()})
    {
        EXPECT_EQ(f->AttackCoef(), 1.0);
        EXPECT_EQ(f->ReleaseCoef(), kRelease);
    }
}

TEST_F(GrovaneTest, DefaultsTurnAStepIntoTheResonantHighPassResponse)
{
    StereoBlock b(3000);
    std::fill(b.inL.begin(), b.inL.end(), 1.0);
    std::fill(b.inR.begin(), b.inR.end(), 1.0);
    double* in[2] = {b.inL.data(), b.inR.data()};
    double* out[2] = {b.outL.data(), b.outR.data()};
    g.Process(in, out, 1);
    EXPECT_EQ(g.InputLevel(), 1.0); // instant attack
    in[0] += 1, in[1] += 1, out[0] += 1, out[1] += 1;
    g.Process(in, out, 1000);
    in[0] += 1000, in[1] += 1000, out[0] += 1000, out[1] += 1000;
    g.Process(in, out, 1999);

    for (const std::vector<double>* out : {&b.outL, &b.outR})
    {
        EXPECT_EQ((*out)[0], 0.9961827502081985);
        EXPECT_EQ((*out)[1], 0.9885129290121634);
        EXPECT_EQ((*out)[2], 0.9807732305791512);
        const auto lowest = std::min_element(out->begin(), out->end());
        EXPECT_EQ(lowest - out->begin(), 229);
        EXPECT_NEAR(*lowest, -0.4188, 0.00005);
        EXPECT_LT(std::fabs(out->back()), 0.01); // decaying toward 0
    }
    EXPECT_EQ(b.outL, b.outR);
    EXPECT_EQ(g.InputLevel(), 1.0);
}

TEST_F(GrovaneTest, FullMixOutputsTheFilteredSignalTimesTheGain)
{
    SetParam(g, Grovane::kFrequency, 300.0);
    SetParam(g, Grovane::kAmplitude, 4.0);
    SetParam(g, Grovane::kGain, -12.0);
    ResonantBiquad left, right;
    left.Configure(300.0, 0.0, 4.0, BiquadType::HighPass, 44100);
    right.Configure(300.0, 0.0, 4.0, BiquadType::HighPass, 44100);
    const double gain = std::exp(-12.0 * 0.1151292546497);
    EXPECT_EQ(g.GainFactor(), gain);

    StereoBlock b = SignalBlock(2500);
    Process(g, b);
    for (int i = 0; i < b.Frames(); ++i)
    {
        ASSERT_EQ(b.outL[i], left.Tick(b.inL[i]) * gain) << "sample " << i;
        ASSERT_EQ(b.outR[i], right.Tick(b.inR[i]) * gain) << "sample " << i;
    }
}

TEST_F(GrovaneTest, GainParameterGivesTheExactLinearFactors)
{
    const struct
    {
        double db, factor;
    } cases[] = {{-36.0, 0.015848931924612435}, {0.0, 1.0}, {36.0, 63.09573444801415}};
    for (const auto& c : cases)
    {
        SetParam(g, Grovane::kGain, c.db);
        EXPECT_EQ(g.GainFactor(), c.factor) << c.db << " dB";
    }
}

TEST_F(GrovaneTest, ZeroMixPassesTheDrySignalWhileTheFiltersKeepRunning)
{
    TestHost otherHost;
    Grovane wet(&otherHost);
    SetParam(g, Grovane::kMix, 0.0);
    SetParam(g, Grovane::kGain, 6.0);
    SetParam(wet, Grovane::kGain, 6.0);
    EXPECT_EQ(g.WetAmount(), 0.0);
    EXPECT_EQ(g.DryAmount(), 1.0);

    StereoBlock dry = SignalBlock(1500);
    StereoBlock full = SignalBlock(1500);
    Process(g, dry);
    Process(wet, full);
    const double gain = g.GainFactor();
    for (int i = 0; i < dry.Frames(); ++i)
    {
        ASSERT_EQ(dry.outL[i], dry.inL[i] * gain) << "sample " << i;
        ASSERT_EQ(dry.outR[i], dry.inR[i] * gain) << "sample " << i;
    }
    ExpectSameMemory(g.LeftFilter(), wet.LeftFilter());
    ExpectSameMemory(g.RightFilter(), wet.RightFilter());

    // Raising the mix continues from the settled filter state.
    SetParam(g, Grovane::kMix, 100.0);
    StereoBlock after = SignalBlock(800, 1500);
    StereoBlock reference = SignalBlock(800, 1500);
    Process(g, after);
    Process(wet, reference);
    EXPECT_EQ(after.outL, reference.outL);
    EXPECT_EQ(after.outR, reference.outR);
}

TEST_F(GrovaneTest, NoFramesChangeNothing)
{
    StereoBlock warm = SignalBlock(300);
    Process(g, warm);
    const double inLevel = g.InputLevel(), outLevel = g.OutputLevel();
    const ResonantBiquad left = g.LeftFilter(), right = g.RightFilter();
    for (int frames : {0, -1, -1024})
    {
        SCOPED_TRACE(frames);
        StereoBlock b = SignalBlock(16);
        std::fill(b.outL.begin(), b.outL.end(), 7.0);
        std::fill(b.outR.begin(), b.outR.end(), -7.0);
        g.RenderDouble(b.In(), b.Out(), frames);
        EXPECT_EQ(b.outL, std::vector<double>(16, 7.0));
        EXPECT_EQ(b.outR, std::vector<double>(16, -7.0));
        EXPECT_EQ(g.InputLevel(), inLevel);
        EXPECT_EQ(g.OutputLevel(), outLevel);
        ExpectSameMemory(g.LeftFilter(), left);
        ExpectSameMemory(g.RightFilter(), right);
    }
}

TEST_F(GrovaneTest, InPlaceBuffersGiveTheSameResult)
{
    TestHost otherHost;
    Grovane twin(&otherHost);
    SetParam(g, Grovane::kMix, 60.0);
    SetParam(twin, Grovane::kMix, 60.0);
    StereoBlock separate = SignalBlock(1024);
    StereoBlock inPlace = SignalBlock(1024);
    g.Process(separate.In(), separate.Out(), 1024);
    double* buffers[2] = {inPlace.inL.data(), inPlace.inR.data()};
    twin.Process(buffers, buffers, 1024);
    EXPECT_EQ(inPlace.inL, separate.outL);
    EXPECT_EQ(inPlace.inR, separate.outR);
    EXPECT_EQ(twin.OutputLevel(), g.OutputLevel());
}

TEST_F(GrovaneTest, MonoConfigurationProcessesTheFirstChannel)
{
    TestHost otherHost;
    Grovane stereo(&otherHost);
    {
        PlugLockGuard lock(g.Mutex());
        g.ConnectInputs(1, 1, false);
        g.ConnectOutputs(1, 1, false);
    }
    StereoBlock mono = SignalBlock(512);
    StereoBlock both = SignalBlock(512);
    double* in[1] = {mono.inL.data()};
    double* out[1] = {mono.outL.data()};
    g.Process(in, out, 512);
    stereo.Process(both.In(), both.Out(), 512);
    EXPECT_EQ(mono.outL, both.outL);
    EXPECT_EQ(g.InputLevel(), stereo.InputLevel());
    EXPECT_EQ(g.OutputLevel(), stereo.OutputLevel());
}

TEST_F(GrovaneTest, ParameterChangesRetuneWithoutClearingTheMemory)
{
    StereoBlock b = SignalBlock(700);
    Process(g, b);
    const ResonantBiquad before = g.LeftFilter();
    ASSERT_NE(before.Y1(), 0.0);
    SetParam(g, Grovane::kFrequency, 250.0);
    SetParam(g, Grovane::kAmplitude, 0.9);
    ResonantBiquad expected;
    expected.Configure(250.0, 0.0, 0.9, BiquadType::HighPass, 44100);
    for (const ResonantBiquad* f : {&g.LeftFilter(), &g.RightFilter()})
    {
        EXPECT_EQ(f->Frequency(), 250.0);
        EXPECT_EQ(f->Q(), 0.9);
        ExpectSameCoefficients(*f, expected);
    }
    ExpectSameMemory(g.LeftFilter(), before);
}

TEST_F(GrovaneTest, ParamChangedIgnoresIndicesOutsideTheList)
{
    SetParam(g, Grovane::kGain, 3.0);
    SetParam(g, Grovane::kMix, 40.0);
    const double gain = g.GainFactor(), wet = g.WetAmount(), dry = g.DryAmount();
    const ResonantBiquad left = g.LeftFilter();
    for (int index : {-1, 4, 1000})
        g.ParamChanged(index);
    EXPECT_EQ(g.GainFactor(), gain);
    EXPECT_EQ(g.WetAmount(), wet);
    EXPECT_EQ(g.DryAmount(), dry);
    ExpectSameCoefficients(g.LeftFilter(), left);
}

TEST_F(GrovaneTest, ResetProcessingRetunesToTheNewRateAndClearsTheFilters)
{
    SetParam(g, Grovane::kFrequency, 120.0);
    SetParam(g, Grovane::kAmplitude, 2.5);
    SetParam(g, Grovane::kMix, 70.0);
    StereoBlock b = SignalBlock(900);
    Process(g, b);
    const double inLevel = g.InputLevel(), outLevel = g.OutputLevel();
    const double envelope = g.InputFollower().Envelope();

    // The integer part of the rate is used.
    g.SetSampleRate(96000.75);
    g.ResetProcessing();
    ResonantBiquad expected;
    expected.Configure(120.0, 0.0, 2.5, BiquadType::HighPass, 96000);
    for (const ResonantBiquad* f : {&g.LeftFilter(), &g.RightFilter()})
    {
        EXPECT_EQ(f->SampleRate(), 96000.0);
        EXPECT_EQ(f->Frequency(), 120.0);
        EXPECT_EQ(f->Q(), 2.5);
        ExpectSameCoefficients(*f, expected);
        ExpectClearedMemory(*f);
    }
    EXPECT_EQ(g.ParamAt(Grovane::kFrequency)->Value(), 120.0);
    EXPECT_EQ(g.ParamAt(Grovane::kAmplitude)->Value(), 2.5);
    EXPECT_EQ(g.WetAmount(), 0.7);
    EXPECT_EQ(g.InputLevel(), inLevel);
    EXPECT_EQ(g.OutputLevel(), outLevel);
    EXPECT_EQ(g.InputFollower().Envelope(), envelope);
    // The followers keep their 44100 timing.
    EXPECT_EQ(g.InputFollower().ReleaseCoef(), kRelease);
}

TEST_F(GrovaneTest, ResetProcessingKeepsTheRateWhenTheHostsRateIsUnusable)
{
    const double rates[] = {std::numeric_limits<double>::quiet_NaN(), 0.0, -48000.0, 0.5, 1e12,
                            std::numeric_limits<double>::infinity()};
    for (double rate : rates)
    {
        SCOPED_TRACE(rate);
        g.SetSampleRate(48000.0);
        g.ResetProcessing();
        g.SetSampleRate(rate);
        g.ResetProcessing();
        EXPECT_EQ(g.LeftFilter().SampleRate(), 48000.0);
        EXPECT_TRUE(std::isfinite(g.LeftFilter().B0()));
        ExpectClearedMemory(g.LeftFilter());
    }
}

TEST_F(GrovaneTest, RestoreDefaultsResetsTheParametersAndKeepsTheRunningState)
{
    SetParam(g, Grovane::kGain, 12.0);
    SetParam(g, Grovane::kFrequency, 500.0);
    SetParam(g, Grovane::kAmplitude, 4.0);
    SetParam(g, Grovane::kMix, 30.0);
    StereoBlock b = SignalBlock(1200);
    Process(g, b);
    const ResonantBiquad left = g.LeftFilter(), right = g.RightFilter();
    const double inEnvelope = g.InputFollower().Envelope(), outEnvelope = g.OutputFollower().Envelope();
    const double inLevel = g.InputLevel();
    host.requests.clear();

    g.RestoreDefaults();

    const double defaults[] = {0.0, 80.0, 1.5, 100.0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(g.ParamAt(i)->Value(), defaults[i]) << "parameter " << i;
    EXPECT_EQ(g.GainFactor(), 1.0);
    EXPECT_EQ(g.WetAmount(), 1.0);
    EXPECT_EQ(g.DryAmount(), 0.0);
    for (const ResonantBiquad* f : {&g.LeftFilter(), &g.RightFilter()})
    {
        EXPECT_EQ(f->Frequency(), 80.0);
        EXPECT_EQ(f->Q(), 1.5);
        EXPECT_EQ(f->B0(), kB0At80Hz);
    }
    ExpectSameMemory(g.LeftFilter(), left);
    ExpectSameMemory(g.RightFilter(), right);
    EXPECT_EQ(g.InputFollower().Envelope(), inEnvelope);
    EXPECT_EQ(g.OutputFollower().Envelope(), outEnvelope);
    EXPECT_EQ(g.InputLevel(), inLevel);
    // The host is not told.
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(GrovaneTest, InputLevelReleasesByTheFactorPerSample)
{
    StereoBlock b(3);
    b.inL = {1.0, 0.0, 0.0};
    b.inR = {0.0, 0.0, 0.0};
    double* in[2] = {b.inL.data(), b.inR.data()};
    double* out[2] = {b.outL.data(), b.outR.data()};
    g.Process(in, out, 2);
    EXPECT_EQ(g.InputLevel(), 1.0 * (1.0 - kRelease));
    EXPECT_EQ(g.InputLevel(), 0.9999433122644068);
    in[0] += 2, in[1] += 2, out[0] += 2, out[1] += 2;
    g.Process(in, out, 1);
    EXPECT_EQ(g.InputLevel(), 0.9999433122644068 * (1.0 - kRelease));
}

TEST_F(GrovaneTest, SilenceAfterASignalEndsInExactZeros)
{
    StereoBlock loud = SignalBlock(4096);
    for (double& x : loud.inL)
        x *= 1.8; // peaks near full scale
    Process(g, loud);
    ASSERT_GT(g.InputLevel(), 0.5);
    ASSERT_GT(g.OutputLevel(), 0.1);

    StereoBlock silence(TestAdapter::kBlockSize);
    long frames = 0;
    bool sawSubnormal = false;
    const long limit = 20000000;
    while (frames < limit &&
           (g.InputLevel() != 0.0 || g.OutputLevel() != 0.0 || g.LeftFilter().Y1() != 0.0 ||
            g.LeftFilter().Y2() != 0.0 || g.RightFilter().Y1() != 0.0 || g.RightFilter().Y2() != 0.0))
    {
        g.Process(silence.In(), silence.Out(), silence.Frames());
        for (int i = 0; i < silence.Frames(); ++i)
            sawSubnormal |= std::fpclassify(silence.outL[i]) == FP_SUBNORMAL ||
                            std::fpclassify(silence.outR[i]) == FP_SUBNORMAL;
        frames += silence.Frames();
    }
    EXPECT_LT(frames, limit);
    EXPECT_FALSE(sawSubnormal);
    for (const ResonantBiquad* f : {&g.LeftFilter(), &g.RightFilter()})
        ExpectClearedMemory(*f);
    EXPECT_EQ(g.InputLevel(), 0.0);
    EXPECT_EQ(g.OutputLevel(), 0.0);
    // One more silent block also clears the envelopes the levels came from.
    g.Process(silence.In(), silence.Out(), silence.Frames());
    EXPECT_EQ(g.InputFollower().Envelope(), 0.0);
    EXPECT_EQ(g.OutputFollower().Envelope(), 0.0);
}

TEST_F(GrovaneTest, NonFiniteInputSamplesDoNotPoisonTheAudioPath)
{
    TestHost otherHost;
    Grovane clean(&otherHost);
    SetParam(g, Grovane::kMix, 80.0);
    SetParam(clean, Grovane::kMix, 80.0);
    StereoBlock bad = SignalBlock(1024);
    StereoBlock good = SignalBlock(1024);
    const int badAt[] = {10, 11, 500, 900};
    const double badValues[] = {std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(), DBL_MIN / 8.0};
    for (int k = 0; k < 4; ++k)
    {
        bad.inL[badAt[k]] = bad.inR[badAt[k]] = badValues[k];
        good.inL[badAt[k]] = good.inR[badAt[k]] = 0.0;
    }
    Process(g, bad);
    Process(clean, good);
    for (int i = 0; i < 1024; ++i)
    {
        if (i == 10 || i == 11 || i == 500)
            continue; // the dry share of a non-finite sample is not finite
        ASSERT_EQ(bad.outL[i], good.outL[i]) << "sample " << i;
        ASSERT_EQ(bad.outR[i], good.outR[i]) << "sample " << i;
    }
    ExpectSameMemory(g.LeftFilter(), clean.LeftFilter());
    ExpectSameMemory(g.RightFilter(), clean.RightFilter());
    EXPECT_EQ(g.InputLevel(), clean.InputLevel());
    EXPECT_TRUE(std::isfinite(g.OutputLevel()));
}

// A host may hand over finite samples near DBL_MAX: the filters' sums overflow, and the
// audio path must come back from it rather than output NaN for ever. The ringing of the
// huge values dies away (about 4.5 s at 44100 Hz) and the plug-in then follows a clean
// instance.
TEST_F(GrovaneTest, HugeFiniteInputSamplesDoNotPoisonTheAudioPath)
{
    TestHost otherHost;
    Grovane clean(&otherHost);
    const int frames = 300000;
    StereoBlock huge = SignalBlock(frames);
    StereoBlock good = SignalBlock(frames);
    for (int i = 100; i < 104; ++i)
    {
        huge.inL[i] = (i % 2 == 0) ? DBL_MAX : -DBL_MAX;
        huge.inR[i] = -huge.inL[i];
    }
    Process(g, huge);
    Process(clean, good);
    for (int i = 106; i < frames; ++i)
    {
        ASSERT_TRUE(std::isfinite(huge.outL[i])) << "sample " << i;
        ASSERT_TRUE(std::isfinite(huge.outR[i])) << "sample " << i;
    }
    EXPECT_NEAR(huge.outL.back(), good.outL.back(), 1e-9);
    EXPECT_NEAR(huge.outR.back(), good.outR.back(), 1e-9);
    EXPECT_TRUE(std::isfinite(g.InputLevel()));
    EXPECT_TRUE(std::isfinite(g.OutputLevel()));
}

} // namespace
