// The fast engine against the plain model in ReferenceEngine.h, over a matrix of
// settings, sample rates and block sizes, on full-scale noise.
//
// Tolerances:
// - LFO outputs: 2 float ulps. The engine takes the LFO sine from a polynomial that
//   agrees with float (std::sin) to one ulp; the one-pole smoother carries such a
//   difference along without growing it. Where an output passes through zero the
//   ulp vanishes, so an absolute floor of 1e-9 (180 dB below full scale) applies.
// - Delay position: 1e-3 samples, the size of a 2-ulp LFO difference times the
//   largest delay (5760 samples at 192 kHz).
// - Audio: 1e-4 of the output peak. The rotation's float sine and cosine differ
//   from libm by up to two ulps, which moves the output by about 1e-7.

#include "EngineSettings.h"
#include "EngineTestSupport.h"
#include "ReferenceEngine.h"

#include <gtest/gtest.h>

#include <string>

using namespace br;
using namespace br::test;
using br::dsp::BlockParams;
using br::dsp::HostTiming;
using br::dsp::ModEngine;

namespace
{
using Setting = br::test::EngineSetting;

struct BlockPattern
{
    const char* what;
    std::vector<int> sizes;
};

const BlockPattern patterns[]{
    {"1", {1}}, {"3", {3}}, {"7", {7}}, {"64", {64}}, {"uneven", {100, 3, 517, 11, 64}},
};

constexpr double sampleRates[]{22050.0, 44100.0, 48000.0, 96000.0, 192000.0};

HostTiming timingAt (bool playing, size_t sampleIndex, double sampleRate)
{
    HostTiming t;
    if (playing)
    {
        t.bpm = 128.0;
        t.bpmValid = true;
        t.playing = true;
        t.ppqValid = true;
        t.ppqPosition = 3.7 + static_cast<double> (sampleIndex) * (128.0 / 60.0) / sampleRate;
    }
    return t;
}

struct Worst
{
    std::int64_t lfoUlps = 0;
    double delay = 0.0, audio = 0.0;
};

/** Runs both engines over `seconds` of noise with the settings `first` and then,
    from the middle on, `second` (so the ramps glide), and checks every block. */
Worst compareWithReference (const Setting& setting, double sampleRate, const BlockPattern& pattern,
                            const BlockParams& first, const BlockParams& second, double seconds)
{
    const auto length = static_cast<size_t> (seconds * sampleRate);
    auto left = noise (length, 11), right = noise (length, 12);
    auto refLeft = left, refRight = right;

    ModEngine engine;
    ReferenceEngine reference;
    engine.prepare (sampleRate);
    reference.prepare (sampleRate);

    Worst worst;
    int reported = 0; // the worst figures below tell the rest
    std::vector<ReferenceEngine::SampleTrace> trace;
    size_t start = 0, k = 0;
    while (start < length)
    {
        size_t n = std::min (static_cast<size_t> (pattern.sizes[k++ % pattern.sizes.size()]), length - start);
        const size_t middle = length / 2;
        if (start < middle && start + n > middle)
            n = middle - start; // settings change on a block boundary, as they do in a host
        const auto& params = start < middle ? first : second;
        const auto timing = timingAt (setting.transportPlaying, start, sampleRate);

        engine.process (params, timing,
                        {left.data() + start, setting.mono ? nullptr : right.data() + start, static_cast<int> (n)});
        trace.clear();
        reference.process (params, timing, refLeft.data() + start, setting.mono ? nullptr : refRight.data() + start,
                           static_cast<int> (n), &trace);

        const auto& last = trace.back();
        const std::pair<float, float> lfo[]{{Inspect::lfoAm (engine), last.lfoAm},
                                            {Inspect::lfoFm (engine), last.lfoFm},
                                            {Inspect::lfoBase (engine), last.lfoBase}};
        for (const auto& [ours, theirs] : lfo)
        {
            if (!closeInUlps (ours, theirs, 2, 1.0e-9f) && ++reported <= 5)
                ADD_FAILURE() << "LFO output " << ours << " vs " << theirs << " at sample " << start + n - 1;
            worst.lfoUlps =
                std::max (worst.lfoUlps, std::abs (ours - theirs) <= 1.0e-9f ? 0 : ulpDistance (ours, theirs));
        }
        worst.delay = std::max (worst.delay, std::abs (Inspect::delaySamples (engine) - last.delaySamples));
        start += n;
    }

    float peak = 0.0f;
    for (size_t i = 0; i < length; ++i)
        peak = std::max ({peak, std::abs (refLeft[i]), setting.mono ? 0.0f : std::abs (refRight[i])});
    for (size_t i = 0; i < length; ++i)
    {
        worst.audio = std::max (worst.audio, static_cast<double> (std::abs (left[i] - refLeft[i])) / peak);
        if (!setting.mono)
            worst.audio = std::max (worst.audio, static_cast<double> (std::abs (right[i] - refRight[i])) / peak);
    }

    // The telemetry follows the same rules.
    EXPECT_NEAR (engine.amGain.load(), reference.amGain, 1.0e-6f);
    EXPECT_NEAR (engine.fmValue.load(), reference.fmValue, 1.0e-6f);
    EXPECT_NEAR (engine.rotAngle.load(), reference.rotAngle, 1.0e-3f);
    EXPECT_EQ (engine.baseHz.load(), reference.baseHz);
    EXPECT_NEAR (engine.peakL.load(), reference.peakL, 1.0e-4f * peak);
    EXPECT_NEAR (engine.peakR.load(), reference.peakR, 1.0e-4f * peak);
    return worst;
}
} // namespace

TEST (ModEngineAgainstReference, MatchesThePlainFormulasOverSettingsRatesAndBlockSizes)
{
    Worst overall;
    for (const auto& setting : br::test::engineSettings)
    {
        for (double rate : sampleRates)
        {
            for (const auto& pattern : patterns)
            {
                SCOPED_TRACE (std::string (setting.name) + ", " + std::to_string (static_cast<int> (rate)) +
                              " Hz, blocks of " + pattern.what);
                auto first = defaultParams();
                setting.change (first);
                // Halfway, every stage setting moves, and one stage switches off, so
                // the ramps glide under the comparison too.
                auto second = first;
                second[Param::amDepth] = 100.0f - first[Param::amDepth];
                second[Param::fmDepth] = 80.0f;
                second[Param::rotCenter] = first[Param::rotCenter] + 45.0f;
                second[Param::gain] = first[Param::gain] + 3.0f;
                second[Param::mix] = 70.0f;
                second[Param::rotOn] = first[Param::rotOn] > 0.5f ? 0.0f : 1.0f;

                const auto worst = compareWithReference (setting, rate, pattern, first, second, 0.12);
                EXPECT_LE (worst.lfoUlps, 2);
                EXPECT_LE (worst.delay, 1.0e-3);
                EXPECT_LE (worst.audio, 1.0e-4);
                overall.lfoUlps = std::max (overall.lfoUlps, worst.lfoUlps);
                overall.delay = std::max (overall.delay, worst.delay);
                overall.audio = std::max (overall.audio, worst.audio);
            }
        }
    }
    RecordProperty ("worstLfoUlps", std::to_string (overall.lfoUlps));
    RecordProperty ("worstDelaySamples", std::to_string (overall.delay));
    RecordProperty ("worstAudioOfPeak", std::to_string (overall.audio));
    std::printf ("worst: LFO %lld ulp, delay %.3g samples, audio %.3g of peak\n",
                 static_cast<long long> (overall.lfoUlps), overall.delay, overall.audio);
}

TEST (ModEngineAgainstReference, FollowsTheLfoSampleBySampleForASecond)
{
    // One-sample blocks expose the state after every sample, over whole LFO cycles.
    const struct
    {
        const char* what;
        int waveform;
        float rateHz;
        int factor;
    } cases[]{
        {"sine 1 Hz", 4, 1.0f, 3},         {"sine 37 Hz x8", 4, 37.0f, 9},     {"square 3 Hz", 0, 3.0f, 3},
        {"triangle 13.3 Hz", 1, 13.3f, 3}, {"saw up 60 Hz x12", 2, 60.0f, 10}, {"saw down 0.5 Hz", 3, 0.5f, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto p = defaultParams();
        p[Param::waveform] = static_cast<float> (c.waveform);
        p[Param::rate] = c.rateHz;
        p[Param::xFactor] = static_cast<float> (c.factor);
        p[Param::amPhase] = 1;
        p[Param::fmPhase] = 2;

        const double rate = 44100.0;
        ModEngine engine;
        ReferenceEngine reference;
        engine.prepare (rate);
        reference.prepare (rate);
        std::vector<ReferenceEngine::SampleTrace> trace;
        const auto input = noise (static_cast<size_t> (rate), 5);
        int failures = 0;
        for (size_t i = 0; i < input.size() && failures < 5; ++i)
        {
            float l = input[i], r = -input[i], rl = l, rr = r;
            engine.process (p, {}, {&l, &r, 1});
            trace.clear();
            reference.process (p, {}, &rl, &rr, 1, &trace);
            const auto& t = trace.back();
            if (!closeInUlps (Inspect::lfoAm (engine), t.lfoAm, 2, 1.0e-9f) ||
                !closeInUlps (Inspect::lfoFm (engine), t.lfoFm, 2, 1.0e-9f) ||
                !closeInUlps (Inspect::lfoBase (engine), t.lfoBase, 2, 1.0e-9f) ||
                std::abs (Inspect::delaySamples (engine) - t.delaySamples) > 1.0e-3)
            {
                ++failures;
                ADD_FAILURE() << "sample " << i << ": " << Inspect::lfoAm (engine) << " " << Inspect::lfoFm (engine)
                              << " " << Inspect::lfoBase (engine) << " vs " << t.lfoAm << " " << t.lfoFm << " "
                              << t.lfoBase;
            }
            EXPECT_NEAR (l, rl, 1.0e-4f);
            EXPECT_NEAR (r, rr, 1.0e-4f);
        }
    }
}
