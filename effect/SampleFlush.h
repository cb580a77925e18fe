#pragma once
// The exponent-field flushes shared by the filter and the level follower.
//
// The 11-bit exponent field of an IEEE 754 double sits in the high 32 bits, under the
// mask 0x7FF00000. A zero field means +-0.0 or a subnormal number: arithmetic on
// subnormals takes the processor's slow path, so the audio path replaces them by +0.0 in
// its inputs and in the values it computes, and silence decays to exact zeros. A field of
// all ones (0x7FF) means an infinity or a NaN: hosts do hand those over now and then, and
// one stored in a recursion would poison every later sample, so an input sample of that
// kind is replaced by +0.0 as well. Normal finite values pass unchanged.
//
// The field tests are written as magnitude comparisons that select the same values for
// every bit pattern: the field is 0 exactly when |x| < DBL_MIN (NaN compares false), and
// 0x7FF exactly when |x| <= DBL_MAX is false. Compilers turn these into branch-free
// compare-and-mask instructions.

#include <cfloat>
#include <cmath>

namespace sample_flush
{

// A computed value (output, envelope) with a zero exponent field replaced by +0.0.
inline double FlushZeroExponent(double x)
{
    return std::fabs(x) < DBL_MIN ? 0.0 : x;
}

// An input sample made safe for a recursion: +0.0 when the exponent field is 0 (zero,
// subnormal) or 0x7FF (infinity, NaN), x otherwise. Two selects in a row rather than one
// combined condition, which compilers would turn into a branch.
inline double FlushNonNormal(double x)
{
    const double magnitude = std::fabs(x);
    const double normal = magnitude >= DBL_MIN ? x : 0.0;
    return magnitude <= DBL_MAX ? normal : 0.0;
}

} // namespace sample_flush
