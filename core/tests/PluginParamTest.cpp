#include "core/PluginParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace
{
std::string Formatted(const PluginParam& p, double v, bool normalized = false, bool useDisplayText = true)
{
    char out[PluginParam::kFormatSize];
    p.FormatValue(v, normalized, out, useDisplayText);
    return out;
}
} // namespace

TEST(PluginParam, DefaultState)
{
    PluginParam p;
    EXPECT_EQ(p.Type(), PluginParam::kTypeUnset);
    EXPECT_EQ(p.Value(), 0.0);
    EXPECT_EQ(p.Min(), 0.0);
    EXPECT_EQ(p.Max(), 1.0);
    EXPECT_EQ(p.Step(), 1.0);
    EXPECT_EQ(p.Shape(), 1.0);
    EXPECT_TRUE(p.Automatable());
    EXPECT_FALSE(p.NegateDisplay());
    EXPECT_STREQ(p.ParamName(), "");
    EXPECT_STREQ(p.UnitLabel(), "");
    EXPECT_EQ(p.DisplayTextCount(), 0);
}

TEST(PluginParam, PrecisionFollowsTheStep)
{
    const struct
    {
        double step;
        int precision;
    } cases[] = {{0.01, 2}, {0.1, 1}, {1.0, 0}, {0.001, 3}, {0.5, 1}, {0.25, 2}, {1e-7, 6}, {0.123456789, 6}};
    for (const auto& c : cases)
    {
        PluginParam p;
        p.SetupDouble("x", 0.0, 0.0, 10.0, c.step);
        EXPECT_EQ(p.Precision(), c.precision) << "step " << c.step;
    }
}

TEST(PluginParam, FormatsWithThePrecisionOfTheStep)
{
    PluginParam freq;
    freq.SetupDouble("Frequency", 80.0, 10.0, 2000.0, 0.01, "Hz");
    char out[32];
    freq.FormatCurrent(out);
    EXPECT_STREQ(out, "80.00");
    PluginParam mix;
    mix.SetupDouble("Mix", 100.0, 0.0, 100.0, 0.1);
    mix.FormatCurrent(out);
    EXPECT_STREQ(out, "100.0");
}

TEST(PluginParam, SetupDoubleRaisesMaxToMinPlusStepAndKeepsTheDefaultUnclamped)
{
    PluginParam p;
    p.SetupDouble("x", 0.0, 0.0, 0.0, 1.0);
    EXPECT_EQ(p.Max(), 1.0);
    PluginParam q;
    q.SetupDouble("q", 25.0, 0.0, 10.0, 1.0);
    EXPECT_EQ(q.Value(), 25.0);
    EXPECT_EQ(q.DefaultValue(), 25.0);
    EXPECT_EQ(q.Type(), PluginParam::kTypeDouble);
}

TEST(PluginParam, IntegerRoundsToTheNearestStepHalvesUpwards)
{
    PluginParam p;
    p.SetupInt("Steps", 3, 0, 10, "", "");
    EXPECT_EQ(p.Type(), PluginParam::kTypeInt);
    EXPECT_EQ(p.Precision(), 0);
    EXPECT_EQ(p.Step(), 1.0);
    const struct
    {
        double normalized;
        double value;
    } cases[] = {{0.34, 3.0}, {0.35, 4.0}, {0.0, 0.0}, {0.96, 10.0}, {1.0, 10.0}, {0.04, 0.0}, {0.05, 1.0}};
    for (const auto& c : cases)
    {
        p.SetFromNormalized(c.normalized);
        EXPECT_EQ(p.Value(), c.value) << "normalized " << c.normalized;
    }
}

TEST(PluginParam, RealKindIsNotRounded)
{
    PluginParam p;
    p.SetupDouble("x", 0.0, 0.0, 10.0, 1.0);
    p.SetFromNormalized(0.34);
    EXPECT_DOUBLE_EQ(p.Value(), 3.4);
}

TEST(PluginParam, FullScaleNormalizedGivesExactlyMax)
{
    // 0.3 + (0.9 - 0.3) is 0.9000000000000001 in double arithmetic.
    ASSERT_GT(0.3 + (0.9 - 0.3), 0.9);
    PluginParam p;
    p.SetupDouble("x", 0.5, 0.3, 0.9, 0.01);
    p.SetFromNormalized(1.0);
    EXPECT_EQ(p.Value(), 0.9);
    // A NaN from the caller never becomes the value.
    p.SetFromNormalized(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 0.9);
}

TEST(PluginParam, PowerCurvePositions)
{
    const struct
    {
        double shape;
        double fraction[3]; // of the range at normalized 0.25, 0.5, 0.75
        double half;        // normalized position of half the range
    } cases[] = {{3.0, {0.015625, 0.125, 0.421875}, 0.793701},
                 {3.6, {0.006801, 0.082469, 0.354994}, 0.824861}};
    for (const auto& c : cases)
    {
        PluginParam p;
        p.SetupDouble("x", 0.0, 0.0, 1.0, 0.001, "", "", c.shape);
        EXPECT_EQ(p.Shape(), c.shape);
        const double positions[3] = {0.25, 0.5, 0.75};
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_NEAR(p.DenormalizeValue(positions[i]), c.fraction[i], 5e-7) << c.shape;
            EXPECT_NEAR(p.NormalizeValue(c.fraction[i]), positions[i], 5e-6) << c.shape;
        }
        EXPECT_NEAR(p.NormalizeValue(0.5), c.half, 5e-7) << c.shape;
    }
    PluginParam freq;
    freq.SetupDouble("Frequency", 80.0, 10.0, 2000.0, 1.0, "Hz", "", 3.0);
    freq.SetFromNormalized(0.5);
    EXPECT_DOUBLE_EQ(freq.Value(), 258.75);
    EXPECT_DOUBLE_EQ(freq.AsNormalized(), 0.5);
    EXPECT_EQ(Formatted(freq, 0.5, true), "258");
}

TEST(PluginParam, NormalizeClampsToTheRange)
{
    PluginParam p;
    p.SetupDouble("Gain", 0.0, -36.0, 36.0, 0.1, "dB");
    EXPECT_EQ(p.NormalizeValue(-100.0), 0.0);
    EXPECT_EQ(p.NormalizeValue(100.0), 1.0);
    EXPECT_DOUBLE_EQ(p.NormalizeValue(0.0), 0.5);
    EXPECT_EQ(p.NormalizeValue(-std::numeric_limits<double>::infinity()), 0.0);
}

TEST(PluginParam, SetValueClampsAndRefusesNaN)
{
    PluginParam p;
    p.SetupDouble("Gain", 0.0, -36.0, 36.0, 0.1, "dB");
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        double in;
        double out;
    } cases[] = {{12.5, 12.5}, {99.0, 36.0}, {-99.0, -36.0}, {inf, 36.0}, {-inf, -36.0}};
    for (const auto& c : cases)
    {
        p.SetValue(c.in);
        EXPECT_EQ(p.Value(), c.out) << c.in;
    }
    p.SetValue(7.0);
    p.SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 7.0);
}

TEST(PluginParam, BooleanTexts)
{
    PluginParam p;
    p.SetupBool("Bypass", true, "x", "");
    EXPECT_EQ(p.Type(), PluginParam::kTypeBool);
    EXPECT_EQ(p.Min(), 0.0);
    EXPECT_EQ(p.Max(), 1.0);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_EQ(p.DisplayTextCount(), 2);
    char out[32];
    p.FormatCurrent(out);
    EXPECT_STREQ(out, "on");
    EXPECT_STREQ(p.UnitLabel(), "");
    p.SetValue(0.0);
    p.FormatCurrent(out);
    EXPECT_STREQ(out, "off");
    int value = -1;
    EXPECT_FALSE(p.LookUpDisplayText("Off", &value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(p.LookUpDisplayText("on", &value));
    EXPECT_EQ(value, 1);
    EXPECT_STREQ(p.DisplayTextAt(0, &value), "off");
    EXPECT_EQ(value, 0);
    EXPECT_EQ(p.DisplayTextAt(2), nullptr);
}

TEST(PluginParam, SetupKeepsAKindAlreadySet)
{
    PluginParam p;
    p.SetupEnum("Mode", 1, 4);
    EXPECT_EQ(p.Type(), PluginParam::kTypeEnum);
    EXPECT_EQ(p.Max(), 3.0);
    p.SetupDouble("Mode", 0.0, 0.0, 10.0, 0.5);
    EXPECT_EQ(p.Type(), PluginParam::kTypeEnum);
    p.SetCurve(0.0);
    EXPECT_EQ(p.Shape(), 1.0);
    p.SetCurve(2.0);
    EXPECT_EQ(p.Shape(), 2.0);
}

TEST(PluginParam, NumbersTruncateTowardZeroAndNegateForDisplay)
{
    PluginParam p;
    p.SetupDouble("x", 0.0, -10.0, 10.0, 1.0, "dB");
    EXPECT_EQ(Formatted(p, 2.9), "2");
    EXPECT_EQ(Formatted(p, -2.9), "-2");
    EXPECT_EQ(Formatted(p, -0.5), "0");
    p.SetNegateDisplay(true);
    EXPECT_EQ(Formatted(p, 3.0), "-3");
    // Beyond the int range: still a whole number, no undefined conversion.
    p.SetNegateDisplay(false);
    EXPECT_EQ(Formatted(p, 1e12), "1000000000000");
}

TEST(PluginParam, UnitLabelAndDisplayTextsForDiscreteValues)
{
    PluginParam p;
    p.SetupEnum("Shape", 0, 3, "type");
    p.AddDisplayText(0, "Low");
    p.AddDisplayText(2, "");
    EXPECT_STREQ(p.UnitLabel(), "");
    EXPECT_EQ(Formatted(p, 0.0), "Low");
    EXPECT_EQ(Formatted(p, 0.0, false, false), "0");
    p.SetValue(1.0); // no text: the label and the number
    EXPECT_STREQ(p.UnitLabel(), "type");
    EXPECT_EQ(Formatted(p, 1.0), "1");
    p.SetValue(2.0); // an empty text counts as none
    EXPECT_STREQ(p.UnitLabel(), "type");
    EXPECT_EQ(Formatted(p, 2.0), "2");
    EXPECT_STREQ(p.DisplayTextFor(7), "");
}

TEST(PluginParam, DbToGain)
{
    PluginParam p;
    p.SetupDouble("Gain", 0.0, -36.0, 36.0, 0.1, "dB");
    const struct
    {
        double db;
        double gain;
    } cases[] = {
        {0.0, 1.0}, {20.0, 10.0}, {-20.0, 0.1}, {6.0, 1.9952623149688795}, {-36.0, 0.015848931924611134}};
    for (const auto& c : cases)
    {
        p.SetValue(c.db);
        EXPECT_NEAR(p.DbToGain(), c.gain, c.gain * 1e-12) << c.db;
    }
}

TEST(PluginParam, LongTextsAreTruncatedToTheirFields)
{
    const std::string longText(80, 'n');
    PluginParam p;
    p.SetupDouble(longText.c_str(), 0.0, 0.0, 1.0, 0.1, longText.c_str(), longText.c_str());
    EXPECT_EQ(std::string(p.ParamName()), longText.substr(0, 31));
    EXPECT_EQ(std::string(p.GroupName()), longText.substr(0, 31));
    EXPECT_EQ(std::string(p.UnitLabel()), longText.substr(0, 31));
    p.AddDisplayText(5, longText.c_str());
    EXPECT_EQ(std::string(p.DisplayTextFor(5)), longText.substr(0, 31));
    EXPECT_FALSE(p.LookUpDisplayText(longText.c_str(), nullptr));
}

TEST(PluginParam, FormatNeverWritesPastTheArea)
{
    PluginParam p;
    p.SetupDouble("x", 0.0, -1e300, 1e300, 0.01);
    char area[12];
    std::memset(area, '#', sizeof area);
    p.FormatValue(12345.678, false, area, true, 6);
    EXPECT_STREQ(area, "12345");
    for (int i = 6; i < 12; ++i)
        EXPECT_EQ(area[i], '#');
    char out[PluginParam::kFormatSize];
    p.FormatValue(1e300, false, out, true);
    EXPECT_EQ(std::strlen(out), static_cast<std::size_t>(PluginParam::kFormatSize - 1));
}
