// The SSE2 form of StereoPath: lane 0 carries the left filter and the IN follower, lane 1
// the right filter and the OUT follower. Every lane operation is the IEEE operation the
// scalar path performs on that lane, in the same order, so the results are bit-identical
// (but for the payload of a NaN, which no form promises).
//
// The flushes are branches on a lane mask, not compare-and-mask arithmetic. In audio the
// branches go the same way sample after sample, so they are predicted and the flushed
// value does not wait for the comparison: the recursion runs at the speed of its
// multiplications and additions. A mask would add a comparison and a logical operation
// to every step of the recursion, about half as much again as the recursion itself.
//
// Silence has its own loops, chosen per block, so that it never costs more than a signal:
// an input block of +0.0 samples skips the input tests, and once the filters have come
// to rest (all memory +0.0) only the followers' decay is left to compute.
#include "effect/StereoPath.h"

#if defined(__SSE2__)

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <emmintrin.h>

// Everything the block loop uses is inlined into each of the two entry points below, so
// that the one compiled for AVX runs entirely in AVX encoding.
#define AVX_READY [[gnu::always_inline]] inline

namespace
{

AVX_READY __m128d Pair(double lane0, double lane1)
{
    return _mm_set_pd(lane1, lane0);
}

AVX_READY double Lane0(__m128d v)
{
    return _mm_cvtsd_f64(v);
}

AVX_READY double Lane1(__m128d v)
{
    return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
}

// v with the lanes in `lanes` (bit 0 lane 0, bit 1 lane 1; not 0) replaced by +0.0.
// The result depends on v through a shuffle at most, never on the comparison that
// produced `lanes`.
AVX_READY __m128d ZeroLanes(__m128d v, int lanes)
{
    if (lanes == 3)
        return _mm_setzero_pd();
    if (lanes == 1)
        return _mm_move_sd(v, _mm_setzero_pd());
    return _mm_unpacklo_pd(v, _mm_setzero_pd());
}

// a in the lanes in `lanes` (not 0), b in the others.
AVX_READY __m128d SelectLanes(__m128d a, __m128d b, int lanes)
{
    if (lanes == 1)
        return _mm_move_sd(b, a);
    if (lanes == 2)
        return _mm_move_sd(a, b);
    return a;
}

AVX_READY __m128d AbsMask()
{
    return _mm_castsi128_pd(_mm_set1_epi64x(INT64_MAX));
}

AVX_READY __m128d MinNormal()
{
    return _mm_set1_pd(DBL_MIN);
}

AVX_READY __m128d MaxFinite()
{
    return _mm_set1_pd(DBL_MAX);
}

// The lanes of v whose exponent field is 0 or 0x7FF (zero, subnormal, infinite, NaN), as
// bits (bit 0 lane 0, bit 1 lane 1): inputs and filter outputs with such lanes are
// flushed. One integer comparison, which keeps the test per filter step as cheap as the
// zero-field test alone. Shifted left by one (the sign out), the high 32 bits h of a lane
// hold the field in bits 21-31, so the field is 0 or 0x7FF exactly when
// h + 0x00200000 < 0x00400000 (unsigned, mod 2^32); adding 0x80000000 more makes that a
// signed comparison. Only the high half of each lane's comparison is read.
AVX_READY int NonNormalLanes(__m128d v)
{
    const __m128i shifted = _mm_slli_epi64(_mm_castpd_si128(v), 1);
    const __m128i biased = _mm_add_epi32(shifted, _mm_set1_epi32(static_cast<int>(0x80200000u)));
    const __m128i bad = _mm_cmplt_epi32(biased, _mm_set1_epi32(static_cast<int>(0x80400000u)));
    return _mm_movemask_pd(_mm_castsi128_pd(bad));
}

// The lanes of v whose exponent field is zero (+-0.0, subnormal), as bits (bit 0 lane 0,
// bit 1 lane 1): |v| < DBL_MIN; NaN is not. Computed values with such lanes are flushed.
AVX_READY int ZeroExponentLanes(__m128d v)
{
    return _mm_movemask_pd(_mm_cmplt_pd(_mm_and_pd(v, AbsMask()), MinNormal()));
}

// True when every sample of v[0, n) is +0.0 (all bits clear).
AVX_READY bool AllPlusZero(const double* v, int n)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    while (i < n)
    {
        // Short chunks, so that a block with a signal is recognised at once.
        const int end = std::min(n, i + 32);
        __m128i bits = zero;
        for (; i + 2 <= end; i += 2)
            bits = _mm_or_si128(bits, _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i)));
        if (i < end)
            bits = _mm_or_si128(bits, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + i++)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(bits, zero)) != 0xFFFF)
            return false;
    }
    return true;
}

// True when every sample of v[0, n) has an exponent field other than 0 and 0x7FF:
// DBL_MIN <= |v| <= DBL_MAX.
AVX_READY bool AllNormal(const double* v, int n)
{
    __m128d normal = _mm_castsi128_pd(_mm_set1_epi32(-1));
    int i = 0;
    while (i < n)
    {
        const int end = std::min(n, i + 64);
        for (; i + 2 <= end; i += 2)
        {
            const __m128d magnitude = _mm_and_pd(_mm_loadu_pd(v + i), AbsMask());
            normal = _mm_and_pd(normal, _mm_and_pd(_mm_cmpge_pd(magnitude, MinNormal()),
                                                   _mm_cmple_pd(magnitude, MaxFinite())));
        }
        if (i < end)
        {
            const __m128d magnitude = _mm_and_pd(_mm_set1_pd(v[i++]), AbsMask());
            normal = _mm_and_pd(normal, _mm_and_pd(_mm_cmpge_pd(magnitude, MinNormal()),
                                                   _mm_cmple_pd(magnitude, MaxFinite())));
        }
        if (_mm_movemask_pd(normal) != 3)
            return false;
    }
    return true;
}

bool AllFinite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

bool AllFiniteNonNegative(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v) && v >= 0.0; });
}

} // namespace

// The two filters and two followers as lane pairs for the length of one block.
struct StereoPathLanes
{
    AVX_READY explicit StereoPathLanes(const StereoPath& p)
        : b0(Pair(p.leftFilter.b0_, p.rightFilter.b0_)), b1(Pair(p.leftFilter.b1_, p.rightFilter.b1_)),
          b2(Pair(p.leftFilter.b2_, p.rightFilter.b2_)), a1(Pair(p.leftFilter.a1_, p.rightFilter.a1_)),
          a2(Pair(p.leftFilter.a2_, p.rightFilter.a2_)), x1(Pair(p.leftFilter.x1_, p.rightFilter.x1_)),
          x2(Pair(p.leftFilter.x2_, p.rightFilter.x2_)), y1(Pair(p.leftFilter.y1_, p.rightFilter.y1_)),
          y2(Pair(p.leftFilter.y2_, p.rightFilter.y2_)),
          attack(Pair(p.inputFollower.attackCoef_, p.outputFollower.attackCoef_)),
          release(Pair(p.inputFollower.releaseCoef_, p.outputFollower.releaseCoef_)),
          attackKeep(Pair(p.inputFollower.attackKeep_, p.outputFollower.attackKeep_)),
          releaseKeep(Pair(p.inputFollower.releaseKeep_, p.outputFollower.releaseKeep_)),
          envelope(Pair(p.inputFollower.envelope_, p.outputFollower.envelope_)),
          wet(_mm_set1_pd(p.wetAmount)), dry(_mm_set1_pd(p.dryAmount)), gain(_mm_set1_pd(p.gainFactor))
    {
    }

    AVX_READY void StoreTo(StereoPath& p) const
    {
        p.leftFilter.x1_ = Lane0(x1), p.rightFilter.x1_ = Lane1(x1);
        p.leftFilter.x2_ = Lane0(x2), p.rightFilter.x2_ = Lane1(x2);
        p.leftFilter.y1_ = Lane0(y1), p.rightFilter.y1_ = Lane1(y1);
        p.leftFilter.y2_ = Lane0(y2), p.rightFilter.y2_ = Lane1(y2);
        // The last levels returned: the envelopes flushed.
        __m128d level = envelope;
        if (const int flushed = ZeroExponentLanes(envelope))
            level = ZeroLanes(level, flushed);
        p.inputFollower.envelope_ = Lane0(envelope), p.outputFollower.envelope_ = Lane1(envelope);
        p.inputFollower.output_ = Lane0(level), p.outputFollower.output_ = Lane1(level);
        p.inputLevel.store(Lane0(level), std::memory_order_relaxed);
        p.outputLevel.store(Lane1(level), std::memory_order_relaxed);
    }

    // What a block's input is known to hold: anything, only values that need no flush
    // (exponent field neither 0 nor 0x7FF), or only +0.0.
    enum class Input
    {
        kAny,
        kNormal,
        kSilent,
    };

    // The general step over frames samples; the input tests are left out where the
    // block's input is known not to need them, and a silent input is not read at all.
    template <Input kInput>
    AVX_READY void Run(const double* inL, const double* inR, double* outL, double* outR, int frames)
    {
        // x * dry of a +0.0 input, as the general step computes it.
        const __m128d silentDry = _mm_mul_pd(_mm_setzero_pd(), dry);
        // Two samples per pass let the memory shifts (x2 = x1, x1 = xf, ...) become
        // register renames instead of copies.
#pragma GCC unroll 2
        for (int i = 0; i < frames; ++i)
        {
            __m128d x = _mm_setzero_pd();
            __m128d xf = x;
            if constexpr (kInput != Input::kSilent)
            {
                x = _mm_loadh_pd(_mm_load_sd(inL + i), inR + i);
                xf = x;
            }
            if constexpr (kInput == Input::kAny)
            {
                // Inputs whose exponent field is 0 or 0x7FF enter the filters as +0.0.
                if (const int bad = NonNormalLanes(x)) [[unlikely]]
                    xf = ZeroLanes(x, bad);
            }
            const __m128d sum =
                _mm_add_pd(_mm_add_pd(_mm_mul_pd(b0, xf), _mm_mul_pd(b1, x1)), _mm_mul_pd(b2, x2));
            __m128d y = _mm_sub_pd(_mm_sub_pd(sum, _mm_mul_pd(a1, y1)), _mm_mul_pd(a2, y2));
            if (const int flushed = NonNormalLanes(y)) [[unlikely]]
            {
                // A sum that is not finite clears that lane's memory (after the shifts below).
                const int restart = _mm_movemask_pd(_mm_cmpnle_pd(_mm_and_pd(y, AbsMask()), MaxFinite()));
                y = ZeroLanes(y, flushed);
                if (restart != 0)
                {
                    xf = ZeroLanes(xf, restart);
                    x1 = ZeroLanes(x1, restart);
                    y1 = ZeroLanes(y1, restart);
                }
            }
            x2 = x1;
            x1 = xf;
            y2 = y1;
            y1 = y;

            // Lane 1 adds in the other order (R*dry + fR*wet); IEEE addition commutes.
            const __m128d xDry = kInput == Input::kSilent ? silentDry : _mm_mul_pd(x, dry);
            const __m128d out = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(y, wet), xDry), gain);
            _mm_storel_pd(outL + i, out);
            _mm_storeh_pd(outR + i, out);

            // Followers: IN on the input sample, OUT on output channel 0. The usual step
            // is a release with nothing to flush: DBL_MIN <= r <= envelope, r finite
            // (which also puts the envelope above the subnormal range). A silent input's
            // r of +0.0 needs no flush either, so its lane is tested as if r were
            // DBL_MIN. Anything else (a rising level, a value to flush) takes the exact
            // general step.
            __m128d r = _mm_and_pd(_mm_unpacklo_pd(x, out), AbsMask());
            const __m128d rTested = kInput == Input::kSilent ? _mm_move_sd(r, MinNormal()) : r;
            __m128d level = envelope;
            __m128d k = release;
            __m128d keep = releaseKeep;
            const __m128d usual = _mm_and_pd(_mm_cmpge_pd(rTested, MinNormal()),
                                             _mm_cmple_pd(rTested, _mm_min_pd(envelope, MaxFinite())));
            if (_mm_movemask_pd(usual) != 3) [[unlikely]]
            {
                if (const int bad = NonNormalLanes(r))
                    r = ZeroLanes(r, bad);
                if (const int flushed = ZeroExponentLanes(envelope))
                    level = ZeroLanes(level, flushed);
                if (const int up = _mm_movemask_pd(_mm_cmplt_pd(envelope, r)))
                {
                    k = SelectLanes(attack, release, up);
                    keep = SelectLanes(attackKeep, releaseKeep, up);
                }
            }
            envelope = _mm_add_pd(_mm_mul_pd(keep, level), _mm_mul_pd(k, r));
        }
    }

    // Silent input with the filters at rest (memory all +0.0), finite coefficients and
    // mix factors, non-negative follower factors and envelopes. The filters then output
    // +0.0 and stay at rest, every output sample is the constant (0*wet + 0*dry)*gain (a
    // zero), both followers see r = +0.0 and release: envelope = releaseKeep *
    // flushed(envelope) + release * 0, where the last term is +0.0 and adding it changes
    // nothing.
    AVX_READY void RunAtRest(double* outL, double* outR, int frames)
    {
        const __m128d zero = _mm_setzero_pd();
        const __m128d out = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(zero, wet), _mm_mul_pd(zero, dry)), gain);
        const double outLeft = Lane0(out), outRight = Lane1(out);
        std::fill(outL, outL + frames, outLeft);
        std::fill(outR, outR + frames, outRight);
        // x1 = x2 = y1 = y2 = +0.0 already.
        if (_mm_movemask_pd(_mm_cmpeq_pd(envelope, zero)) == 3)
            return; // nothing left to decay
        for (int i = 0; i < frames; ++i)
        {
            __m128d level = envelope;
            if (const int flushed = ZeroExponentLanes(envelope)) [[unlikely]]
                level = ZeroLanes(level, flushed);
            envelope = _mm_mul_pd(releaseKeep, level);
        }
    }

    AVX_READY bool FiltersAtRest() const
    {
        const __m128i bits = _mm_or_si128(_mm_or_si128(_mm_castpd_si128(x1), _mm_castpd_si128(x2)),
                                          _mm_or_si128(_mm_castpd_si128(y1), _mm_castpd_si128(y2)));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(bits, _mm_setzero_si128())) == 0xFFFF;
    }

    // One block: picks the loop that fits the block's input and the state.
    AVX_READY static void RenderBlock(StereoPath& path, const double* inL, const double* inR, double* outL,
                                      double* outR, int frames)
    {
        if (frames <= 0)
            return;
        // The OUT follower reads output channel 0 back as stored; only when both outputs are
        // one buffer does that differ from the value just computed for it.
        if (outL == outR)
        {
            path.RenderScalar(inL, inR, outL, outR, frames);
            return;
        }
        StereoPathLanes lanes(path);
        if (!AllPlusZero(inL, frames) || !AllPlusZero(inR, frames))
        {
            if (AllNormal(inL, frames) && AllNormal(inR, frames))
                lanes.Run<StereoPathLanes::Input::kNormal>(inL, inR, outL, outR, frames);
            else
                lanes.Run<StereoPathLanes::Input::kAny>(inL, inR, outL, outR, frames);
        }
        else if (lanes.FiltersAtRest() &&
                 AllFinite({path.leftFilter.b0_, path.leftFilter.b1_, path.leftFilter.b2_,
                            path.leftFilter.a1_, path.leftFilter.a2_, path.rightFilter.b0_,
                            path.rightFilter.b1_, path.rightFilter.b2_, path.rightFilter.a1_,
                            path.rightFilter.a2_, path.wetAmount, path.dryAmount, path.gainFactor}) &&
                 AllFiniteNonNegative({path.inputFollower.releaseCoef_, path.inputFollower.releaseKeep_,
                                       path.outputFollower.releaseCoef_, path.outputFollower.releaseKeep_,
                                       path.inputFollower.envelope_, path.outputFollower.envelope_}))
        {
            lanes.RunAtRest(outL, outR, frames);
        }
        else
        {
            lanes.Run<StereoPathLanes::Input::kSilent>(inL, inR, outL, outR, frames);
        }
        lanes.StoreTo(path);
    }

    const __m128d b0, b1, b2, a1, a2;
    __m128d x1, x2, y1, y2;
    const __m128d attack, release, attackKeep, releaseKeep;
    __m128d envelope;
    const __m128d wet, dry, gain;
};

void StereoPath::RenderSse2(const double* inL, const double* inR, double* outL, double* outR, int frames)
{
    StereoPathLanes::RenderBlock(*this, inL, inR, outL, outR, frames);
}

[[gnu::target("avx")]] void StereoPath::RenderAvx(const double* inL, const double* inR, double* outL,
                                                  double* outR, int frames)
{
    StereoPathLanes::RenderBlock(*this, inL, inR, outL, outR, frames);
}

bool StereoPath::AvxAvailable()
{
    return __builtin_cpu_supports("avx");
}

#endif
