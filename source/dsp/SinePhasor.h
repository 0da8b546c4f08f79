#pragma once
#include "dsp/SinCos.h"

namespace br::dsp
{
/** The turn of the phasor per sample: cosine and sine of one phase increment. */
struct PhasorStep
{
    double cosine = 1.0;
    double sine = 0.0;

    static PhasorStep forIncrement (double cyclesPerSample) noexcept
    {
        PhasorStep step;
        sinCosCycles (cyclesPerSample, step.sine, step.cosine);
        return step;
    }
};

/** The LFO's sine and cosine, carried from sample to sample by turning the pair
    through one phase increment (four multiplications and two additions) instead
    of evaluating the polynomial of `sinCosCycles` every sample.

    Every `refreshInterval` samples the pair is recomputed from the phase itself,
    so the rounding of the turns, about 2e-16 per sample, never builds up beyond
    about 1e-14, far below half a float ulp. Rounded to float the pair is then the
    polynomial's, except in the rare case where the exact value lies within 1e-14
    of a rounding boundary, and then one ulp away. The refreshes are counted in
    samples, not blocks, so the result never depends on how the host splits its
    blocks. Plain data, no allocation. */
struct SinePhasor
{
    static constexpr int refreshInterval = 64;

    double sine = 0.0;
    double cosine = 1.0;
    int untilRefresh = 0; // samples still to come from turning; 0: recompute at the next sample

    /** After the phase jumped (preparation, a host position lock) or stopped being
        followed (another shape played), the next sample starts from the phase. */
    void restart() noexcept { untilRefresh = 0; }

    /** The pair for `phase` (cycles), the phase of this sample; then turns on to
        the next sample's. */
    void next (double phase, const PhasorStep& step, float& sineOut, float& cosineOut) noexcept
    {
        if (untilRefresh == 0)
            refresh (phase);
        --untilRefresh;
        take (step, sineOut, cosineOut);
    }

    // For loops that run a stretch of samples at a time: refresh when `untilRefresh`
    // is 0, then take at most `untilRefresh` samples and count them off, which
    // saves the check in every sample and gives the same values as `next`.

    void refresh (double phase) noexcept
    {
        sinCosCycles<Choice::branch> (phase, sine, cosine);
        untilRefresh = refreshInterval;
    }

    void take (const PhasorStep& step, float& sineOut, float& cosineOut) noexcept
    {
        sineOut = static_cast<float> (sine);
        cosineOut = static_cast<float> (cosine);
        const double turnedSine = sine * step.cosine + cosine * step.sine;
        cosine = cosine * step.cosine - sine * step.sine;
        sine = turnedSine;
    }
};
} // namespace br::dsp
