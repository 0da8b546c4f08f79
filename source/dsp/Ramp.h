#pragma once
#include <cmath>

namespace br::dsp
{
/** A straight-line glide towards a target, advanced once per sample.
    Stage settings and on/off switches reach the audio only through these, so a
    jump in a control is heard as a short fade instead of a click. Plain data:
    the engine holds several by value, and nothing here allocates or locks. */
struct Ramp
{
    float current = 0.0f;
    float target = 0.0f;
    float increment = 0.0f;
    int countdown = 0; // samples left in the glide; 0 means at rest

    /** Starts a glide of `lengthInSamples` (>= 1) from wherever `current` stands.
        Near-equal targets are ignored so that a glide already under way is not
        restarted, and slowed, by a host re-sending the same value. */
    void glideTo (float newTarget, int lengthInSamples) noexcept
    {
        if (std::abs (newTarget - target) < 1.0e-9f)
            return;
        target = newTarget;
        countdown = lengthInSamples;
        increment = (newTarget - current) / static_cast<float> (lengthInSamples);
    }

    /** Lands on `value` at once: the first block after a preparation has no
        earlier sound to fade from. */
    void jumpTo (float value) noexcept
    {
        current = target = value;
        countdown = 0;
    }

    bool isMoving() const noexcept { return countdown > 0; }

    /** The last step copies `target` rather than adding, so float rounding in
        `increment` cannot leave a residue that keeps a stage audibly "on". */
    float next() noexcept
    {
        if (countdown > 0)
            current = (--countdown == 0) ? target : current + increment;
        return current;
    }
};
} // namespace br::dsp
