#pragma once
#include "dsp/Select.h"

#include <cmath>
#include <cstddef>

namespace br::dsp
{
/** Length, a power of two, of each vibrato delay line at `sampleRate` (> 0).
    The vibrato swings the delay between 0 and 30 ms; 8 more samples leave room
    for the interpolation taps, and the power of two lets a mask replace every
    modulo on the audio thread. */
inline std::size_t delayLineLength (double sampleRate) noexcept
{
    const auto needed = static_cast<std::size_t> (std::ceil (sampleRate * 0.015 + sampleRate * 0.015)) + 8;
    std::size_t length = 1;
    while (length < needed)
        length *= 2;
    return length;
}

/** The delayed value at `fraction` (0 .. 1) of a sample beyond the tap `y0`, from
    the four taps around it: `yNewer` one sample newer, `y1` one older, `y2` two older.

    From one sample of delay on, a four-point cubic keeps the vibrato free of the
    dulling that linear interpolation adds as the fraction sweeps. Below one sample
    the newer neighbour does not exist yet (that slot holds the oldest sample of
    the line), so the read is a straight line between the two newest samples. Both
    are computed and one is selected, so a loop over a block stays branch-free. */
template <Choice how = Choice::lanes>
inline float interpolateDelay (float yNewer, float y0, float y1, float y2, float fraction, bool belowOneSample) noexcept
{
    if constexpr (how == Choice::branch)
    {
        if (belowOneSample)
            return y0 + fraction * (y1 - y0);
    }
    const float c1 = 0.5f * (y1 - yNewer);
    const float c2 = yNewer - 2.5f * y0 + 2.0f * y1 - 0.5f * y2;
    const float c3 = 0.5f * (y2 - yNewer) + 1.5f * (y0 - y1);
    const float cubic = ((c3 * fraction + c2) * fraction + c1) * fraction + y0;
    const float linear = y0 + fraction * (y1 - y0);
    return select<how> (belowOneSample, linear, cubic);
}
} // namespace br::dsp
