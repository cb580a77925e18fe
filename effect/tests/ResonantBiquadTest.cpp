#include "effect/ResonantBiquad.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <limits>

namespace
{

ResonantBiquad MakeFilter(double frequency, double gain, double q, BiquadType type, int rate)
{
    ResonantBiquad f;
    f.Configure(frequency, gain, q, type, rate);
    return f;
}

// The effect's default filter: high-pass at 80 Hz, Q 1.5, 44100 samples per second.
ResonantBiquad EffectFilter()
{
    return MakeFilter(80.0, 0.0, 1.5, BiquadType::HighPass, 44100);
}

TEST(ResonantBiquad, UnconfiguredFilterIsSilent)
{
    ResonantBiquad f;
    EXPECT_EQ(f.Tick(1.0), 0.0);
    EXPECT_EQ(f.Tick(-0.5), 0.0);
    EXPECT_EQ(f.Frequency(), 100.0);
    EXPECT_EQ(f.Q(), 0.707);
    EXPECT_EQ(f.SampleRate(), 44100.0);
    EXPECT_EQ(f.Type(), BiquadType::LowPass);
}

TEST(ResonantBiquad, HighPassAt80HzHasTheExactCoefficientsAndStepResponse)
{
    ResonantBiquad f = EffectFilter();
    EXPECT_EQ(f.B0(), 0.9961827502081985);
    EXPECT_EQ(f.B2(), 0.9961827502081985);
    EXPECT_EQ(f.B1(), -2.0 * 0.9961827502081985);

    EXPECT_EQ(f.Tick(1.0), 0.9961827502081985);
    EXPECT_EQ(f.Tick(1.0), 0.9885129290121634);
    EXPECT_EQ(f.Tick(1.0), 0.9807732305791512);
}

TEST(ResonantBiquad, StepResponseSwingsBelowZeroNearSample229)
{
    ResonantBiquad f = EffectFilter();
    double lowest = 1.0;
    int lowestAt = -1;
    for (int i = 0; i < 2000; ++i)
    {
        const double y = f.Tick(1.0);
        if (y < lowest)
        {
            lowest = y;
            lowestAt = i;
        }
    }
    EXPECT_EQ(lowestAt, 229);
    EXPECT_NEAR(lowest, -0.4188, 0.00005);
}

// Coefficients worked out in long double from the same definitions written in another
// algebraic form: each coefficient as one fraction over the unnormalized a0, shelving
// polynomials multiplied out in A.
struct Coefs
{
    long double b0, b1, b2, a1, a2;
};

Coefs Reference(long double f0, long double gain, long double q, BiquadType type, long double rate)
{
    const long double w = 2.0L * 3.14159265358979323846264338327950288L * f0 / rate;
    const long double s = std::sin(w), c = std::cos(w);
    const long double alpha = s / (2.0L * q);
    const long double A = std::sqrt(gain);
    const long double A2 = A * A;
    switch (type)
    {
    case BiquadType::LowPass:
    {
        const long double d = 2.0L + 2.0L * alpha;
        return {(1.0L - c) / d, (2.0L - 2.0L * c) / d, (1.0L - c) / d, -4.0L * c / d,
                (2.0L - 2.0L * alpha) / d};
    }
    case BiquadType::HighPass:
    {
        const long double d = 2.0L + 2.0L * alpha;
        return {(1.0L + c) / d, (-2.0L - 2.0L * c) / d, (1.0L + c) / d, -4.0L * c / d,
                (2.0L - 2.0L * alpha) / d};
    }
    case BiquadType::LowShelf:
    {
        const long double d = A + 1.0L + A * c - c + 2.0L * A * alpha;
        return {(A2 + A - A2 * c + A * c + 2.0L * A2 * alpha) / d,
                (2.0L * A2 - 2.0L * A - 2.0L * A2 * c - 2.0L * A * c) / d,
                (A2 + A - A2 * c + A * c - 2.0L * A2 * alpha) / d,
                (2.0L - 2.0L * A - 2.0L * A * c - 2.0L * c) / d,
                (A + 1.0L + A * c - c - 2.0L * A * alpha) / d};
    }
    case BiquadType::HighShelf:
    {
        const long double d = A + 1.0L - A * c + c + 2.0L * A * alpha;
        return {(A2 + A + A2 * c - A * c + 2.0L * A2 * alpha) / d,
                (-2.0L * A2 + 2.0L * A - 2.0L * A2 * c - 2.0L * A * c) / d,
                (A2 + A + A2 * c - A * c - 2.0L * A2 * alpha) / d,
                (2.0L * A - 2.0L - 2.0L * A * c - 2.0L * c) / d,
                (A + 1.0L - A * c + c - 2.0L * A * alpha) / d};
    }
    case BiquadType::BandPassSkirt:
    {
        const long double d = 1.0L + alpha;
        return {s / 2.0L / d, 0.0L, -s / 2.0L / d, -2.0L * c / d, (1.0L - alpha) / d};
    }
    case BiquadType::BandPassPeak:
    {
        const long double d = 2.0L * q + s;
        return {s / d, 0.0L, -s / d, -4.0L * q * c / d, (2.0L * q - s) / d};
    }
    case BiquadType::Notch:
    {
        const long double d = 2.0L * q + s;
        return {2.0L * q / d, -4.0L * q * c / d, 2.0L * q / d, -4.0L * q * c / d, (2.0L * q - s) / d};
    }
    case BiquadType::Peaking:
    {
        const long double d = A + alpha;
        return {(A + alpha * A2) / d, -2.0L * A * c / d, (A - alpha * A2) / d, -2.0L * A * c / d,
                (A - alpha) / d};
    }
    case BiquadType::AllPass:
    default:
    {
        const long double d = 2.0L * q + s;
        return {(2.0L * q - s) / d, -4.0L * q * c / d, 1.0L, -4.0L * q * c / d, (2.0L * q - s) / d};
    }
    }
}

struct Setting
{
    double frequency, gain, q;
    int rate;
};

TEST(ResonantBiquad, AllNineTypesMatchAnIndependentLongDoubleDerivation)
{
    const Setting settings[] = {
        {80.0, 0.0, 1.5, 44100},     // the effect's setting (gain unused except by the A types)
        {1000.0, 2.0, 0.707, 48000}, // boost
        {250.0, 0.25, 4.0, 96000},   // cut, high Q
        {12000.0, 9.0, 10.0, 44100},
    };
    for (const Setting& s : settings)
    {
        for (int code = 0; code <= 8; ++code)
        {
            const auto type = static_cast<BiquadType>(code);
            if (s.gain == 0.0 && (type == BiquadType::LowShelf || type == BiquadType::HighShelf ||
                                  type == BiquadType::Peaking))
                continue; // A = 0: the shelves degenerate and Peaking divides by zero
            SCOPED_TRACE(testing::Message() << "type " << code << " at " << s.frequency << " Hz, gain "
                                            << s.gain << ", Q " << s.q << ", rate " << s.rate);
            const ResonantBiquad f = MakeFilter(s.frequency, s.gain, s.q, type, s.rate);
            const Coefs r = Reference(s.frequency, s.gain, s.q, type, s.rate);
            auto near = [](double got, long double want) {
                EXPECT_NEAR(got, static_cast<double>(want),
                            1e-12 * (1.0 + std::fabs(static_cast<double>(want))));
            };
            near(f.B0(), r.b0);
            near(f.B1(), r.b1);
            near(f.B2(), r.b2);
            near(f.A1(), r.a1);
            near(f.A2(), r.a2);
        }
    }
}

// Magnitude of the transfer function at angular frequency w (radians per sample).
double Magnitude(const ResonantBiquad& f, double w)
{
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((f.B0() + f.B1() * z1 + f.B2() * z2) / (1.0 + f.A1() * z1 + f.A2() * z2));
}

TEST(ResonantBiquad, EachTypeHasItsCharacteristicGains)
{
    const double kPi = 3.141592653589793;
    const int rate = 48000;
    const double f0 = 1500.0, q = 3.0, gain = 4.0;
    const double w0 = f0 * 2.0 * kPi / rate;
    struct Case
    {
        BiquadType type;
        double w;
        double magnitude;
    };
    const Case cases[] = {
        {BiquadType::LowPass, 0.0, 1.0},     {BiquadType::LowPass, w0, q},
        {BiquadType::LowPass, kPi, 0.0},     {BiquadType::HighPass, 0.0, 0.0},
        {BiquadType::HighPass, w0, q},       {BiquadType::HighPass, kPi, 1.0},
        {BiquadType::LowShelf, 0.0, gain},   {BiquadType::LowShelf, kPi, 1.0},
        {BiquadType::HighShelf, 0.0, 1.0},   {BiquadType::HighShelf, kPi, gain},
        {BiquadType::BandPassSkirt, w0, q},  {BiquadType::BandPassSkirt, 0.0, 0.0},
        {BiquadType::BandPassPeak, w0, 1.0}, {BiquadType::BandPassPeak, kPi, 0.0},
        {BiquadType::Notch, w0, 0.0},        {BiquadType::Notch, 0.0, 1.0},
        {BiquadType::Peaking, w0, gain},     {BiquadType::Peaking, 0.0, 1.0},
        {BiquadType::AllPass, 0.3, 1.0},     {BiquadType::AllPass, w0, 1.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "type " << static_cast<int>(c.type) << " at w " << c.w);
        const ResonantBiquad f = MakeFilter(f0, gain, q, c.type, rate);
        EXPECT_NEAR(Magnitude(f, c.w), c.magnitude, 1e-9);
    }
}

TEST(ResonantBiquad, SpecialValuesOfTheCoefficientTable)
{
    // b1 of the band-passes is a stored +0.0 even where the expression's sign would differ.
    const ResonantBiquad skirt = MakeFilter(500.0, 1.0, 2.0, BiquadType::BandPassSkirt, 44100);
    EXPECT_EQ(skirt.B1(), 0.0);
    EXPECT_FALSE(std::signbit(skirt.B1()));
    // All-pass b2 is a0 / a0.
    const ResonantBiquad allPass = MakeFilter(3000.0, 1.0, 0.707, BiquadType::AllPass, 44100);
    EXPECT_EQ(allPass.B2(), 1.0);
    // The skirt band-pass's b0 is alpha*q/a0, the peak band-pass's alpha/a0: ratio q.
    const ResonantBiquad peak = MakeFilter(500.0, 1.0, 2.0, BiquadType::BandPassPeak, 44100);
    EXPECT_NEAR(skirt.B0() / peak.B0(), 2.0, 1e-15);
    // A negative gain makes A a NaN, and with it the shelving coefficients.
    const ResonantBiquad bad = MakeFilter(500.0, -1.0, 2.0, BiquadType::LowShelf, 44100);
    EXPECT_TRUE(std::isnan(bad.B0()));
}

TEST(ResonantBiquad, UnknownTypeKeepsCoefficientsButStoresTheSettings)
{
    ResonantBiquad f = EffectFilter();
    f.Configure(500.0, 2.0, 3.0, static_cast<BiquadType>(9), 48000);
    EXPECT_EQ(f.Frequency(), 500.0);
    EXPECT_EQ(f.Q(), 3.0);
    EXPECT_EQ(f.Gain(), 2.0);
    EXPECT_EQ(f.SampleRate(), 48000.0);
    EXPECT_EQ(static_cast<int>(f.Type()), 9);
    const ResonantBiquad original = EffectFilter();
    EXPECT_EQ(f.B0(), original.B0());
    EXPECT_EQ(f.B1(), original.B1());
    EXPECT_EQ(f.B2(), original.B2());
    EXPECT_EQ(f.A1(), original.A1());
    EXPECT_EQ(f.A2(), original.A2());
}

TEST(ResonantBiquad, ConfigureKeepsTheDelayMemoryAndClearStateEmptiesIt)
{
    ResonantBiquad f = EffectFilter();
    f.Tick(0.25);
    f.Tick(-0.5);
    const double x1 = f.X1(), x2 = f.X2(), y1 = f.Y1(), y2 = f.Y2();
    EXPECT_EQ(x1, -0.5);
    EXPECT_EQ(x2, 0.25);
    f.Configure(400.0, 0.0, 0.707, BiquadType::HighPass, 44100);
    EXPECT_EQ(f.X1(), x1);
    EXPECT_EQ(f.X2(), x2);
    EXPECT_EQ(f.Y1(), y1);
    EXPECT_EQ(f.Y2(), y2);
    // The next sample continues from the old memory with the new coefficients.
    const double expected = f.B0() * 0.0 + f.B1() * x1 + f.B2() * x2 - f.A1() * y1 - f.A2() * y2;
    EXPECT_EQ(f.Tick(0.0), expected);
    EXPECT_NE(expected, 0.0);

    f.ClearState();
    EXPECT_EQ(f.X1(), 0.0);
    EXPECT_EQ(f.X2(), 0.0);
    EXPECT_EQ(f.Y1(), 0.0);
    EXPECT_EQ(f.Y2(), 0.0);
    EXPECT_EQ(f.Tick(0.0), 0.0);
}

// Inputs the recursion must never see: each must act exactly like +0.0.
TEST(ResonantBiquad, ZeroSubnormalAndNonFiniteInputsActAsPlusZero)
{
    const double inputs[] = {
        std::numeric_limits<double>::denorm_min(),
        -std::numeric_limits<double>::denorm_min(),
        DBL_MIN / 2.0, // subnormal with high mantissa bits
        -0.0,
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::signaling_NaN(),
    };
    for (double bad : inputs)
    {
        SCOPED_TRACE(testing::Message() << "input " << bad);
        ResonantBiquad f = EffectFilter();
        f.Tick(0.7);
        f.Tick(-0.3);
        ResonantBiquad reference = f;
        const double got = f.Tick(bad);
        EXPECT_EQ(got, reference.Tick(0.0));
        EXPECT_EQ(f.X1(), 0.0);
        EXPECT_FALSE(std::signbit(f.X1()));
        // The output stays finite and the filter recovers bit for bit.
        for (int i = 0; i < 64; ++i)
        {
            const double x = std::sin(i * 0.1);
            const double y = f.Tick(x);
            ASSERT_TRUE(std::isfinite(y));
            ASSERT_EQ(y, reference.Tick(x));
        }
    }
}

// Finite inputs near DBL_MAX overflow the sum to an infinity, and an infinity kept in
// y1/y2 would turn into NaN and stay there. The overflowed outputs are flushed, so the
// output stays finite throughout and the ringing of the huge values dies away until the
// filter follows its input like a filter that never saw them (time constant about 260
// samples: from 1e308 to below 1e-9 in about 200,000).
TEST(ResonantBiquad, OverflowedOutputsDoNotPoisonTheMemory)
{
    ResonantBiquad f = EffectFilter();
    ResonantBiquad reference = EffectFilter();
    for (double huge : {DBL_MAX, -DBL_MAX, DBL_MAX, DBL_MAX, -DBL_MAX})
        ASSERT_TRUE(std::isfinite(f.Tick(huge)));
    double last = 0.0, lastReference = 0.0;
    for (int i = 0; i < 300000; ++i)
    {
        const double x = std::sin(i * 0.01);
        last = f.Tick(x);
        lastReference = reference.Tick(x);
        ASSERT_TRUE(std::isfinite(last)) << "sample " << i;
        ASSERT_TRUE(std::isfinite(f.Y1()) && std::isfinite(f.Y2())) << "sample " << i;
    }
    EXPECT_NEAR(last, lastReference, 1e-9);
}

TEST(ResonantBiquad, FiniteExtremesPassUnchanged)
{
    const double inputs[] = {DBL_MIN, -DBL_MIN, DBL_MAX / 4.0, -1e300, 1e-300};
    for (double x : inputs)
    {
        SCOPED_TRACE(testing::Message() << "input " << x);
        ResonantBiquad f = EffectFilter();
        f.Tick(x);
        EXPECT_EQ(f.X1(), x);
    }
}

TEST(ResonantBiquad, SubnormalOutputBecomesExactZero)
{
    ResonantBiquad f = EffectFilter();
    // b0 * DBL_MIN is subnormal: returned and stored as +0.0 while the input is kept.
    EXPECT_EQ(f.Tick(DBL_MIN), 0.0);
    EXPECT_EQ(f.Y1(), 0.0);
    EXPECT_FALSE(std::signbit(f.Y1()));
    EXPECT_EQ(f.X1(), DBL_MIN);
}

TEST(ResonantBiquad, SilenceAfterASignalDrivesTheMemoryToExactZeros)
{
    ResonantBiquad f = EffectFilter();
    for (int i = 0; i < 1000; ++i)
        f.Tick(std::sin(i * 0.05));
    int silent = 0;
    bool sawSubnormal = false;
    while (silent < 1000000 && (f.Y1() != 0.0 || f.Y2() != 0.0 || f.X1() != 0.0 || f.X2() != 0.0))
    {
        const double y = f.Tick(0.0);
        sawSubnormal |= std::fpclassify(y) == FP_SUBNORMAL;
        ++silent;
    }
    EXPECT_FALSE(sawSubnormal);
    EXPECT_LT(silent, 1000000);
    EXPECT_EQ(f.Tick(0.0), 0.0);
    EXPECT_EQ(f.Y1(), 0.0);
    EXPECT_EQ(f.Y2(), 0.0);
}

} // namespace
