#include "effect/LevelFollower.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace
{

// The effect's follower: attack 0 ms, release 400 ms at 44100 samples per second.
LevelFollower EffectFollower()
{
    LevelFollower f;
    f.Configure(0.0, 400.0, 44100);
    return f;
}

constexpr double kRelease = 0.000056687735593197175;

TEST(LevelFollower, EffectSettingsGiveTheExactFactors)
{
    const LevelFollower f = EffectFollower();
    EXPECT_EQ(f.AttackCoef(), 1.0);
    EXPECT_EQ(f.ReleaseCoef(), kRelease);
    EXPECT_EQ(f.Envelope(), 0.0);
}

TEST(LevelFollower, AttackFactorThreshold)
{
    struct Case
    {
        double attackMs;
        double factor;
    };
    const Case cases[] = {
        {0.0, 1.0},
        {-5.0, 1.0},
        {0.00009, 1.0},
        {0.0001, 1.0 - std::exp(-1000.0 / (0.0001 * 44100.0))},
        {10.0, 1.0 - std::exp(-1000.0 / (10.0 * 44100.0))},
    };
    for (const Case& c : cases)
    {
        LevelFollower f;
        f.Configure(c.attackMs, 400.0, 44100);
        EXPECT_EQ(f.AttackCoef(), c.factor) << "attack " << c.attackMs << " ms";
    }
    // 10 ms at 44100: 1 - exp(-1/441), about 0.0022650.
    LevelFollower slow;
    slow.Configure(10.0, 400.0, 44100);
    EXPECT_NEAR(slow.AttackCoef(), 0.0022650, 1e-7);
}

TEST(LevelFollower, ZeroReleaseGivesFactorOne)
{
    LevelFollower f;
    f.Configure(0.0, 0.0, 44100);
    EXPECT_EQ(f.ReleaseCoef(), 1.0);
    EXPECT_EQ(f.Track(0.75), 0.75);
    EXPECT_EQ(f.Track(0.0), 0.0);
}

TEST(LevelFollower, ConfigureClearsTheEnvelope)
{
    LevelFollower f = EffectFollower();
    f.Track(0.9);
    f.Configure(0.0, 400.0, 44100);
    EXPECT_EQ(f.Envelope(), 0.0);
    EXPECT_EQ(f.Track(0.0), 0.0);
}

TEST(LevelFollower, InstantAttackThenReleaseByTheFactor)
{
    LevelFollower f = EffectFollower();
    EXPECT_EQ(f.Track(0.5), 0.5);
    LevelFollower g = EffectFollower();
    EXPECT_EQ(g.Track(1.0), 1.0);
    EXPECT_EQ(g.Track(0.0), 1.0 * (1.0 - kRelease));
    EXPECT_EQ(g.Track(0.0), 1.0 * (1.0 - kRelease) * (1.0 - kRelease));
    EXPECT_EQ(g.Output(), g.Envelope());
    // A smaller input than the envelope releases toward it rather than jumping.
    const double before = g.Output();
    EXPECT_EQ(g.Track(0.25), (1.0 - kRelease) * before + kRelease * 0.25);
}

TEST(LevelFollower, RectifiesNegativeSamples)
{
    LevelFollower a = EffectFollower();
    LevelFollower b = EffectFollower();
    EXPECT_EQ(a.Track(-0.8), 0.8);
    EXPECT_EQ(b.Track(0.8), 0.8);
    EXPECT_EQ(a.Track(-0.1), b.Track(0.1));
}

TEST(LevelFollower, ZeroSubnormalAndNonFiniteInputsCountAsZero)
{
    const double inputs[] = {
        std::numeric_limits<double>::denorm_min(),
        -DBL_MIN / 3.0,
        -0.0,
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
    };
    for (double bad : inputs)
    {
        SCOPED_TRACE(testing::Message() << "input " << bad);
        LevelFollower f = EffectFollower();
        f.Track(0.6);
        LevelFollower reference = f;
        EXPECT_EQ(f.Track(bad), reference.Track(0.0));
        EXPECT_TRUE(std::isfinite(f.Envelope()));
        EXPECT_EQ(f.Track(0.3), reference.Track(0.3));
    }
    // From silence a bad sample leaves the level at exactly zero.
    LevelFollower quiet = EffectFollower();
    EXPECT_EQ(quiet.Track(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(quiet.Track(std::numeric_limits<double>::infinity()), 0.0);
}

TEST(LevelFollower, DecayEndsInExactZeroNeverSubnormal)
{
    LevelFollower f = EffectFollower();
    f.Track(1.0);
    long samples = 0;
    bool sawSubnormal = false;
    double level = 1.0;
    while (level != 0.0 && samples < 20000000)
    {
        level = f.Track(0.0);
        sawSubnormal |= std::fpclassify(level) == FP_SUBNORMAL;
        ++samples;
    }
    EXPECT_FALSE(sawSubnormal);
    EXPECT_EQ(level, 0.0);
    // ln(DBL_MIN) / ln(1 - k): the level crosses into the subnormal range after about
    // 12.5 million samples of silence.
    EXPECT_NEAR(static_cast<double>(samples), std::log(DBL_MIN) / std::log1p(-kRelease), 2.0);
    // The envelope may still hold the subnormal value; the next call clears it.
    EXPECT_TRUE(f.Envelope() == 0.0 || std::fpclassify(f.Envelope()) == FP_SUBNORMAL);
    EXPECT_EQ(f.Track(0.0), 0.0);
    EXPECT_EQ(f.Envelope(), 0.0);
}

} // namespace
