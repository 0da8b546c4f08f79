#include "dsp/DelayLine.h"

#include <gtest/gtest.h>

using br::dsp::Choice;
using br::dsp::interpolateDelay;

TEST (DelayLine, ReadsStraightLinesExactlyBetweenTheTaps)
{
    // A ramp through the four taps is a straight line in the delay: the cubic's
    // curvature terms vanish, and both ways of choosing agree.
    const struct
    {
        const char* what;
        float newer, at, older, oldest, fraction;
        bool belowOneSample;
        float expected;
    } cases[]{
        {"cubic, at the tap", 4.0f, 3.0f, 2.0f, 1.0f, 0.0f, false, 3.0f},
        {"cubic, a quarter on", 4.0f, 3.0f, 2.0f, 1.0f, 0.25f, false, 2.75f},
        {"cubic, just short of the next tap", 4.0f, 3.0f, 2.0f, 1.0f, 0.9990234375f, false, 2.0009765625f},
        {"under one sample the line is straight between the two newest", 99.0f, 1.0f, -1.0f, 50.0f, 0.5f, true, 0.0f},
        {"under one sample, zero delay is the newest sample", 99.0f, 0.3f, -1.0f, 50.0f, 0.0f, true, 0.3f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (interpolateDelay<Choice::lanes> (c.newer, c.at, c.older, c.oldest, c.fraction, c.belowOneSample),
                   c.expected);
        EXPECT_EQ (interpolateDelay<Choice::branch> (c.newer, c.at, c.older, c.oldest, c.fraction, c.belowOneSample),
                   c.expected);
    }
}

TEST (DelayLine, CurvesThroughAPeakLikeACatmullRomSpline)
{
    // Taps 0, 1, 0, 0: halfway between the 1 and the following 0 a Catmull-Rom
    // spline gives 0.5625, rising less steeply than a straight line would allow for.
    EXPECT_FLOAT_EQ (interpolateDelay (0.0f, 1.0f, 0.0f, 0.0f, 0.5f, false), 0.5625f);
    EXPECT_FLOAT_EQ (interpolateDelay (1.0f, 0.0f, 0.0f, 0.0f, 0.5f, false), -0.0625f);
}

TEST (DelayLine, GrowsToTheNextPowerOfTwoAbove30MillisecondsAndEightSamples)
{
    const struct
    {
        double sampleRate;
        size_t length;
    } cases[]{{8000, 256},   {22050, 1024}, {44100, 2048},  {48000, 2048},  {67999, 2048},
              {68001, 4096}, {96000, 4096}, {192000, 8192}, {384000, 16384}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.sampleRate);
        EXPECT_EQ (br::dsp::delayLineLength (c.sampleRate), c.length);
    }
}
