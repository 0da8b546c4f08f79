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

/** Shape `waveform` (0 .. 3; the sine has its own path) at `offset` cycles
    (0 .. 1) ahead of each of `numSamples` phases (cycles, [0, 1)), as floats:
    float (W (frac (offset + phase))), bit for bit as `lfoShape` gives it.

    Written out for SSE2, two phases per step: with the default -ftrapping-math the
    compiler will not turn the arms of the shapes above into selects and leaves a
    loop over them scalar. Here every arm is computed and one taken by mask, with
    the same arithmetic, so the same bits. */
template <int waveform>
inline void shapesAhead (const double* phases, double offset, float* out, int numSamples) noexcept
{
    int i = 0;
#if defined(__SSE2__)
    const auto choose = [] (__m128d mask, __m128d whenTrue, __m128d whenFalse)
    { return _mm_or_pd (_mm_and_pd (mask, whenTrue), _mm_andnot_pd (mask, whenFalse)); };
    const __m128d one = _mm_set1_pd (1.0), offsets = _mm_set1_pd (offset);
    const auto shape = [&] (__m128d p)
    {
        if constexpr (waveform == static_cast<int> (Waveform::square))
        {
            return choose (_mm_cmplt_pd (p, _mm_set1_pd (0.5)), one, _mm_set1_pd (-1.0));
        }
        else if constexpr (waveform == static_cast<int> (Waveform::triangle))
        {
            const __m128d fourP = _mm_mul_pd (_mm_set1_pd (4.0), p);
            const __m128d falling = _mm_sub_pd (_mm_set1_pd (2.0), fourP);
            const __m128d risingAgain = _mm_sub_pd (fourP, _mm_set1_pd (4.0));
            return choose (_mm_cmplt_pd (p, _mm_set1_pd (0.25)), fourP,
                           choose (_mm_cmplt_pd (p, _mm_set1_pd (0.75)), falling, risingAgain));
        }
        else
        {
            const __m128d shifted = _mm_add_pd (p, _mm_set1_pd (0.5));
            const __m128d wrapped = choose (_mm_cmpge_pd (shifted, one), _mm_sub_pd (shifted, one), shifted);
            const __m128d twice = _mm_mul_pd (_mm_set1_pd (2.0), wrapped);
            if constexpr (waveform == static_cast<int> (Waveform::sawUp))
                return _mm_sub_pd (twice, one);
            else
                return _mm_sub_pd (one, twice);
        }
    };
    for (; i + 4 <= numSamples; i += 4)
    {
        __m128d p[2] = {_mm_loadu_pd (phases + i), _mm_loadu_pd (phases + i + 2)};
        if (offset != 0.0)
            for (auto& v : p)
            {
                const __m128d ahead = _mm_add_pd (offsets, v);
                v = choose (_mm_cmpge_pd (ahead, one), _mm_sub_pd (ahead, one), ahead);
            }
        _mm_storeu_ps (out + i, _mm_movelh_ps (_mm_cvtpd_ps (shape (p[0])), _mm_cvtpd_ps (shape (p[1]))));
    }
#endif
    for (; i < numSamples; ++i)
        out[i] = static_cast<float> (lfoShape (waveform, offset != 0.0 ? wrapOnce (offset + phases[i]) : phases[i]));
}
} // namespace br::dsp
