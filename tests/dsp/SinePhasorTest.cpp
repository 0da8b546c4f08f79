#include "dsp/SinePhasor.h"
#include "dsp/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace
{
using br::test::ulpDistance;

struct IncrementCase
{
    const char* what;
    double increment; // cycles per sample
    double startPhase;
};

// Slow and fast LFOs, increments that are exact binary fractions (the turn is then
// exact too) and ones that are not, and the fastest the engine allows (0.45 cycles).
constexpr IncrementCase incrementCases[]{
    {"0.2 Hz at 48 kHz", 0.2 / 48000.0, 0.0},
    {"6.7 Hz at 44.1 kHz", 6.7 / 44100.0, 0.3},
    {"quarter cycle per sample", 0.25, 0.0},
    {"6000 Hz at 13334 Hz", 6000.0 / 13334.0, 0.9},
    {"stopped", 0.0, 0.7},
    {"1 Hz at 192 kHz from just below a cycle", 1.0 / 192000.0, 0.999999},
};
} // namespace

TEST (SinePhasor, FollowsTheKernelOnTheAccumulatedPhaseToWithinOneUlp)
{
    for (const auto& c : incrementCases)
    {
        SCOPED_TRACE (c.what);
        const auto step = br::dsp::PhasorStep::forIncrement (c.increment);
        br::dsp::SinePhasor phasor;
        double phase = c.startPhase;
        std::int64_t worst = 0;
        int differing = 0;
        constexpr int samples = 400000;
        for (int i = 0; i < samples; ++i)
        {
            float s, co;
            phasor.next (phase, step, s, co);
            double ks, kc;
            br::dsp::sinCosCycles (phase, ks, kc);
            const auto want = static_cast<float> (ks), wantCosine = static_cast<float> (kc);
            // Near a zero crossing the ulp vanishes; the turn is off by about 1e-14 there.
            if (std::abs (want) > 1.0e-6f)
                worst = std::max (worst, ulpDistance (s, want));
            else
                ASSERT_NEAR (s, want, 1.0e-13f) << "sample " << i;
            if (std::abs (wantCosine) > 1.0e-6f)
                worst = std::max (worst, ulpDistance (co, wantCosine));
            else
                ASSERT_NEAR (co, wantCosine, 1.0e-13f) << "sample " << i;
            differing += (s != want) + (co != wantCosine);

            phase += c.increment; // as the engine accumulates it
            if (phase >= 1.0)
                phase -= 1.0;
        }
        EXPECT_LE (worst, 1);
        EXPECT_LE (differing, samples / 10000) << "rounding lands elsewhere only rarely";
    }
}

TEST (SinePhasor, StartsFromThePhaseAfterARestartAndEverySixtyFourSamples)
{
    // Between refreshes the pair comes from turning; at a refresh it is the kernel's
    // own value at the phase given, whatever the turn would have said.
    const auto step = br::dsp::PhasorStep::forIncrement (0.01);
    br::dsp::SinePhasor phasor;
    float s, c;
    for (int i = 0; i < 10; ++i)
        phasor.next (0.1 + 0.01 * i, step, s, c);

    phasor.restart();
    phasor.next (0.6, step, s, c); // a jump, as a host position lock makes
    double ks, kc;
    br::dsp::sinCosCycles (0.6, ks, kc);
    EXPECT_EQ (s, static_cast<float> (ks));
    EXPECT_EQ (c, static_cast<float> (kc));

    // A phase that disagrees with the turn shows exactly where the refreshes fall.
    int refreshes = 0;
    for (int i = 1; i < 3 * br::dsp::SinePhasor::refreshInterval; ++i)
    {
        phasor.next (0.0, step, s, c);
        if (s == 0.0f && c == 1.0f)
        {
            ++refreshes;
            EXPECT_EQ (i % br::dsp::SinePhasor::refreshInterval, 0) << "sample " << i;
        }
    }
    EXPECT_EQ (refreshes, 2);
}
