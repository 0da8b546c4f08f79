#pragma once
#include "dsp/SinCos.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace br::dsp
{
/** The LFO shapes in the order of the "waveform" choice. Any index outside
    0 .. 3 plays the sine, so a value from a newer or damaged preset still sounds. */
enum class Waveform : int
{
    square,
    triangle,
    sawUp,
    sawDown,
    sine
};

constexpr Waveform waveformFromIndex (int index) noexcept
{
    return (index >= 0 && index <= 3) ? static_cast<Waveform> (index) : Waveform::sine;
}

/** Fractional part of a phase that is known to lie in [0, 2). Equal to
    v - floor (v) there, without the libm call that blocks vectorising. */
constexpr double wrapOnce (double v) noexcept
{
    return v >= 1.0 ? v - 1.0 : v;
}

// One function per shape, all bipolar in -1 .. +1, phase in cycles within [0, 1).
// The engine's block loops call these directly so that each shape compiles to its
// own branch-free loop.
constexpr double squareShape (double p) noexcept
{
    return p < 0.5 ? 1.0 : -1.0;
}

constexpr double triangleShape (double p) noexcept
{
    return p < 0.25 ? 4.0 * p : (p < 0.75 ? 2.0 - 4.0 * p : 4.0 * p - 4.0);
}

constexpr double sawUpShape (double p) noexcept
{
    return 2.0 * wrapOnce (p + 0.5) - 1.0;
}
constexpr double sawDownShape (double p) noexcept
{
    return 1.0 - 2.0 * wrapOnce (p + 0.5);
}

inline double sineShape (double p) noexcept
{
    double s, c;
    sinCosCycles (p, s, c);
    return s;
}

/** W(p): the value of shape `waveform` (index as the parameter carries it) at
    phase `phase`, in cycles within [0, 1). */
inline double lfoShape (int waveform, double phase) noexcept
{
    switch (waveformFromIndex (waveform))
    {
    case Waveform::square:
        return squareShape (phase);
    case Waveform::triangle:
        return triangleShape (phase);
    case Waveform::sawUp:
        return sawUpShape (phase);
    case Waveform::sawDown:
        return sawDownShape (phase);
    case Waveform::sine:
        break;
    }
    return sineShape (phase);
}

#if defined(__SSE2__)
/** `wrapOnce` for two values in [0, 2) at once: v - 1 or v - 0, the same bits. */
inline __m128d wrapOnceLanes (__m128d v) noexcept
{
    const __m128d one = _mm_set1_pd (1.0);
    return _mm_sub_pd (v, _mm_and_pd (_mm_cmpge_pd (v, one), one));
}

/** W (p) for two phases at once (cycles, [0, 1)), for `waveform` 0 .. 3 (the sine
    has its own path): bit for bit what the scalar shapes above give. Every arm is
    computed and one taken (by mask, minimum or maximum) from the same arithmetic.
    The compiler will not turn the scalar arms into selects itself (the reason is
    under Choice::lanes in Select.h), and branching on the phase would mispredict at
    audio-rate modulation. */
template <int waveform> inline __m128d shapeLanes (__m128d p) noexcept
{
    const __m128d one = _mm_set1_pd (1.0);
    if constexpr (waveform == static_cast<int> (Waveform::square))
    {
        // -1 is 1 with the sign bit set.
        const __m128d high = _mm_cmplt_pd (p, _mm_set1_pd (0.5));
        return _mm_xor_pd (one, _mm_andnot_pd (high, _mm_set1_pd (-0.0)));
    }
    else if constexpr (waveform == static_cast<int> (Waveform::triangle))
    {
        // Each arm is the smaller or larger of its neighbours exactly on its own
        // stretch, and they meet with equal values at 0.25 and 0.75, so
        // max (min (4p, 2 - 4p), 4p - 4) is the table's value, bit for bit.
        const __m128d fourP = _mm_mul_pd (_mm_set1_pd (4.0), p);
        const __m128d falling = _mm_sub_pd (_mm_set1_pd (2.0), fourP);
        const __m128d risingAgain = _mm_sub_pd (fourP, _mm_set1_pd (4.0));
        return _mm_max_pd (_mm_min_pd (fourP, falling), risingAgain);
    }
    else
    {
        const __m128d wrapped = wrapOnceLanes (_mm_add_pd (p, _mm_set1_pd (0.5)));
        const __m128d twice = _mm_mul_pd (_mm_set1_pd (2.0), wrapped);
        if constexpr (waveform == static_cast<int> (Waveform::sawUp))
            return _mm_sub_pd (twice, one);
        else
            return _mm_sub_pd (one, twice);
    }
}
#endif
} // namespace br::dsp
