#pragma once
// Exponent-field tests shared by the filter and the level follower.
//
// Both look only at the high 32 bits of the IEEE 754 double, where the 11-bit exponent
// field sits in bits 20-30. A zero field means +-0.0 or a subnormal number: arithmetic on
// subnormals takes the processor's slow path, so the audio path replaces them by +0.0.
// A field of all ones (0x7FF) means an infinity or a NaN: hosts do hand those over now
// and then, and one of them stored in a recursion would poison it for ever, so an input
// sample of that kind is replaced by +0.0 as well. Finite normal values pass unchanged.
// All tests are branch-free (compare and select).

#include <bit>
#include <cstdint>

namespace sample_flush
{

// The 11-bit exponent field of x, 0 to 0x7FF.
inline std::uint32_t ExponentField(double x)
{
    return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x) >> 32) >> 20 & 0x7FFu;
}

// True for +-0.0 and subnormals: (high word AND 0x7FF00000) == 0.
inline bool HasZeroExponent(double x)
{
    return (static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x) >> 32) & 0x7FF00000u) == 0;
}

// x with a zero exponent field replaced by +0.0 (for computed values: outputs, envelopes).
inline double FlushZeroExponent(double x)
{
    return HasZeroExponent(x) ? 0.0 : x;
}

// An input sample made safe for a recursion: +0.0 when the exponent field is 0 (zero,
// subnormal) or 0x7FF (infinity, NaN), x otherwise. One unsigned comparison covers both
// ends: field - 1 wraps to 0xFFFFFFFF for 0 and gives 0x7FE for 0x7FF.
inline double FlushInput(double x)
{
    return ExponentField(x) - 1u >= 0x7FEu ? 0.0 : x;
}

} // namespace sample_flush
