#include "plugin/BrellumProcessor.h"
#include "support/AllocationTrap.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 256;

/** Fills a stereo block with a 440 Hz sine continuing from `start`. */
void fillSine (juce::AudioBuffer<float>& buffer, int64_t start)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, 0.5f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 440.0
                                                                         * static_cast<double> (start + i) / sampleRate)));
}

struct Run
{
    std::vector<float> left, dryLeft;
};

/** Processes `blocks` blocks, bypassed where `bypassAt(block)` says so. */
template <typename BypassAt>
Run process (BrellumProcessor& processor, int blocks, BypassAt bypassAt)
{
    Run run;
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    for (int b = 0; b < blocks; ++b)
    {
        fillSine (buffer, static_cast<int64_t> (b) * blockSize);
        for (int i = 0; i < blockSize; ++i)
            run.dryLeft.push_back (buffer.getSample (0, i));
        if (bypassAt (b))
            processor.processBlockBypassed (buffer, midi);
        else
            processor.processBlock (buffer, midi);
        for (int i = 0; i < blockSize; ++i)
            run.left.push_back (buffer.getSample (0, i));
    }
    return run;
}

float largestStep (const std::vector<float>& x, size_t from, size_t to)
{
    float largest = 0.0f;
    for (auto i = from + 1; i < to; ++i)
        largest = std::max (largest, std::abs (x[i] - x[i - 1]));
    return largest;
}
} // namespace

TEST (ProcessorAudio, HostBypassFadesBothWaysWithoutAStepAndSettlesOnTheDrySignal)
{
    BrellumProcessor processor;
    // Deep vibrato makes the processed signal lag the dry one by up to 30 ms: a hard
    // switch between the two would jump.
    processor.presetManager.loadFactory (15); // "Seasick"
    processor.prepareToPlay (sampleRate, blockSize);

    const int bypassFrom = 40, bypassTo = 80, total = 120;
    const auto run = process (processor, total, [&] (int b) { return b >= bypassFrom && b < bypassTo; });

    // A 440 Hz sine at 0.5 moves by at most 2 pi 440 / 48000 x 0.5 = 0.029 per sample;
    // a click would be a multiple of that.
    const auto sineStep = 0.5f * 2.0f * juce::MathConstants<float>::pi * 440.0f / static_cast<float> (sampleRate);
    EXPECT_LT (largestStep (run.left, bypassFrom * blockSize - 100, bypassFrom * blockSize + 2000), 2.5f * sineStep);
    EXPECT_LT (largestStep (run.left, bypassTo * blockSize - 100, bypassTo * blockSize + 2000), 2.5f * sineStep);

    // Settled bypass is the input itself.
    for (auto i = static_cast<size_t> ((bypassFrom + 10) * blockSize); i < static_cast<size_t> (bypassTo * blockSize); ++i)
        ASSERT_EQ (run.left[i], run.dryLeft[i]) << "sample " << i;

    // And un-bypassed it is the effect again, not the dry signal.
    float difference = 0.0f;
    for (auto i = static_cast<size_t> ((bypassTo + 10) * blockSize); i < run.left.size(); ++i)
        difference = std::max (difference, std::abs (run.left[i] - run.dryLeft[i]));
    EXPECT_GT (difference, 0.05f);
}

TEST (ProcessorAudio, ProcessingAllocatesNothingAndPublishesTelemetry)
{
    BrellumProcessor processor;
    processor.prepareToPlay (sampleRate, blockSize);
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    fillSine (buffer, 0);
    processor.processBlock (buffer, midi); // first block settles any lazy set-up

    int allocations = 0;
    for (int b = 1; b < 50; ++b)
    {
        fillSine (buffer, static_cast<int64_t> (b) * blockSize);
        br::test::AllocationTrap trap;
        if (b % 2 == 0)
            processor.processBlock (buffer, midi);
        else
            processor.processBlockBypassed (buffer, midi);
        allocations += trap.allocations() + trap.deallocations();
    }
    EXPECT_EQ (allocations, 0);

    EXPECT_GT (processor.engine.peakL.exchange (0.0f), 0.1f);
    EXPECT_FLOAT_EQ (processor.engine.baseHz.load(), 0.2f);
}

TEST (ProcessorAudio, OnlyPreparedNonEmptyBlocksReachTheEngine)
{
    BrellumProcessor processor;
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    fillSine (buffer, 0);
    processor.processBlock (buffer, midi);
    EXPECT_EQ (processor.engine.peakL.load(), 0.0f) << "unprepared: no telemetry";

    processor.prepareToPlay (sampleRate, blockSize);
    juce::AudioBuffer<float> empty (2, 0);
    processor.processBlock (empty, midi);
    EXPECT_EQ (processor.engine.peakL.load(), 0.0f) << "empty block: no telemetry";

    // The vibrato's delay line starts empty: give it time to fill.
    for (int b = 0; b < 20; ++b)
    {
        fillSine (buffer, static_cast<int64_t> (b) * blockSize);
        processor.processBlock (buffer, midi);
    }
    EXPECT_GT (processor.engine.peakL.load(), 0.1f);
}
