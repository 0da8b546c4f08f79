// Long offline run of the whole processor (scripts/soak.sh): hours of audio time at
// random block sizes, with every parameter automated at random, sample-rate and
// channel-layout changes, host bypass and program changes, checking as it goes that
//   - every output sample is finite;
//   - no output exceeds the input's recent peak times the largest gain (+12 dB), the
//     rotation's sqrt 2 and the cubic interpolation's overshoot, measured below;
//   - the LFO phase stays within float rounding of an exact reference;
//   - memory stays flat (resident set and its high-water mark, reported).
// Deterministic for a given seed. Not a test: its figures go into a report.
//
//   br_soak [--hours H] [--seed N]        exit status 0 when every check held

#include "dsp/ModEngine.h"
#include "plugin/BrellumProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <string>

namespace br::dsp
{
// The engine's hook for tests; this program is the only one of its kind it is linked into.
struct ModEngineInspector
{
    static double phase (const ModEngine& e) { return e.phase; }
};
} // namespace br::dsp

namespace
{
/** The largest |value| the delay line's cubic interpolation can give for samples in
    [-1, 1]: the formula is linear in the four samples, so the worst case is at a corner
    of the sample cube, searched over a fine grid of fractions. */
double cubicOvershoot (double& worstFraction)
{
    double worst = 0.0;
    for (int corner = 0; corner < 16; ++corner)
    {
        const double ym1 = corner & 1 ? 1.0 : -1.0, y0 = corner & 2 ? 1.0 : -1.0;
        const double y1 = corner & 4 ? 1.0 : -1.0, y2 = corner & 8 ? 1.0 : -1.0;
        const double c1 = 0.5 * (y1 - ym1);
        const double c2 = ym1 - 2.5 * y0 + 2.0 * y1 - 0.5 * y2;
        const double c3 = 0.5 * (y2 - ym1) + 1.5 * (y0 - y1);

        for (int step = 0; step <= 100000; ++step)
        {
            const double t = step / 100000.0;
            const double value = std::abs (((c3 * t + c2) * t + c1) * t + y0);
            if (value > worst)
            {
                worst = value;
                worstFraction = t;
            }
        }
    }
    return worst;
}

struct Memory
{
    long residentKb = 0, peakKb = 0;
};

Memory memoryNow()
{
    Memory memory;
    std::ifstream status ("/proc/self/status");
    for (std::string line; std::getline (status, line);)
    {
        if (line.rfind ("VmRSS:", 0) == 0)
            memory.residentKb = std::stol (line.substr (6));
        else if (line.rfind ("VmHWM:", 0) == 0)
            memory.peakKb = std::stol (line.substr (6));
    }
    return memory;
}

/** The LFO frequency the engine must run at for these settings (no host tempo: "Auto"
    runs at 120 BPM). */
double lfoFrequency (const br::dsp::BlockParams& p, double sampleRate)
{
    const double base = p[br::Param::sync] > 0.5f ? 2.0 : double (p[br::Param::rate]);
    const int index = std::clamp (int (std::clamp (p[br::Param::xFactor], -1.0e6f, 1.0e6f)), 0, 15);
    const double f = base * br::xFactors[size_t (index)];
    return f > 0.0 ? std::min (f, std::min (0.45 * sampleRate, 6000.0)) : 0.0;
}

/** Distance between two phases on the unit circle, in cycles. */
long double circleDistance (long double a, long double b)
{
    auto d = std::fmod (std::abs (a - b), 1.0L);
    return std::min (d, 1.0L - d);
}

int argument (const juce::StringArray& args, const char* name, int fallback)
{
    const auto at = args.indexOf (name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1].getIntValue() : fallback;
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI gui;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    const double hours = args.contains ("--hours") ? args[args.indexOf ("--hours") + 1].getDoubleValue() : 2.0;
    const auto seed = argument (args, "--seed", 1);
    juce::Random random (seed);

    double worstFraction = 0.0;
    const double overshoot = cubicOvershoot (worstFraction);
    const double largestGain = std::pow (10.0, 12.0 / 20.0);
    const double bound = largestGain * std::sqrt (2.0) * overshoot;
    std::printf ("cubic interpolation overshoot: %.6f (at fraction %.4f)\n", overshoot, worstFraction);
    std::printf ("peak bound: input peak x %.5f (gain) x %.5f (rotation) x %.5f = x %.5f\n", largestGain,
                 std::sqrt (2.0), overshoot, bound);

    const double rates[] { 8000, 22050, 44100, 48000, 88200, 96000, 176400, 192000, 384000 };
    const std::array<std::pair<juce::AudioChannelSet, juce::AudioChannelSet>, 3> layouts {
        { { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::stereo() },
          { juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo() },
          { juce::AudioChannelSet::mono(), juce::AudioChannelSet::mono() } }
    };
    constexpr int maxBlock = 4096;

    BrellumProcessor processor;
    auto& parameters = processor.getParameters();
    juce::AudioBuffer<float> buffer (2, maxBlock);
    juce::MidiBuffer midi;

    double sampleRate = 48000.0;
    auto prepare = [&] (double rate, int layout)
    {
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (layouts[size_t (layout)].first);
        buses.outputBuses.add (layouts[size_t (layout)].second);
        processor.releaseResources();
        processor.setBusesLayout (buses);
        processor.setRateAndBufferSizeDetails (rate, maxBlock);
        processor.prepareToPlay (rate, maxBlock);
        sampleRate = rate;
    };
    prepare (sampleRate, 0);

    const double totalSeconds = hours * 3600.0;
    double audioSeconds = 0.0, nextRateChange = 0.0, nextReport = 0.0;
    long double referencePhase = 0.0L;
    long double worstDrift = 0.0L;
    double worstRatio = 0.0, inputPeakEver = 0.0, outputPeakEver = 0.0;
    juce::int64 samples = 0, blocks = 0, automationMoves = 0, nonFinite = 0, boundBreaches = 0;
    int rateChanges = 0, programChanges = 0, bypassSwitches = 0;
    bool bypassed = false;
    std::deque<std::pair<double, float>> recentInputPeaks; // (audio time at the block's end, its peak)
    Memory settled {};
    const auto wallStart = std::chrono::steady_clock::now();

    while (audioSeconds < totalSeconds)
    {
        if (audioSeconds >= nextRateChange)
        {
            const auto rate = rates[random.nextInt (int (std::size (rates)))];
            prepare (rate, random.nextInt (3));
            referencePhase = 0.0L;
            recentInputPeaks.clear();
            nextRateChange = audioSeconds + 60.0 + random.nextDouble() * 540.0; // every 1 to 10 minutes
            ++rateChanges;
        }

        // A host's automation: a few parameters jump, anywhere in their range.
        if (random.nextInt (4) == 0)
        {
            for (int moves = 1 + random.nextInt (3); --moves >= 0; ++automationMoves)
                parameters[random.nextInt (parameters.size())]->setValueNotifyingHost (random.nextFloat());
        }
        if (random.nextInt (20000) == 0)
        {
            processor.setCurrentProgram (random.nextInt (processor.getNumPrograms()));
            ++programChanges;
        }
        if (random.nextInt (5000) == 0)
        {
            bypassed = ! bypassed;
            ++bypassSwitches;
        }

        // Block lengths spread over three decades, short ones as common as long ones.
        const int numSamples = std::clamp (int (std::exp (random.nextDouble() * std::log (double (maxBlock)))), 1, maxBlock);
        const int channels = processor.getTotalNumOutputChannels();
        const int inputs = processor.getTotalNumInputChannels();

        // Input: noise, a sine, a square or silence, at a random level up to full scale.
        const auto kind = random.nextInt (4);
        const auto level = random.nextFloat();
        float inputPeak = 0.0f;
        for (int c = 0; c < inputs; ++c)
        {
            auto* data = buffer.getWritePointer (c);
            for (int i = 0; i < numSamples; ++i)
            {
                const double t = double (samples + i) / sampleRate;
                float x = 0.0f;
                switch (kind)
                {
                    case 0: x = level * (2.0f * random.nextFloat() - 1.0f); break;
                    case 1: x = level * float (std::sin (2.0 * juce::MathConstants<double>::pi * 997.0 * t + c)); break;
                    case 2: x = (std::fmod (t * 211.0, 1.0) < 0.5 ? level : -level); break;
                    default: break;
                }
                data[i] = x;
                inputPeak = std::max (inputPeak, std::abs (x));
            }
        }
        for (int c = inputs; c < buffer.getNumChannels(); ++c)
            buffer.clear (c, 0, numSamples);

        br::dsp::BlockParams params;
        for (int i = 0; i < br::numParams; ++i)
            params.values[size_t (i)] = processor.parameters.getRawParameterValue (br::parameterTable[size_t (i)].id)->load();

        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), std::max (channels, inputs), numSamples);
        if (bypassed)
            processor.processBlockBypassed (view, midi);
        else
            processor.processBlock (view, midi);

        // The output may carry input from up to 30 ms (the longest vibrato delay) before
        // the block: compare with the largest peak of the blocks that ended less than
        // 100 ms before this one began, and of this one.
        recentInputPeaks.emplace_back (audioSeconds + numSamples / sampleRate, inputPeak);
        while (recentInputPeaks.front().first < audioSeconds - 0.1)
            recentInputPeaks.pop_front();
        float recentPeak = 0.0f;
        for (const auto& [when, peak] : recentInputPeaks)
            recentPeak = std::max (recentPeak, peak);

        float outputPeak = 0.0f;
        for (int c = 0; c < channels; ++c)
        {
            const auto* data = view.getReadPointer (c);
            for (int i = 0; i < numSamples; ++i)
            {
                if (! std::isfinite (data[i]))
                    ++nonFinite;
                else
                    outputPeak = std::max (outputPeak, std::abs (data[i]));
            }
        }
        if (outputPeak > recentPeak * bound * (1.0 + 1.0e-5) + 1.0e-30)
        {
            if (boundBreaches < 5 && std::getenv ("BR_SOAK_DEBUG"))
            {
                std::printf ("breach: block %lld n %d kind %d level %f in %f recent %f out %f rate %f ch %d/%d bypass %d\n",
                             (long long) blocks, numSamples, kind, level, inputPeak, recentPeak, outputPeak, sampleRate, inputs, channels, bypassed);
                for (int i = 0; i < br::numParams; ++i)
                    std::printf ("  %s=%g", br::parameterTable[size_t (i)].id, params.values[size_t (i)]);
                std::printf ("\n");
            }
            ++boundBreaches;
        }
        if (recentPeak > 1.0e-3f)
            worstRatio = std::max (worstRatio, double (outputPeak / recentPeak));
        inputPeakEver = std::max (inputPeakEver, double (inputPeak));
        outputPeakEver = std::max (outputPeakEver, double (outputPeak));

        // The exact phase: the same increments, summed in long double.
        const auto increment = (long double) lfoFrequency (params, sampleRate) / (long double) sampleRate;
        referencePhase = std::fmod (referencePhase + increment * numSamples, 1.0L);
        worstDrift = std::max (worstDrift, circleDistance (br::dsp::ModEngineInspector::phase (processor.engine),
                                                           referencePhase));

        samples += numSamples;
        audioSeconds += numSamples / sampleRate;
        ++blocks;

        if (audioSeconds >= nextReport)
        {
            const auto memory = memoryNow();
            if (nextReport == 0.0)
                std::printf ("%9s %12s %12s %10s %10s %12s\n", "audio min", "blocks", "samples", "RSS MB",
                             "peak MB", "drift");
            std::printf ("%9.1f %12lld %12lld %10.1f %10.1f %12.3Le\n", audioSeconds / 60.0, (long long) blocks,
                         (long long) samples, memory.residentKb / 1024.0, memory.peakKb / 1024.0, worstDrift);
            std::fflush (stdout);
            if (settled.peakKb == 0 && audioSeconds > 600.0)
                settled = memory;
            nextReport += 600.0;
        }
    }

    const auto wallSeconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - wallStart).count();
    const auto end = memoryNow();
    const double floatRounding = std::numeric_limits<float>::epsilon() / 2.0;

    std::printf ("\naudio time %.3f h in %.1f s of wall time (%.0fx real time), seed %d\n", audioSeconds / 3600.0,
                 wallSeconds, audioSeconds / wallSeconds, seed);
    std::printf ("blocks %lld, samples %lld, automation moves %lld, sample-rate/layout changes %d, program changes %d, "
                 "bypass switches %d\n",
                 (long long) blocks, (long long) samples, (long long) automationMoves, rateChanges, programChanges,
                 bypassSwitches);
    std::printf ("non-finite output samples: %lld\n", (long long) nonFinite);
    std::printf ("peak: input %.4f, output %.4f; worst output/recent input %.4f against the bound %.4f; breaches %lld\n",
                 inputPeakEver, outputPeakEver, worstRatio, bound, (long long) boundBreaches);
    std::printf ("LFO phase drift: worst %.3Le cycles against float rounding %.3e\n", worstDrift, floatRounding);
    std::printf ("memory: resident %.1f MB, high-water %.1f MB at the end; %.1f / %.1f MB after the first 10 minutes\n",
                 end.residentKb / 1024.0, end.peakKb / 1024.0, settled.residentKb / 1024.0, settled.peakKb / 1024.0);

    const bool memoryFlat = settled.peakKb == 0 || end.peakKb <= settled.peakKb + 8 * 1024;
    const bool ok = nonFinite == 0 && boundBreaches == 0 && worstDrift <= floatRounding && memoryFlat;
    std::printf ("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
