// Numeric anchors, identities, telemetry and real-time contract of the engine.

#include "EngineSettings.h"
#include "EngineTestSupport.h"
#include "ReferenceEngine.h"
#include "dsp/LfoShape.h"
#include "support/AllocationTrap.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <tuple>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

using namespace br;
using namespace br::test;
using br::dsp::BlockParams;
using br::dsp::HostTiming;
using br::dsp::ModEngine;

namespace
{
constexpr double pi = 3.14159265358979323846;

/** The LFO frequency the engine runs at, from the phase step of one sample. */
double measuredLfoHz (ModEngine& engine, const BlockParams& p, const HostTiming& t)
{
    float l = 0.0f, r = 0.0f;
    const double before = Inspect::phase (engine);
    engine.process (p, t, {&l, &r, 1});
    double step = Inspect::phase (engine) - before;
    if (step < 0.0)
        step += 1.0;
    return step * Inspect::sampleRate (engine);
}

HostTiming tempo (double bpm)
{
    HostTiming t;
    t.bpm = bpm;
    t.bpmValid = true;
    return t;
}
} // namespace

TEST (ModEngine, RunsTheLfoAtTheRateTheSettingsAndTheHostTempoGive)
{
    const struct
    {
        const char* what;
        bool autoSync;
        float rateHz;
        int factor;
        double sampleRate;
        bool tempoGiven;
        double bpm;
        double expectedHz;
    } cases[]{
        {"Manual 0.2 Hz x1", false, 0.2f, 3, 44100, false, 0, 0.2},
        {"Manual ignores the host tempo", false, 1.5f, 5, 44100, true, 90, 3.0},
        {"Auto without host tempo is 120 BPM", true, 0.2f, 3, 48000, false, 0, 2.0},
        {"Auto x0.25 without host tempo", true, 0.2f, 0, 48000, false, 0, 0.5},
        {"Auto at 90 BPM x4", true, 0.2f, 7, 44100, true, 90, 6.0},
        {"Manual 60 Hz x100 stops at 6000 Hz", false, 60.0f, 15, 44100, false, 0, 6000.0},
        {"6000 Hz still fits at 13334 Hz", false, 60.0f, 15, 13334, false, 0, 6000.0},
        {"at 8 kHz the limit is 0.45 x rate", false, 60.0f, 15, 8000, false, 0, 3600.0},
        {"choice index beyond the list is x100", false, 1.0f, 99, 44100, false, 0, 100.0},
        {"negative choice index is x0.25", false, 1.0f, -3, 44100, false, 0, 0.25},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ModEngine engine;
        engine.prepare (c.sampleRate);
        auto p = defaultParams();
        p[Param::sync] = c.autoSync ? 1.0f : 0.0f;
        p[Param::rate] = c.rateHz;
        p[Param::xFactor] = static_cast<float> (c.factor);
        const auto t = c.tempoGiven ? tempo (c.bpm) : HostTiming{};
        // The rate arrives as a float: 0.2 is 0.2000000029.
        EXPECT_NEAR (measuredLfoHz (engine, p, t), c.expectedHz, c.expectedHz * 1.0e-7);
    }
}

TEST (ModEngine, RemembersTheLastValidHostTempo)
{
    ModEngine engine;
    engine.prepare (44100);
    auto p = defaultParams();
    p[Param::sync] = 1.0f;
    p[Param::xFactor] = 7.0f; // x4

    EXPECT_NEAR (measuredLfoHz (engine, p, tempo (90.0)), 6.0, 1.0e-9);
    EXPECT_NEAR (measuredLfoHz (engine, p, {}), 6.0, 1.0e-9) << "tempo gone: keeps 90 BPM";
    EXPECT_NEAR (measuredLfoHz (engine, p, tempo (0.0)), 6.0, 1.0e-9) << "a zero tempo is not valid";
    EXPECT_NEAR (measuredLfoHz (engine, p, tempo (-120.0)), 6.0, 1.0e-9);
    EXPECT_NEAR (measuredLfoHz (engine, p, tempo (std::numeric_limits<double>::infinity())), 6.0, 1.0e-9)
        << "an infinite tempo would freeze the LFO at its limit";
    EXPECT_FLOAT_EQ (engine.baseHz.load(), 1.5f);

    engine.prepare (48000);
    EXPECT_EQ (Inspect::lastTempoBpm (engine), 90.0) << "survives preparation";
}

TEST (ModEngine, LocksThePhaseToTheHostPositionWhenPlayingInAuto)
{
    const struct
    {
        const char* what;
        bool autoSync, playing, ppqValid;
        double ppq;
        int factor;
        double expectedStartPhase; // negative: no lock, the phase runs on
    } cases[]{
        {"10.3 quarters at x0.50 start at 0.15", true, true, true, 10.3, 1, 0.15},
        {"x3.00", true, true, true, 2.5, 6, 0.5},
        {"negative positions wrap into [0, 1)", true, true, true, -0.3, 3, 0.7},
        {"a tiny negative position is the cycle's start", true, true, true, -1.0e-20, 3, 0.0},
        {"stopped transport: no lock", true, false, true, 10.3, 1, -1},
        {"no position: no lock", true, true, false, 10.3, 1, -1},
        {"Manual: no lock", false, true, true, 10.3, 1, -1},
        {"a non-finite position is ignored", true, true, true, std::numeric_limits<double>::quiet_NaN(), 1, -1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ModEngine engine;
        engine.prepare (44100);
        auto p = defaultParams();
        p[Param::sync] = c.autoSync ? 1.0f : 0.0f;
        p[Param::xFactor] = static_cast<float> (c.factor);

        // Run a while first, so the lock has something to move.
        std::vector<float> l (1000), r (1000);
        processInBlocks (engine, p, {}, l, &r, {1000});
        const double free = Inspect::phase (engine);

        HostTiming t = tempo (120.0);
        t.playing = c.playing;
        t.ppqValid = c.ppqValid;
        t.ppqPosition = c.ppq;
        float a = 0.0f, b = 0.0f;
        engine.process (p, t, {&a, &b, 1});
        const double increment = measuredLfoHz (engine, p, {}) / 44100.0;
        const double startPhase = Inspect::phase (engine) - 2.0 * increment;
        if (c.expectedStartPhase < 0.0)
            EXPECT_NEAR (startPhase, free, 1.0e-12);
        else
            EXPECT_NEAR (startPhase, c.expectedStartPhase, 1.0e-12);
        EXPECT_TRUE (std::isfinite (Inspect::phase (engine)));
    }
}

TEST (ModEngine, StartsTheFirstBlockAfterPrepareOnTheExactShapeValues)
{
    const struct
    {
        const char* what;
        int waveform, amQuarters, fmQuarters;
        double startPhase; // set through the phase lock; 0 is the phase after prepare
    } cases[]{
        {"sine, AM 90: the AM output is sin (pi/2) = 1", 4, 1, 0, 0.0},
        {"sine, FM 180 and AM 270", 4, 3, 2, 0.0},
        {"sine at a locked phase", 4, 1, 3, 0.15},
        {"square at quarter offsets", 0, 1, 3, 0.0},
        {"triangle at a quarter is at its peak", 1, 1, 2, 0.0},
        {"saw up at a locked phase", 2, 2, 1, 0.3},
        {"saw down", 3, 3, 1, 0.6},
        {"saw up, AM at 180: the jump lands at the bottom", 2, 2, 0, 0.0},
        {"saw down, FM at 180: the jump lands at the top", 3, 0, 2, 0.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ModEngine engine;
        engine.prepare (48000);
        auto p = defaultParams();
        p[Param::waveform] = static_cast<float> (c.waveform);
        p[Param::amPhase] = static_cast<float> (c.amQuarters);
        p[Param::fmPhase] = static_cast<float> (c.fmQuarters);
        HostTiming t;
        if (c.startPhase > 0.0)
        {
            p[Param::sync] = 1.0f;
            t = tempo (120.0);
            t.playing = t.ppqValid = true;
            t.ppqPosition = 7.0 + c.startPhase; // at x1.00 the phase is the fraction
        }

        float l = 0.0f, r = 0.0f;
        engine.process (p, t, {&l, &r, 1});
        const auto plain = [&] (double offset)
        {
            double v = offset + c.startPhase;
            v -= std::floor (v);
            return static_cast<float> (ReferenceEngine::shape (c.waveform, v));
        };
        // Not smoothed up from 0: the first sample uses the shape values themselves.
        EXPECT_TRUE (closeInUlps (Inspect::lfoAm (engine), plain (c.amQuarters / 4.0), 1, 1.0e-15f))
            << Inspect::lfoAm (engine) << " vs " << plain (c.amQuarters / 4.0);
        EXPECT_TRUE (closeInUlps (Inspect::lfoFm (engine), plain (c.fmQuarters / 4.0), 1, 1.0e-15f))
            << Inspect::lfoFm (engine) << " vs " << plain (c.fmQuarters / 4.0);
        EXPECT_TRUE (closeInUlps (Inspect::lfoBase (engine), plain (0.0), 1, 1.0e-15f))
            << Inspect::lfoBase (engine) << " vs " << plain (0.0);
    }
}

TEST (ModEngine, SetsTheFmDepthInSamplesFromRateAndSampleRate)
{
    const struct
    {
        const char* what;
        float rateHz, depthPercent;
        double sampleRate;
        bool fmOn;
        double expectedSamples, tolerance;
    } cases[]{
        {"full depth at 0.2 Hz hits the 15 ms cap", 0.2f, 100, 44100, true, 661.5, 0.0},
        {"full depth at 5 Hz", 5.0f, 100, 44100, true, 83.52, 0.01},
        {"half depth at 5 Hz", 5.0f, 50, 44100, true, 41.76, 0.01},
        {"just above the cap's knee", 0.64f, 100, 48000, true, 48000 * 0.0595 / (2 * pi * 0.64f), 1.0e-3},
        {"the cap at 96 kHz", 0.2f, 100, 96000, true, 1440.0, 0.0},
        {"FM off", 5.0f, 100, 44100, false, 0.0, 0.0},
        {"LFO stopped", 0.0f, 100, 44100, true, 0.0, 0.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ModEngine engine;
        engine.prepare (c.sampleRate);
        auto p = defaultParams();
        p[Param::rate] = c.rateHz;
        p[Param::fmDepth] = c.depthPercent;
        p[Param::fmOn] = c.fmOn ? 1.0f : 0.0f;
        float l = 0.0f, r = 0.0f;
        engine.process (p, {}, {&l, &r, 1});
        EXPECT_NEAR (Inspect::fmDepthRamp (engine).target, c.expectedSamples, c.tolerance);
    }
}

TEST (ModEngine, SizesItsDelayLinesToAPowerOfTwoPerSampleRate)
{
    const struct
    {
        double sampleRate;
        size_t length;
        double effectiveRate;
    } cases[]{
        {22050, 1024, 22050},
        {44100, 2048, 44100},
        {48000, 2048, 48000},
        {88200, 4096, 88200},
        {96000, 4096, 96000},
        {176400, 8192, 176400},
        {192000, 8192, 192000},
        {384000, 16384, 384000},
        {0, 2048, 44100},
        {-48000, 2048, 44100},
        {std::numeric_limits<double>::quiet_NaN(), 2048, 44100},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::to_string (c.sampleRate));
        ModEngine engine;
        EXPECT_FALSE (engine.isPrepared());
        engine.prepare (c.sampleRate);
        EXPECT_TRUE (engine.isPrepared());
        EXPECT_EQ (Inspect::delayLength (engine), c.length);
        EXPECT_EQ (Inspect::delayLengthRight (engine), c.length);
        EXPECT_EQ (Inspect::delayMask (engine), static_cast<int> (c.length) - 1);
        EXPECT_EQ (Inspect::sampleRate (engine), c.effectiveRate);
    }
}

TEST (ModEngine, PassesTheInputUnchangedAtMixZeroOrWithEveryStageOff)
{
    auto modulated = defaultParams();
    modulated[Param::amDepth] = 100;
    modulated[Param::fmDepth] = 100;
    modulated[Param::rate] = 4.0f;
    modulated[Param::rotCenter] = 120;
    modulated[Param::waveform] = 0;

    auto dryOnly = modulated;
    dryOnly[Param::mix] = 0.0f;

    const struct
    {
        const char* what;
        BlockParams params;
        bool mono;
    } cases[]{
        {"mix 0 with every stage busy", dryOnly, false},
        {"mix 0, mono", dryOnly, true},
        {"every stage off at mix 100", stagesOff (modulated), false},
        {"every stage off, mono", stagesOff (modulated), true},
    };
    for (const auto& c : cases)
    {
        for (double rate : {22050.0, 44100.0, 96000.0})
        {
            SCOPED_TRACE (std::string (c.what) + " at " + std::to_string (rate));
            ModEngine engine;
            engine.prepare (rate);
            auto left = noise (20000, 3), right = noise (20000, 4);
            // Denormals too: the identity holds for every float.
            left[100] = 1.0e-40f;
            right[101] = -3.0e-42f;
            const auto inLeft = left, inRight = right;
            processInBlocks (engine, c.params, {}, left, c.mono ? nullptr : &right, {1, 64, 333, 7});
            for (size_t i = 0; i < left.size(); ++i)
            {
                ASSERT_EQ (left[i], inLeft[i]) << "sample " << i;
                if (!c.mono)
                    ASSERT_EQ (right[i], inRight[i]) << "sample " << i;
            }
        }
    }
}

TEST (ModEngine, RotatesEqualChannelsAtNinetyDegreesIntoTheLeft)
{
    // Centre 90 and range 1 keep the angle within 89.5 .. 90.5 degrees, theta near
    // 45: (x, x) becomes about (1.414 x, 0).
    auto p = stagesOff (defaultParams());
    p[Param::rotOn] = 1.0f;
    p[Param::rotCenter] = 90.0f;
    p[Param::rotRange] = 1.0f;
    ModEngine engine;
    engine.prepare (44100);
    auto left = noise (44100, 8);
    auto right = left;
    const auto input = left;
    processInBlocks (engine, p, {}, left, &right, {512});
    for (size_t i = 0; i < input.size(); i += 97)
    {
        EXPECT_NEAR (left[i], std::sqrt (2.0f) * input[i], 2.0e-5f);
        EXPECT_NEAR (right[i], 0.0f, 0.0062f * std::abs (input[i]) + 1.0e-7f);
    }
}

TEST (ModEngine, ProcessesMonoWithoutRotationAndReportsOneChannelAsBoth)
{
    auto p = defaultParams();
    p[Param::rotCenter] = 90.0f; // would move a stereo pair a lot
    p[Param::rate] = 3.0f;

    ModEngine engine;
    ReferenceEngine reference;
    engine.prepare (48000);
    reference.prepare (48000);
    auto mono = noise (9600, 21);
    auto expected = mono;
    engine.process (p, {}, {mono.data(), nullptr, static_cast<int> (mono.size())});
    reference.process (p, {}, expected.data(), nullptr, static_cast<int> (expected.size()));

    for (size_t i = 0; i < mono.size(); ++i)
        ASSERT_NEAR (mono[i], expected[i], 1.0e-6f) << "sample " << i;
    EXPECT_EQ (engine.peakL.load(), engine.peakR.load());
    EXPECT_GT (engine.peakL.load(), 0.5f);
    EXPECT_NE (engine.rotAngle.load(), 0.0f) << "the angle is still computed for the display";
    EXPECT_NEAR (engine.rotAngle.load(), reference.rotAngle, 1.0e-4f);
}

TEST (ModEngine, PublishesTelemetryAfterEachBlock)
{
    ModEngine engine;
    EXPECT_EQ (engine.amGain.load(), 1.0f);
    EXPECT_EQ (engine.fmValue.load(), 0.0f);
    EXPECT_EQ (engine.rotAngle.load(), 0.0f);
    EXPECT_EQ (engine.baseHz.load(), 0.2f);
    EXPECT_EQ (engine.peakL.load(), 0.0f);
    EXPECT_EQ (engine.peakR.load(), 0.0f);

    // Before preparation and for empty blocks nothing happens at all.
    auto p = defaultParams();
    std::vector<float> l (64, 0.5f), r (64, 0.5f);
    engine.process (p, {}, {l.data(), r.data(), 64});
    EXPECT_EQ (l[10], 0.5f);
    EXPECT_EQ (engine.peakL.load(), 0.0f);

    engine.prepare (44100);
    engine.process (p, {}, {l.data(), r.data(), 0});
    engine.process (p, {}, {nullptr, r.data(), 64});
    EXPECT_EQ (engine.peakL.load(), 0.0f);
    EXPECT_EQ (r[10], 0.5f);

    // A full-scale sine at mix 0 reads back as a peak of about 1 on both sides.
    p[Param::mix] = 0.0f;
    auto left = sine (4410, 441.0, 44100), right = left;
    engine.process (p, {}, {left.data(), right.data(), 4410});
    EXPECT_NEAR (engine.peakL.exchange (0.0f), 1.0f, 1.0e-6f);
    EXPECT_NEAR (engine.peakR.exchange (0.0f), 1.0f, 1.0e-6f);
    EXPECT_EQ (engine.peakL.exchange (0.0f), 0.0f) << "taken once, then 0 without a block";

    // Two blocks between reads: the larger block peak.
    auto loud = sine (441, 441.0, 44100, 0.8f), quiet = sine (441, 441.0, 44100, 0.3f);
    auto loudR = loud, quietR = quiet;
    engine.process (p, {}, {loud.data(), loudR.data(), 441});
    engine.process (p, {}, {quiet.data(), quietR.data(), 441});
    EXPECT_NEAR (engine.peakL.exchange (0.0f), 0.8f, 1.0e-6f);
    EXPECT_NEAR (engine.peakR.exchange (0.0f), 0.8f, 1.0e-6f);

    // Base rate: the host tempo's in Auto, the rate in Manual whatever the multiplier.
    p[Param::xFactor] = 12.0f;
    p[Param::rate] = 0.37f;
    engine.process (p, {}, {left.data(), right.data(), 16});
    EXPECT_EQ (engine.baseHz.load(), 0.37f);
    p[Param::sync] = 1.0f;
    engine.process (p, {}, {left.data(), right.data(), 16});
    EXPECT_EQ (engine.baseHz.load(), 2.0f) << "120 BPM without a host tempo";
    engine.process (p, tempo (150.0), {left.data(), right.data(), 16});
    EXPECT_EQ (engine.baseHz.load(), 2.5f);
}

TEST (ModEngine, ReportsTheFmAmountFromTheSettingNotTheRamp)
{
    ModEngine engine;
    engine.prepare (44100);
    auto p = defaultParams();
    p[Param::rate] = 2.0f;
    p[Param::fmDepth] = 80.0f;
    std::vector<float> l (1000, 0.1f), r (1000, 0.1f);
    engine.process (p, {}, {l.data(), r.data(), 1000});
    EXPECT_FLOAT_EQ (engine.fmValue.load(), Inspect::lfoFm (engine) * 0.8f);
    EXPECT_NE (engine.fmValue.load(), 0.0f);

    p[Param::fmOn] = 0.0f;
    engine.process (p, {}, {l.data(), r.data(), 100});
    EXPECT_EQ (engine.fmValue.load(), 0.0f) << "0 at once";
    EXPECT_GT (Inspect::fmDepthRamp (engine).current, 0.0f) << "while the delay still glides to 0";
}

TEST (ModEngine, ReportsTheLastSamplesTremoloGainAndAngle)
{
    ModEngine engine;
    ReferenceEngine reference;
    engine.prepare (44100);
    reference.prepare (44100);
    auto p = defaultParams();
    p[Param::rate] = 1.3f;
    p[Param::amDepth] = 90.0f;
    p[Param::rotCenter] = -40.0f;
    for (int block : {1, 37, 512, 3})
    {
        SCOPED_TRACE (block);
        std::vector<float> l (static_cast<size_t> (block), 0.2f), r = l, rl = l, rr = l;
        engine.process (p, {}, {l.data(), r.data(), block});
        reference.process (p, {}, rl.data(), rr.data(), block);
        EXPECT_NEAR (engine.amGain.load(), reference.amGain, 1.0e-7f);
        EXPECT_NEAR (engine.rotAngle.load(), reference.rotAngle, 1.0e-5f);
    }
    p[Param::amOn] = p[Param::rotOn] = 0.0f;
    std::vector<float> l (2000, 0.2f), r = l;
    engine.process (p, {}, {l.data(), r.data(), 2000});
    EXPECT_EQ (engine.amGain.load(), 1.0f) << "AM off: its ramp is at 0";
    EXPECT_EQ (engine.rotAngle.load(), 0.0f);
}

TEST (ModEngine, GivesTheSameSamplesWhateverTheBlockSize)
{
    const std::vector<std::vector<int>> splits{{1}, {7}, {64}, {512}, {4096}, {3, 200, 11, 1, 90, 12, 13, 4000}};

    // At 67999 Hz the deepest vibrato reads to within a few samples of the end of its
    // 2048-sample line, where long blocks must not write their input ahead over the taps.
    std::vector<std::pair<EngineSetting, double>> settingsAtRates;
    for (double sampleRate : {44100.0, 67999.0})
        for (const auto& c : engineSettings)
            settingsAtRates.emplace_back (c, sampleRate);
    for (const auto& [c, sampleRate] : settingsAtRates)
    {
        SCOPED_TRACE (std::string (c.name) + " at " + std::to_string (static_cast<int> (sampleRate)) + " Hz");
        auto first = paramsOf (c);
        // A change at sample 6000 (on a block boundary in every split) makes the ramps glide.
        auto second = first;
        second[Param::amDepth] = 20.0f;
        second[Param::mix] = 80.0f;
        second[Param::gain] = -3.5f;
        second[Param::rotOn] = 1.0f - second[Param::rotOn];

        std::vector<float> wantLeft, wantRight;
        for (const auto& split : splits)
        {
            ModEngine engine;
            engine.prepare (sampleRate); // 20 ms = 882 samples at 44100 Hz: fades end inside a 64-sample chunk
            auto left = noise (12000, 1), right = noise (12000, 2);
            // Three stretches, each on block boundaries as in a host: the first
            // settings, the second ones under bypass (the ramps glide while the output
            // fades to the input), then the second ones live again.
            size_t start = 0;
            for (const auto& [length, params, bypassed] :
                 {std::tuple<size_t, const BlockParams&, bool>{6000, first, false},
                  {2000, second, true},
                  {4000, second, false}})
            {
                std::vector<float> l (left.begin() + start, left.begin() + start + length),
                    r (right.begin() + start, right.begin() + start + length);
                processInBlocks (engine, params, {}, l, c.mono ? nullptr : &r, split, bypassed);
                std::copy (l.begin(), l.end(), left.begin() + start);
                std::copy (r.begin(), r.end(), right.begin() + start);
                start += length;
            }
            if (wantLeft.empty())
            {
                wantLeft = left;
                wantRight = right;
                continue;
            }
            for (size_t i = 0; i < left.size(); ++i)
            {
                ASSERT_EQ (left[i], wantLeft[i]) << "split " << split.front() << ", sample " << i;
                ASSERT_EQ (right[i], wantRight[i]) << "split " << split.front() << ", sample " << i;
            }
        }
    }
}

TEST (ModEngine, TreatsAPositionJustBelowACycleAsItsStart)
{
    // frac (-1e-20) rounds to exactly 1.0, which is no phase at all: a square wave
    // would start low instead of high.
    ModEngine engine;
    engine.prepare (44100);
    auto p = defaultParams();
    p[Param::sync] = 1.0f;
    p[Param::waveform] = 0.0f;
    HostTiming t = tempo (120.0);
    t.playing = t.ppqValid = true;
    t.ppqPosition = -1.0e-20;
    float l = 0.0f, r = 0.0f;
    engine.process (p, t, {&l, &r, 1});
    EXPECT_EQ (Inspect::lfoBase (engine), 1.0f);
    EXPECT_LT (Inspect::phase (engine), 0.5);
}

TEST (ModEngine, TurnsSilenceIntoExactSilence)
{
    for (int waveform = 0; waveform < 5; ++waveform)
    {
        SCOPED_TRACE (waveform);
        auto p = defaultParams();
        p[Param::waveform] = static_cast<float> (waveform);
        p[Param::gain] = 12.0f;
        p[Param::fmDepth] = 100.0f;
        ModEngine engine;
        engine.prepare (44100);

        std::vector<float> left (20000, 0.0f), right (20000, 0.0f);
        processInBlocks (engine, p, {}, left, &right, {1, 100, 1000});
        for (size_t i = 0; i < left.size(); ++i)
        {
            ASSERT_EQ (left[i], 0.0f);
            ASSERT_EQ (right[i], 0.0f);
        }

        // After a signal, once the longest delay (30 ms) has passed, silence is exact again.
        auto loud = noise (4410, 9), loudR = noise (4410, 10);
        processInBlocks (engine, p, {}, loud, &loudR, {256});
        std::vector<float> after (4410, 0.0f), afterR (4410, 0.0f);
        processInBlocks (engine, p, {}, after, &afterR, {256});
        for (size_t i = 1323 + 4; i < after.size(); ++i)
        {
            ASSERT_EQ (after[i], 0.0f) << "sample " << i;
            ASSERT_EQ (afterR[i], 0.0f) << "sample " << i;
        }
    }
}

#if defined(__SSE__)
TEST (ModEngine, GivesExactZerosForDenormalInputWithDenormalsFlushed)
{
    // The processor runs the engine with flush-to-zero and denormals-are-zero on;
    // then a denormal input is a zero input, and the output is exactly zero.
    const auto saved = _mm_getcsr();
    _mm_setcsr (saved | 0x8040);
    ModEngine engine;
    engine.prepare (48000);
    auto p = defaultParams();
    p[Param::gain] = 12.0f;
    std::vector<float> left (9600, 1.0e-39f), right (9600, -2.0e-41f);
    processInBlocks (engine, p, {}, left, &right, {1, 128});
    _mm_setcsr (saved);
    for (size_t i = 0; i < left.size(); ++i)
    {
        ASSERT_EQ (left[i], 0.0f);
        ASSERT_EQ (right[i], 0.0f);
    }
}
#endif

TEST (ModEngine, ComputesDenormalInputLikeTheReferenceWithoutFlushing)
{
    // Without flushing, tiny signals are plain IEEE arithmetic: same result as the
    // reference, scaled down, and never a NaN or a stray large value.
    auto p = defaultParams();
    p[Param::rate] = 2.0f;
    ModEngine engine;
    ReferenceEngine reference;
    engine.prepare (44100);
    reference.prepare (44100);
    auto left = noise (8820, 30), right = noise (8820, 31);
    for (auto* v : {&left, &right})
        for (auto& s : *v)
            s *= 1.0e-38f; // mostly denormal
    auto rl = left, rr = right;
    processInBlocks (engine, p, {}, left, &right, {64, 1});
    reference.process (p, {}, rl.data(), rr.data(), static_cast<int> (rl.size()));
    for (size_t i = 0; i < left.size(); ++i)
    {
        ASSERT_TRUE (std::isfinite (left[i]) && std::isfinite (right[i]));
        ASSERT_NEAR (left[i], rl[i], 1.0e-4f * 1.0e-38f);
        ASSERT_NEAR (right[i], rr[i], 1.0e-4f * 1.0e-38f);
    }
}

TEST (ModEngine, AllocatesNothingWhileProcessing)
{
    const struct
    {
        const char* what;
        int waveform;
        bool mono, bypassed;
        int block;
    } cases[]{
        {"sine stereo 512", 4, false, false, 512},
        {"square mono 1", 0, true, false, 1},
        {"triangle stereo 4096", 1, false, false, 4096},
        {"saw bypassed 100", 2, false, true, 100},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ModEngine engine;
        engine.prepare (96000);
        auto p = defaultParams();
        p[Param::waveform] = static_cast<float> (c.waveform);
        auto left = noise (8192, 1), right = noise (8192, 2);
        auto changed = p;
        changed[Param::amDepth] = 80.0f;
        HostTiming t = tempo (100.0);
        t.playing = t.ppqValid = true;
        t.ppqPosition = 3.3;
        const std::vector<int> blocks{c.block};

        int allocations = 0, deallocations = 0;
        {
            br::test::AllocationTrap trap;
            processInBlocks (engine, p, t, left, c.mono ? nullptr : &right, blocks, c.bypassed);
            processInBlocks (engine, changed, {}, left, c.mono ? nullptr : &right, blocks, !c.bypassed);
            allocations = trap.allocations();
            deallocations = trap.deallocations();
        }
        EXPECT_EQ (allocations, 0);
        EXPECT_EQ (deallocations, 0);
    }
}

TEST (ModEngine, GivesTheSameBitsWithOrWithoutTheWideInstructionSet)
{
    // The per-sample loops also exist as AVX2 code, taken where the processor has it;
    // a plug-in must sound the same on every machine.
    {
        ModEngine probe;
        probe.prepare (48000);
        if (!Inspect::wideVectors (probe))
            GTEST_SKIP() << "this processor runs only the baseline code";
    }
    for (const auto& c : engineSettings)
    {
        SCOPED_TRACE (c.name);
        auto first = paramsOf (c);
        auto second = first;
        second[Param::amDepth] = 70.0f;
        second[Param::rotCenter] = first[Param::rotCenter] + 30.0f;
        second[Param::mix] = 90.0f;

        std::vector<float> outputs[2][2];
        for (int wide = 0; wide < 2; ++wide)
        {
            ModEngine engine;
            engine.prepare (44100);
            Inspect::setWideVectors (engine, wide == 1);
            auto left = noise (30000, 5), right = noise (30000, 6);
            // Settled, gliding, fading into bypass, bypassed, and back.
            size_t start = 0;
            for (const auto& [length, params, bypassed] :
                 {std::tuple<size_t, const BlockParams&, bool>{9000, first, false},
                  {3000, second, false},
                  {9000, second, true},
                  {9000, second, false}})
            {
                std::vector<float> l (left.begin() + start, left.begin() + start + length),
                    r (right.begin() + start, right.begin() + start + length);
                processInBlocks (engine, params, {}, l, c.mono ? nullptr : &r, {512, 64, 3, 100}, bypassed);
                std::copy (l.begin(), l.end(), left.begin() + start);
                std::copy (r.begin(), r.end(), right.begin() + start);
                start += length;
            }
            outputs[wide][0] = left;
            outputs[wide][1] = right;
        }
        for (int channel = 0; channel < 2; ++channel)
            for (size_t i = 0; i < outputs[0][channel].size(); ++i)
                ASSERT_EQ (outputs[1][channel][i], outputs[0][channel][i]) << "channel " << channel << ", sample " << i;
    }
}

TEST (ModEngine, ReadsTheSampleBeforeAtZeroDelayInEveryBlockSize)
{
    // With FM off the line is read at delay 0: y0 + 0 x (y1 - y0), y1 the sample
    // before. After an infinite sample that product is NaN, so infinities show
    // whether blocks of every size take the right sample before, also where a block
    // crosses the end of the line.
    auto p = stagesOff (defaultParams());
    auto left = noise (9000, 40), right = noise (9000, 41);
    for (size_t i = 0; i < left.size(); i += 7)
    {
        left[i] = std::numeric_limits<float>::infinity();
        right[(i + 3) % right.size()] = -std::numeric_limits<float>::infinity();
    }

    const auto bits = [] (float v)
    {
        std::uint32_t b;
        std::memcpy (&b, &v, sizeof (b));
        return b;
    };
    std::vector<float> wantLeft, wantRight;
    for (const std::vector<int>& split : {std::vector<int>{1}, {100}, {64}, {3, 700, 5}})
    {
        ModEngine engine;
        engine.prepare (48000); // 2048-sample lines: blocks of 100 cross their end
        auto l = left, r = right;
        processInBlocks (engine, p, {}, l, &r, split);
        if (wantLeft.empty())
        {
            wantLeft = l;
            wantRight = r;
            continue;
        }
        for (size_t i = 0; i < l.size(); ++i)
        {
            ASSERT_EQ (bits (l[i]), bits (wantLeft[i])) << "blocks of " << split[0] << ", sample " << i;
            ASSERT_EQ (bits (r[i]), bits (wantRight[i])) << "blocks of " << split[0] << ", sample " << i;
        }
    }
}
