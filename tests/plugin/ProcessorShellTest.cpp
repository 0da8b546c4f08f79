#include "plugin/BrellumProcessor.h"

#include <gtest/gtest.h>

namespace
{
using Set = juce::AudioChannelSet;

juce::AudioProcessor::BusesLayout layout (const Set& in, const Set& out)
{
    juce::AudioProcessor::BusesLayout l;
    l.inputBuses.add (in);
    l.outputBuses.add (out);
    return l;
}

juce::AudioBuffer<float> rampBuffer (int channels, int samples)
{
    juce::AudioBuffer<float> buffer (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, 0.001f * static_cast<float> (i + 1) * (c == 0 ? 1.0f : -0.5f));
    return buffer;
}
} // namespace

TEST (ProcessorShell, AcceptsOnlyMonoOrStereoWithNoMoreInputsThanOutputs)
{
    struct LayoutCase
    {
        const char* what;
        Set in, out;
        bool accepted;
    };
    const LayoutCase cases[] {
        { "mono to mono", Set::mono(), Set::mono(), true },
        { "mono to stereo", Set::mono(), Set::stereo(), true },
        { "stereo to stereo", Set::stereo(), Set::stereo(), true },
        { "stereo to mono", Set::stereo(), Set::mono(), false },
        { "no input", Set::disabled(), Set::stereo(), false },
        { "no output", Set::stereo(), Set::disabled(), false },
        { "surround out", Set::stereo(), Set::create5point1(), false },
        { "LCR in", Set::createLCR(), Set::stereo(), false },
    };

    BrellumProcessor processor;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout (c.in, c.out)), c.accepted);
    }

    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getMainBusNumInputChannels(), 2);
    EXPECT_EQ (processor.getMainBusNumOutputChannels(), 2);
}

TEST (ProcessorShell, PassesAudioThroughBeforePrepareAndOnEmptyBlocks)
{
    BrellumProcessor processor;
    juce::MidiBuffer midi;

    auto buffer = rampBuffer (2, 64);
    const auto original = buffer;
    processor.processBlock (buffer, midi);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ (buffer.getSample (c, i), original.getSample (c, i));

    processor.prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> empty (2, 0);
    processor.processBlock (empty, midi);
    juce::AudioBuffer<float> noChannels (0, 16);
    processor.processBlock (noChannels, midi);
}

TEST (ProcessorShell, MonoInputReachesBothOutputs)
{
    BrellumProcessor processor;
    ASSERT_TRUE (processor.setBusesLayout (layout (Set::mono(), Set::stereo())));
    EXPECT_EQ (processor.getTotalNumInputChannels(), 1);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 2);

    auto buffer = rampBuffer (2, 32);
    buffer.clear (1, 0, 32);
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi); // not prepared: only the channel copy happens
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ (buffer.getSample (1, i), buffer.getSample (0, i));
}

TEST (ProcessorShell, ReportsFixedTailAndNoMidi)
{
    BrellumProcessor processor;
    EXPECT_DOUBLE_EQ (processor.getTailLengthSeconds(), 0.03);
    processor.getParameters()[0]->setValueNotifyingHost (1.0f);
    EXPECT_DOUBLE_EQ (processor.getTailLengthSeconds(), 0.03);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getName(), "Quorvane");
}

TEST (ProcessorShell, SampleRateOfZeroOrBelowIsTreatedAsADevice)
{
    for (double rate : { 0.0, -48000.0 })
    {
        BrellumProcessor processor;
        processor.prepareToPlay (rate, 512);
        auto buffer = rampBuffer (2, 128);
        juce::MidiBuffer midi;
        processor.processBlock (buffer, midi);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 128; ++i)
                ASSERT_TRUE (std::isfinite (buffer.getSample (c, i)));
    }
}

TEST (ProcessorShell, AnyHostParameterChangeSetsModifiedUnlessApplyingState)
{
    for (int index = 0; index < 15; ++index)
    {
        SCOPED_TRACE (index);
        BrellumProcessor processor;
        ASSERT_FALSE (processor.modified.load());
        auto* p = processor.getParameters()[index];
        p->setValueNotifyingHost (p->getValue() > 0.5f ? 0.0f : 1.0f);
        EXPECT_TRUE (processor.modified.load());
    }

    BrellumProcessor processor;
    processor.applyingState = true;
    processor.getParameters()[1]->setValueNotifyingHost (0.9f);
    processor.applyingState = false;
    EXPECT_FALSE (processor.modified.load());
}
