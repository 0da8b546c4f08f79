// What the engine does to sound, measured from its output alone: tremolo envelope,
// vibrato pitch, rotation angle, and the fades of switches and bypass.

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace br;
using namespace br::test;
using br::dsp::BlockParams;
using br::dsp::ModEngine;

namespace
{
constexpr double pi = 3.14159265358979323846;

/** Upward crossings of `level`, at sub-sample positions (linear between samples). */
std::vector<double> upwardCrossings (const std::vector<float>& v, float level, size_t from = 0)
{
    std::vector<double> at;
    for (size_t i = std::max<size_t> (from, 1); i < v.size(); ++i)
        if (v[i - 1] < level && v[i] >= level)
            at.push_back (static_cast<double> (i - 1) + (level - v[i - 1]) / (v[i] - v[i - 1]));
    return at;
}

std::vector<float> run (ModEngine& engine, const BlockParams& p, std::vector<float>& left, std::vector<float>* right,
                        int block = 256, bool bypassed = false)
{
    processInBlocks (engine, p, {}, left, right, {block}, bypassed);
    return left;
}

float largestStep (const std::vector<float>& v, size_t from, size_t to)
{
    float step = 0.0f;
    for (size_t i = from + 1; i < to; ++i)
        step = std::max (step, std::abs (v[i] - v[i - 1]));
    return step;
}
} // namespace

TEST (ModEngineSound, TremoloMovesTheLevelByTheDepthAtTheLfoRate)
{
    const struct
    {
        const char* what;
        int waveform;
        float rateHz, depthPercent;
        double sampleRate;
        float slack; // the LFO's 1.5 ms smoother rounds the shape's corners a little
    } cases[]{
        {"sine 2 Hz, 60 %", 4, 2.0f, 60.0f, 44100, 1.0e-3f},
        {"sine 5.5 Hz, 25 %: the smoother takes 0.13 % off its swing", 4, 5.5f, 25.0f, 48000, 2.0e-3f},
        {"triangle 3 Hz, 100 %: corners cut by slope x 1.5 ms", 1, 3.0f, 100.0f, 96000, 8.0e-3f},
        {"square 1 Hz, 100 %: full level and silence", 0, 1.0f, 100.0f, 44100, 1.0e-4f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto p = stagesOff (defaultParams());
        p[Param::amOn] = 1.0f;
        p[Param::amDepth] = c.depthPercent;
        p[Param::rate] = c.rateHz;
        p[Param::waveform] = static_cast<float> (c.waveform);
        ModEngine engine;
        engine.prepare (c.sampleRate);

        // A steady input makes the output the envelope itself.
        const auto seconds = 4.0;
        std::vector<float> left (static_cast<size_t> (seconds * c.sampleRate), 0.5f), right = left;
        const auto out = run (engine, p, left, &right);

        const auto [lowest, highest] = std::minmax_element (out.begin(), out.end());
        EXPECT_NEAR (*highest, 0.5f, 0.5f * c.slack);
        EXPECT_NEAR (1.0f - *lowest / *highest, c.depthPercent / 100.0f, c.slack);

        const auto crossings = upwardCrossings (out, 0.5f * (1.0f - c.depthPercent / 200.0f));
        ASSERT_GE (crossings.size(), 3u);
        const double periods = static_cast<double> (crossings.size() - 1);
        const double measuredHz = periods * c.sampleRate / (crossings.back() - crossings.front());
        EXPECT_NEAR (measuredHz, c.rateHz, c.rateHz * 1.0e-3);
    }
}

TEST (ModEngineSound, VibratoBendsThePitchBySixPercentAtFullDepthAboveTheDelayCap)
{
    // The delay swings sinusoidally by the FM depth; its slope bends the pitch by
    // 0.0595 x depth, whatever the rate, until the 15 ms cap (below about 0.63 Hz
    // at full depth) takes over and the bend becomes 2 pi f x 15 ms.
    const struct
    {
        const char* what;
        float rateHz, depthPercent;
        double expectedDeviation;
    } cases[]{
        {"0.7 Hz full depth", 0.7f, 100.0f, 0.0595},
        {"2 Hz full depth", 2.0f, 100.0f, 0.0595},
        {"8 Hz full depth", 8.0f, 100.0f, 0.0595},
        {"2 Hz half depth", 2.0f, 50.0f, 0.02975},
        {"0.2 Hz full depth: capped at 15 ms", 0.2f, 100.0f, 2.0 * pi * 0.2 * 0.015},
    };
    const double sampleRate = 48000, carrierHz = 2000;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto p = stagesOff (defaultParams());
        p[Param::fmOn] = 1.0f;
        p[Param::fmDepth] = c.depthPercent;
        p[Param::rate] = c.rateHz;
        ModEngine engine;
        engine.prepare (sampleRate);

        const double seconds = 1.0 / c.rateHz + 0.5; // a whole LFO cycle after the start
        auto left = sine (static_cast<size_t> (seconds * sampleRate), carrierHz, sampleRate);
        const auto out = run (engine, p, left, nullptr);

        const auto crossings = upwardCrossings (out, 0.0f, static_cast<size_t> (0.1 * sampleRate));
        double highest = 0.0, lowest = 1.0e9;
        for (size_t i = 2; i < crossings.size(); ++i)
        {
            const double hz = 2.0 * sampleRate / (crossings[i] - crossings[i - 2]); // over two periods
            highest = std::max (highest, hz);
            lowest = std::min (lowest, hz);
        }
        EXPECT_NEAR (highest / carrierHz - 1.0, c.expectedDeviation, 0.0015);
        EXPECT_NEAR (1.0 - lowest / carrierHz, c.expectedDeviation, 0.0015);
    }
}

TEST (ModEngineSound, RotatesTheStereoPairByTheAngleAroundTheCentre)
{
    // A left-only input comes out as (x cos theta, -x sin theta), theta being half
    // the angle, so the angle is read back as 2 atan2.
    const struct
    {
        const char* what;
        float centre, range, rateHz;
        double expectedLowest, expectedHighest;
    } cases[]{
        {"centre 45", 45.0f, 1.0f, 0.2f, 44.5, 45.5},
        {"centre -120", -120.0f, 1.0f, 0.2f, -120.5, -119.5},
        {"centre 180", 180.0f, 1.0f, 0.2f, 179.5, 180.5},
        {"range 180 swings +-90 at 1 Hz", 0.0f, 180.0f, 1.0f, -90.0, 90.0},
        {"range 360 around 90", 90.0f, 360.0f, 2.0f, -90.0, 270.0},
    };
    const double sampleRate = 44100;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto p = stagesOff (defaultParams());
        p[Param::rotOn] = 1.0f;
        p[Param::rotCenter] = c.centre;
        p[Param::rotRange] = c.range;
        p[Param::rate] = c.rateHz;
        ModEngine engine;
        engine.prepare (sampleRate);

        const auto length = static_cast<size_t> (1.5 / c.rateHz * sampleRate);
        auto input = noise (length, 40);
        auto left = input;
        std::vector<float> right (length, 0.0f);
        run (engine, p, left, &right);

        double lowest = 1.0e9, highest = -1.0e9;
        for (size_t i = 0; i < length; ++i)
        {
            if (std::abs (input[i]) < 0.1f)
                continue;
            double angle = 2.0 * std::atan2 (-right[i] * input[i], left[i] * input[i]) * 180.0 / pi;
            lowest = std::min (lowest, angle);
            highest = std::max (highest, angle);
        }
        EXPECT_NEAR (lowest, c.expectedLowest, 0.3);
        EXPECT_NEAR (highest, c.expectedHighest, 0.3);
    }
}

TEST (ModEngineSound, SwingsHalfAndFullTurnsIntoSwappedAndInvertedChannels)
{
    // With the LFO almost standing still at phase 0 the angle is the centre.
    const struct
    {
        float centre;
        float wantLeftFromLeft, wantLeftFromRight, wantRightFromLeft, wantRightFromRight;
    } cases[]{
        {180.0f, 0.0f, 1.0f, -1.0f, 0.0f}, // (L, R) -> (R, -L)
        {90.0f, 0.70710678f, 0.70710678f, -0.70710678f, 0.70710678f},
        {-180.0f, 0.0f, -1.0f, 1.0f, 0.0f}, // the other way round: (-R, L)
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.centre);
        auto p = stagesOff (defaultParams());
        p[Param::rotOn] = 1.0f;
        p[Param::rotCenter] = c.centre;
        p[Param::rotRange] = 1.0f;
        p[Param::rate] = 0.01f;
        p[Param::xFactor] = 0.0f;
        ModEngine engine;
        engine.prepare (48000);
        auto left = noise (480, 50), right = noise (480, 51);
        const auto inL = left, inR = right;
        run (engine, p, left, &right, 480);
        for (size_t i = 0; i < left.size(); ++i)
        {
            EXPECT_NEAR (left[i], c.wantLeftFromLeft * inL[i] + c.wantLeftFromRight * inR[i], 1.0e-5f);
            EXPECT_NEAR (right[i], c.wantRightFromLeft * inL[i] + c.wantRightFromRight * inR[i], 1.0e-5f);
        }
    }
}

TEST (ModEngineSound, SwitchingAStageOffFadesOverTwentyMilliseconds)
{
    const double sampleRate = 44100;
    const size_t rampSamples = 882;
    const size_t before = 26460; // 0.6 s: the square LFO sits in its lower half
    const float slope = 1.0e-5f; // of the rising input that makes a delay audible

    // FM at 180 degrees puts the delay at its longest: 2 x 0.0595 / (2 pi) s.
    const float longestDelay = static_cast<float> (2.0 * 0.0595 / (2.0 * pi) * sampleRate);
    const float halfAngleRadians = static_cast<float> (149.5 * pi / 360.0);

    const struct
    {
        const char* what;
        Param stageSwitch;
        float inputLeft, inputRight;
        bool risingInput;
        float largestStepAllowed; // per sample, during the fade
        bool straightFade;
    } cases[]{
        {"tremolo off: silence rises to full level", Param::amOn, 1.0f, 1.0f, false, 1.0f / rampSamples, true},
        {"rotation off: the turned pair turns back", Param::rotOn, 0.8f, 0.0f, false,
         0.8f * halfAngleRadians / rampSamples, false},
        {"vibrato off: the delay shrinks to nothing", Param::fmOn, 0.0f, 0.0f, true,
         slope * (1.0f + longestDelay / rampSamples), false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto p = stagesOff (defaultParams());
        p[c.stageSwitch] = 1.0f;
        p[Param::waveform] = 0.0f; // square: the stage sits at its extreme before the switch
        p[Param::rate] = 1.0f;
        p[Param::amDepth] = 100.0f;
        p[Param::rotCenter] = 150.0f;
        p[Param::rotRange] = 1.0f;
        p[Param::fmDepth] = 100.0f;
        p[Param::fmPhase] = 2.0f;

        ModEngine engine;
        engine.prepare (sampleRate);
        const size_t total = before + 2 * rampSamples;
        std::vector<float> left (total, c.inputLeft), right (total, c.inputRight);
        if (c.risingInput)
            for (size_t i = 0; i < total; ++i)
                left[i] = right[i] = static_cast<float> (i) * slope;
        const auto inLeft = left, inRight = right;

        std::vector<float> l1 (left.begin(), left.begin() + before), r1 (right.begin(), right.begin() + before);
        run (engine, p, l1, &r1);
        auto off = p;
        off[c.stageSwitch] = 0.0f;
        std::vector<float> l2 (left.begin() + before, left.end()), r2 (right.begin() + before, right.end());
        run (engine, off, l2, &r2, 100);

        // The stage was at work: an instant switch would jump by this much.
        const float jump = std::abs (l1.back() - inLeft[before - 1]) + std::abs (r1.back() - inRight[before - 1]);
        EXPECT_GT (jump, 100.0f * c.largestStepAllowed);

        std::vector<float> leftOut{l1.back()}, rightOut{r1.back()};
        leftOut.insert (leftOut.end(), l2.begin(), l2.end());
        rightOut.insert (rightOut.end(), r2.begin(), r2.end());
        EXPECT_LE (largestStep (leftOut, 0, rampSamples + 1), c.largestStepAllowed * 1.02f + 1.0e-6f);
        EXPECT_LE (largestStep (rightOut, 0, rampSamples + 1), c.largestStepAllowed * 1.02f + 1.0e-6f);
        if (c.straightFade)
            EXPECT_NEAR (l2[rampSamples / 2 - 1], 0.5f * (l1.back() + inLeft[before]), 0.01f);

        // After 20 ms the stage is gone without a trace.
        for (size_t i = rampSamples; i < l2.size(); ++i)
        {
            ASSERT_EQ (l2[i], inLeft[before + i]) << "sample " << i;
            ASSERT_EQ (r2[i], inRight[before + i]) << "sample " << i;
        }
    }
}

TEST (ModEngineSound, BypassFadesToTheInputAndBackWithoutAStep)
{
    const double sampleRate = 48000;
    const size_t fade = 960;
    auto p = stagesOff (defaultParams());
    p[Param::gain] = 12.0f; // a plain level change, so each fade is a straight line

    ModEngine engine;
    engine.prepare (sampleRate);
    const float in = 0.25f;
    const float processed = in * std::pow (10.0f, 12.0f / 20.0f);

    std::vector<float> a (4800, in), ar = a;
    run (engine, p, a, &ar);
    EXPECT_FLOAT_EQ (a.back(), processed);

    std::vector<float> b (4800, in), br = b;
    run (engine, p, b, &br, 64, true);
    std::vector<float> toBypass{a.back()};
    toBypass.insert (toBypass.end(), b.begin(), b.end());
    EXPECT_LE (largestStep (toBypass, 0, fade + 1), (processed - in) / fade * 1.01f);
    for (size_t i = fade; i < b.size(); ++i)
        ASSERT_EQ (b[i], in) << "settled bypass is the input itself, sample " << i;

    std::vector<float> c (4800, in), cr = c;
    run (engine, p, c, &cr, 64, false);
    std::vector<float> back{b.back()};
    back.insert (back.end(), c.begin(), c.end());
    EXPECT_LE (largestStep (back, 0, fade + 1), (processed - in) / fade * 1.01f);
    EXPECT_NEAR (c[fade / 2 - 1], 0.5f * (in + processed), 0.01f);
    for (size_t i = fade; i < c.size(); ++i)
        ASSERT_EQ (c[i], processed) << "sample " << i;
}

TEST (ModEngineSound, KeepsRunningUnderBypassSoLeavingItResumesSeamlessly)
{
    // Bypassed for a while, then back: once the fade is over the output is sample for
    // sample what an engine that was never bypassed gives.
    auto p = defaultParams();
    p[Param::rate] = 3.0f;
    ModEngine bypassedOnce, neverBypassed;
    bypassedOnce.prepare (44100);
    neverBypassed.prepare (44100);
    auto left = noise (44100, 60), right = noise (44100, 61);
    auto refLeft = left, refRight = right;
    const auto input = left;

    const std::vector<int> blocks{128};
    size_t start = 0;
    for (const auto& [length, bypassed] : {std::pair<size_t, bool>{8832, false}, {17664, true}, {17604, false}})
    {
        std::vector<float> l (left.begin() + start, left.begin() + start + length),
            r (right.begin() + start, right.begin() + start + length);
        processInBlocks (bypassedOnce, p, {}, l, &r, blocks, bypassed);
        std::copy (l.begin(), l.end(), left.begin() + start);
        std::copy (r.begin(), r.end(), right.begin() + start);
        start += length;
    }
    processInBlocks (neverBypassed, p, {}, refLeft, &refRight, blocks);

    for (size_t i = 8832 + 882; i < 8832 + 17664; ++i)
        ASSERT_EQ (left[i], input[i]) << "settled bypass passes the input, sample " << i;
    for (size_t i = 8832 + 17664 + 882; i < left.size(); ++i)
    {
        ASSERT_EQ (left[i], refLeft[i]) << "sample " << i;
        ASSERT_EQ (right[i], refRight[i]) << "sample " << i;
    }
}

TEST (ModEngineSound, StartsBypassedWithoutAFadeWhenTheFirstBlockIsBypassed)
{
    ModEngine engine;
    engine.prepare (44100);
    auto left = noise (1000, 70), right = noise (1000, 71);
    const auto inL = left, inR = right;
    run (engine, defaultParams(), left, &right, 100, true);
    EXPECT_EQ (left, inL);
    EXPECT_EQ (right, inR);
}
