#include "effect/SampleFlush.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cstdint>
#include <limits>
#include <random>

namespace
{

// The definitions on the bits, through the exponent field (high word AND 0x7FF00000).
uint32_t ExponentField(uint64_t bits)
{
    return static_cast<uint32_t>(bits >> 32) & 0x7FF00000u;
}

uint64_t ReferenceInputBits(uint64_t bits)
{
    return ExponentField(bits) == 0 || ExponentField(bits) == 0x7FF00000u ? 0u : bits;
}

uint64_t ReferenceComputedBits(uint64_t bits)
{
    return ExponentField(bits) == 0 ? 0u : bits;
}

void ExpectBothFlushesMatch(uint64_t bits)
{
    const double v = std::bit_cast<double>(bits);
    EXPECT_EQ(std::bit_cast<uint64_t>(sample_flush::FlushNonNormal(v)), ReferenceInputBits(bits))
        << std::hex << bits;
    EXPECT_EQ(std::bit_cast<uint64_t>(sample_flush::FlushZeroExponent(v)), ReferenceComputedBits(bits))
        << std::hex << bits;
}

TEST(SampleFlush, MagnitudeTestsMatchTheExponentFieldOnEveryKindOfValue)
{
    const double values[] = {
        0.0,
        -0.0,
        std::numeric_limits<double>::denorm_min(),
        -std::numeric_limits<double>::denorm_min(),
        std::nextafter(DBL_MIN, 0.0), // largest subnormal
        DBL_MIN,                      // smallest normal: kept
        -DBL_MIN,
        1.0,
        -0.5,
        DBL_MAX,
        -DBL_MAX,
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::signaling_NaN(),
    };
    for (double v : values)
        ExpectBothFlushesMatch(std::bit_cast<uint64_t>(v));
    ExpectBothFlushesMatch(0x7FF0000000000001u); // NaN with the lowest payload
    ExpectBothFlushesMatch(0xFFFFFFFFFFFFFFFFu);

    // Random bit patterns, a quarter forced to each end of the exponent range.
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 200000 && !HasFailure(); ++i)
    {
        uint64_t bits = rng();
        if (i % 4 == 0)
            bits &= 0x800FFFFFFFFFFFFFu; // zero or subnormal
        else if (i % 4 == 1)
            bits |= 0x7FF0000000000000u; // infinite or NaN
        ExpectBothFlushesMatch(bits);
    }
}

} // namespace
