// The built-in demo signal: finite, at its level, and mostly low end.
#include "tools/DemoSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

TEST(DemoSignal, IsStereoAtMinus6DbfsWithTheRequestedLength)
{
    const AudioData demo = MakeDemoSignal(44100.0, 3.0);
    ASSERT_EQ(demo.ChannelCount(), 2);
    EXPECT_EQ(demo.Frames(), 132300u);
    EXPECT_EQ(demo.sampleRate, 44100.0);
    EXPECT_EQ(demo.channels[0], demo.channels[1]);
    double peak = 0.0;
    for (double v : demo.channels[0])
    {
        ASSERT_TRUE(std::isfinite(v));
        peak = std::max(peak, std::abs(v));
    }
    EXPECT_NEAR(peak, 0.5, 1e-12);
}

TEST(DemoSignal, CarriesMostOfItsEnergyBelow200Hz)
{
    // Over one second (a 1 Hz bin spacing), Parseval: the energy in bins 0..200 Hz over the
    // total energy.
    const AudioData demo = MakeDemoSignal(8000.0, 2.0);
    const std::size_t n = 8000;
    const std::vector<double>& x = demo.channels[0];
    double total = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        total += x[i] * x[i];
    double low = 0.0;
    for (int k = 0; k <= 200; ++k)
    {
        std::complex<double> bin = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            bin += x[i] * std::polar(1.0, -2.0 * std::numbers::pi * k * static_cast<double>(i) / n);
        low += (k == 0 ? 1.0 : 2.0) * std::norm(bin) / n;
    }
    EXPECT_GT(low / total, 0.8);
    EXPECT_LT(low / total, 1.0 + 1e-9);
}

TEST(DemoSignal, IsTheSameEveryTime)
{
    EXPECT_EQ(MakeDemoSignal(48000.0, 1.0).channels, MakeDemoSignal(48000.0, 1.0).channels);
}
