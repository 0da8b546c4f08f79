#pragma once
#include "dsp/SinCos.h"

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
} // namespace br::dsp
