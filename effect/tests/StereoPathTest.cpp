// The stereo audio path's fast form must give the results of the plain per-sample loop
// over ResonantBiquad::Tick and LevelFollower::Track, bit for bit (NaN payloads aside):
// outputs, filter memory, follower state and published levels, block after block,
// through signals, special values, overflows, silence and the decay to rest.
#include "effect/StereoPath.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#if defined(__SSE2__)

namespace
{

struct Settings
{
    BiquadType type;
    double frequency, gain, q;
    int rate;
    double attackMs, releaseMs;
    double wet, dry, outGain;
};

// One copy of everything the path works on.
struct Rig
{
    explicit Rig(const Settings& s)
    {
        left.Configure(s.frequency, s.gain, s.q, s.type, s.rate);
        right.Configure(s.frequency * 1.5, s.gain, s.q, s.type, s.rate);
        in.Configure(s.attackMs, s.releaseMs, 44100);
        out.Configure(s.attackMs, s.releaseMs, 44100);
    }
    StereoPath Path(const Settings& s)
    {
        return StereoPath{left, right, in, out, inLevel, outLevel, s.wet, s.dry, s.outGain};
    }

    ResonantBiquad left, right;
    LevelFollower in, out;
    std::atomic<double> inLevel{-1.0}, outLevel{-1.0};
};

// Bit-identical, except that any NaN equals any NaN: which operand's payload an operation
// on two NaNs passes on is the compiler's choice (it may swap the operands of an
// addition), in either form.
bool SameBits(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Index of the first sample whose bits differ, or -1.
int FirstDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (!SameBits(a[i], b[i]))
            return static_cast<int>(i);
    }
    return -1;
}

void ExpectSameState(const Rig& a, const Rig& b)
{
    for (auto [fa, fb] : {std::pair{&a.left, &b.left}, std::pair{&a.right, &b.right}})
    {
        EXPECT_TRUE(SameBits(fa->X1(), fb->X1())) << fa->X1() << " vs " << fb->X1();
        EXPECT_TRUE(SameBits(fa->X2(), fb->X2())) << fa->X2() << " vs " << fb->X2();
        EXPECT_TRUE(SameBits(fa->Y1(), fb->Y1())) << fa->Y1() << " vs " << fb->Y1();
        EXPECT_TRUE(SameBits(fa->Y2(), fb->Y2())) << fa->Y2() << " vs " << fb->Y2();
    }
    for (auto [fa, fb] : {std::pair{&a.in, &b.in}, std::pair{&a.out, &b.out}})
    {
        EXPECT_TRUE(SameBits(fa->Envelope(), fb->Envelope())) << fa->Envelope() << " vs " << fb->Envelope();
        EXPECT_TRUE(SameBits(fa->Output(), fb->Output())) << fa->Output() << " vs " << fb->Output();
    }
    EXPECT_TRUE(SameBits(a.inLevel.load(), b.inLevel.load()));
    EXPECT_TRUE(SameBits(a.outLevel.load(), b.outLevel.load()));
}

// Kinds of input block.
enum class Block
{
    Signal,    // normal values
    Specials,  // a signal with zeros of both signs, subnormals, extremes, infinities, NaNs
    Tiny,      // amplitudes near DBL_MIN: outputs and envelopes fall into the subnormal range
    PlusZero,  // digital silence
    MinusZero, // silence written as -0.0
    OneSided,  // a signal on the left, +0.0 on the right
    Huge,      // finite values near DBL_MAX: the recursions overflow
};

std::vector<double> Make(Block kind, int frames, int channel, std::mt19937_64& rng)
{
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> v(static_cast<size_t>(frames));
    const double specials[] = {0.0,
                               -0.0,
                               std::numeric_limits<double>::denorm_min(),
                               -DBL_MIN / 3.0,
                               DBL_MIN,
                               -DBL_MAX,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               1e-300};
    for (int i = 0; i < frames; ++i)
    {
        double x = 0.8 * unit(rng);
        switch (kind)
        {
        case Block::Signal:
            break;
        case Block::Specials:
            if (rng() % 7 == 0)
                x = specials[rng() % std::size(specials)];
            break;
        case Block::Tiny:
            x *= DBL_MIN * 8.0;
            break;
        case Block::PlusZero:
            x = 0.0;
            break;
        case Block::MinusZero:
            x = -0.0;
            break;
        case Block::OneSided:
            x = channel == 0 ? x : 0.0;
            break;
        case Block::Huge:
            x = (x < 0.0 ? -DBL_MAX : DBL_MAX) * (0.5 + 0.5 * std::fabs(x));
            break;
        }
        v[static_cast<size_t>(i)] = x;
    }
    return v;
}

using Renderer = void (StereoPath::*)(const double*, const double*, double*, double*, int);

// The fast forms this processor can run, with their names.
std::vector<std::pair<const char*, Renderer>> FastForms()
{
    std::vector<std::pair<const char*, Renderer>> forms = {{"SSE2", &StereoPath::RenderSse2}};
    if (StereoPath::AvxAvailable())
        forms.push_back({"AVX", &StereoPath::RenderAvx});
    return forms;
}

// Runs the same sequence of blocks through the scalar loop and through `fast`, comparing
// after each block.
void Compare(const Settings& s, Renderer fast, const std::vector<std::pair<Block, int>>& blocks,
             uint64_t seed)
{
    Rig ref(s), dut(s);
    std::mt19937_64 rng(seed);
    int index = 0;
    for (const auto& [kind, frames] : blocks)
    {
        SCOPED_TRACE(testing::Message()
                     << "block " << index++ << " kind " << static_cast<int>(kind) << " frames " << frames);
        const std::vector<double> l = Make(kind, std::max(frames, 1), 0, rng);
        const std::vector<double> r = Make(kind, std::max(frames, 1), 1, rng);
        std::vector<double> refL(l.size(), 9.0), refR(l.size(), 9.0), dutL(l.size(), 9.0),
            dutR(l.size(), 9.0);
        ref.Path(s).RenderScalar(l.data(), r.data(), refL.data(), refR.data(), frames);
        (dut.Path(s).*fast)(l.data(), r.data(), dutL.data(), dutR.data(), frames);
        const int left = FirstDifference(refL, dutL), right = FirstDifference(refR, dutR);
        ASSERT_EQ(left, -1) << refL[left] << " vs " << dutL[left] << " for input " << l[left] << ", "
                            << r[left];
        ASSERT_EQ(right, -1) << refR[right] << " vs " << dutR[right] << " for input " << l[right] << ", "
                             << r[right];
        ExpectSameState(ref, dut);
        if (testing::Test::HasFailure())
            return;
    }
}

const Settings kSettings[] = {
    // The effect's own: 80 Hz high-pass, Q 1.5, instant attack, 400 ms release, full mix.
    {BiquadType::HighPass, 80.0, 0.0, 1.5, 44100, 0.0, 400.0, 1.0, 0.0, 1.0},
    // Partial mix with a trim; followers fast enough to decay to zero within the test.
    {BiquadType::HighPass, 300.0, 0.0, 4.0, 48000, 0.0, 0.05, 0.37, 0.63, 0.015848931924612435},
    {BiquadType::LowPass, 1200.0, 0.0, 0.707, 44100, 2.0, 0.02, 0.5, 0.5, 63.09573444801415},
    {BiquadType::Peaking, 2500.0, 4.0, 2.0, 96000, 0.0, 0.01, 1.0, 0.0, 1.0},
    {BiquadType::AllPass, 700.0, 1.0, 10.0, 44100, 0.5, 0.03, 0.0, 1.0, 2.0},
    // Negative release time: factors outside [0, 1], envelopes that change sign.
    {BiquadType::BandPassSkirt, 500.0, 1.0, 3.0, 44100, 1.0, -0.5, 0.8, 0.2, 1.0},
};

// Signals, specials, overflows, silence long enough for filters and fast followers to
// come to rest (some of it in short blocks, so that block ends fall inside the decay),
// and odd block lengths (including 0 and -3).
std::vector<std::pair<Block, int>> Sequence()
{
    std::vector<std::pair<Block, int>> blocks = {
        {Block::Signal, 1024},   {Block::Signal, 1},      {Block::Specials, 777},   {Block::Signal, 3},
        {Block::PlusZero, 4096}, {Block::Signal, 0},      {Block::Tiny, 2048},      {Block::MinusZero, 1500},
        {Block::Signal, -3},     {Block::OneSided, 2000}, {Block::PlusZero, 8192},  {Block::PlusZero, 65536},
        {Block::Tiny, 512},      {Block::PlusZero, 300},  {Block::Specials, 2049},  {Block::MinusZero, 70000},
        {Block::PlusZero, 5},    {Block::Huge, 64},       {Block::Signal, 1023},    {Block::Huge, 3},
        {Block::Specials, 500},  {Block::Signal, 200},    {Block::PlusZero, 90000}, {Block::PlusZero, 1024},
        {Block::Signal, 100},    {Block::Tiny, 50},
    };
    for (int i = 0; i < 400; ++i)
        blocks.push_back({Block::PlusZero, 13});
    blocks.push_back({Block::Signal, 64});
    return blocks;
}

TEST(StereoPath, FastFormsMatchTheScalarLoopBitForBit)
{
    for (const auto& [name, fast] : FastForms())
    {
        SCOPED_TRACE(name);
        uint64_t seed = 1;
        for (const Settings& s : kSettings)
        {
            SCOPED_TRACE(testing::Message()
                         << "filter type " << static_cast<int>(s.type) << ", release " << s.releaseMs);
            Compare(s, fast, Sequence(), seed++);
        }
    }
}

TEST(StereoPath, FastFormsDecayLevelsThroughTheSubnormalRangeAtRest)
{
    // Filters at rest, silent input, envelopes just above DBL_MIN: the levels decay
    // through the subnormal range sample by sample; compare after every sample.
    const Settings& s = kSettings[1];
    for (const auto& [name, fast] : FastForms())
    {
        SCOPED_TRACE(name);
        Rig ref(s), dut(s);
        for (Rig* rig : {&ref, &dut})
        {
            rig->in.Track(4.0 * DBL_MIN);
            rig->out.Track(3.0 * DBL_MIN);
        }
        const double zero[1] = {0.0};
        for (int i = 0; i < 200 && !HasFailure(); ++i)
        {
            SCOPED_TRACE(i);
            double refL[1], refR[1], dutL[1], dutR[1];
            ref.Path(s).RenderScalar(zero, zero, refL, refR, 1);
            (dut.Path(s).*fast)(zero, zero, dutL, dutR, 1);
            ASSERT_TRUE(SameBits(refL[0], dutL[0]) && SameBits(refR[0], dutR[0]));
            ExpectSameState(ref, dut);
        }
        EXPECT_EQ(dut.in.Envelope(), 0.0);
        EXPECT_EQ(dut.out.Envelope(), 0.0);
    }
}

TEST(StereoPath, FastFormsReachRestAndStayThere)
{
    // The effect's settings with a fast release: after enough silence everything is an
    // exact zero.
    Settings s = kSettings[0];
    s.releaseMs = 0.05;
    for (const auto& [name, fast] : FastForms())
    {
        SCOPED_TRACE(name);
        Rig rig(s);
        std::vector<double> loud(1024), zeros(1024, 0.0), outL(1024), outR(1024);
        for (int i = 0; i < 1024; ++i)
            loud[static_cast<size_t>(i)] = std::sin(i * 0.05);
        (rig.Path(s).*fast)(loud.data(), loud.data(), outL.data(), outR.data(), 1024);
        for (int b = 0; b < 400; ++b)
            (rig.Path(s).*fast)(zeros.data(), zeros.data(), outL.data(), outR.data(), 1024);
        for (const ResonantBiquad* f : {&rig.left, &rig.right})
        {
            EXPECT_EQ(f->X1(), 0.0);
            EXPECT_EQ(f->X2(), 0.0);
            EXPECT_EQ(f->Y1(), 0.0);
            EXPECT_EQ(f->Y2(), 0.0);
        }
        EXPECT_EQ(rig.in.Envelope(), 0.0);
        EXPECT_EQ(rig.out.Envelope(), 0.0);
        EXPECT_EQ(rig.inLevel.load(), 0.0);
        EXPECT_EQ(rig.outLevel.load(), 0.0);
        EXPECT_EQ(outL, zeros);
        EXPECT_EQ(outR, zeros);
    }
}

TEST(StereoPath, FastFormsHandleSharedBuffers)
{
    const Settings& s = kSettings[1];
    std::mt19937_64 rng(7);
    const std::vector<double> l = Make(Block::Specials, 1024, 0, rng);
    const std::vector<double> r = Make(Block::Signal, 1024, 1, rng);
    for (const auto& [name, fast] : FastForms())
    {
        SCOPED_TRACE(name);
        // In place: each input buffer is also its channel's output buffer.
        {
            Rig ref(s), dut(s);
            std::vector<double> refL = l, refR = r, dutL = l, dutR = r;
            ref.Path(s).RenderScalar(refL.data(), refR.data(), refL.data(), refR.data(), 1024);
            (dut.Path(s).*fast)(dutL.data(), dutR.data(), dutL.data(), dutR.data(), 1024);
            EXPECT_EQ(FirstDifference(refL, dutL), -1);
            EXPECT_EQ(FirstDifference(refR, dutR), -1);
            ExpectSameState(ref, dut);
        }
        // One buffer for both outputs: the OUT follower reads what channel 1 left there.
        {
            Rig ref(s), dut(s);
            std::vector<double> refOut(1024), dutOut(1024);
            ref.Path(s).RenderScalar(l.data(), r.data(), refOut.data(), refOut.data(), 1024);
            (dut.Path(s).*fast)(l.data(), r.data(), dutOut.data(), dutOut.data(), 1024);
            EXPECT_EQ(FirstDifference(refOut, dutOut), -1);
            ExpectSameState(ref, dut);
        }
    }
}

} // namespace

#endif
