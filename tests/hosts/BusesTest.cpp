#include "hosts/HostSupport.h"

using namespace br::host;

namespace
{
using Set = juce::AudioChannelSet;

struct LayoutCase
{
    const char* what;
    Set input, output;
    bool acceptedByVst3;
    // LV2 fixes its ports in the Turtle files, so only the declared stereo pair exists.
    bool acceptedByLv2;
};

const LayoutCase layoutCases[] {
    { "mono in, mono out", Set::mono(), Set::mono(), true, false },
    { "mono in, stereo out", Set::mono(), Set::stereo(), true, false },
    { "stereo in, stereo out", Set::stereo(), Set::stereo(), true, true },
    { "stereo in, mono out", Set::stereo(), Set::mono(), false, false },
    // VST3 hosts switch buses on and off by themselves; JUCE's wrapper then runs the
    // processor in its nearest layout, feeding silence to a switched-off input.
    { "no input, stereo out", Set::disabled(), Set::stereo(), true, false },
    { "stereo in, no output", Set::stereo(), Set::disabled(), true, false },
    { "stereo in, LCR out", Set::stereo(), Set::createLCR(), false, false },
    { "quadraphonic", Set::quadraphonic(), Set::quadraphonic(), false, false },
    { "5.1 in and out", Set::create5point1(), Set::create5point1(), false, false },
    { "mono in, 5.1 out", Set::mono(), Set::create5point1(), false, false },
};

juce::AudioProcessor::BusesLayout layoutOf (const Set& input, const Set& output)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (input);
    layout.outputBuses.add (output);
    return layout;
}

/** Processes a second of noise and checks what came out on every output channel. */
void expectProcessesInLayout (juce::AudioPluginInstance& instance)
{
    const auto ins = instance.getTotalNumInputChannels();
    const auto outs = instance.getTotalNumOutputChannels();
    std::mt19937 random (3);
    instance.prepareToPlay (48000.0, 512);
    auto audio = whiteNoise (juce::jmax (ins, outs), 48000, random);
    for (int c = ins; c < audio.getNumChannels(); ++c)
        audio.clear (c, 0, audio.getNumSamples());
    processInBlocks (instance, audio, [] { return 512; });
    instance.releaseResources();

    for (int c = 0; c < outs; ++c)
    {
        SCOPED_TRACE ("output " + std::to_string (c));
        const auto range = audio.findMinMax (c, 0, audio.getNumSamples());
        EXPECT_TRUE (std::isfinite (range.getStart()) && std::isfinite (range.getEnd()));
        // A mono input reaches every output: none may stay silent.
        if (ins > 0)
            EXPECT_GT (audio.getMagnitude (c, audio.getNumSamples() / 2, audio.getNumSamples() / 2), 0.01f);
    }
}

class Buses : public testing::TestWithParam<Format>
{
protected:
    Format format = GetParam();
    std::unique_ptr<juce::AudioPluginInstance> instance = load (format);
};
} // namespace

TEST_P (Buses, StartsInStereo)
{
    EXPECT_EQ (instance->getBusesLayout(), layoutOf (Set::stereo(), Set::stereo()));
    EXPECT_EQ (instance->getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (instance->getBus (false, 0)->getName(), "Output");
}

TEST_P (Buses, AcceptsExactlyTheLayoutsOfTheRuleAndProcessesInEach)
{
    for (const auto& c : layoutCases)
    {
        SCOPED_TRACE (c.what);
        const auto layout = layoutOf (c.input, c.output);
        const auto expected = format == Format::vst3 ? c.acceptedByVst3 : c.acceptedByLv2;
        EXPECT_EQ (instance->checkBusesLayoutSupported (layout), expected);
        EXPECT_EQ (instance->setBusesLayout (layout), expected);
        if (expected)
        {
            EXPECT_EQ (instance->getBusesLayout(), layout);
            expectProcessesInLayout (*instance);
        }
        else
        {
            EXPECT_NE (instance->getBusesLayout(), layout);
        }
    }
}

TEST_P (Buses, RestoresTheDefaultLayoutAfterAnother)
{
    const auto stereo = layoutOf (Set::stereo(), Set::stereo());
    for (const auto& c : layoutCases)
    {
        SCOPED_TRACE (c.what);
        instance->setBusesLayout (layoutOf (c.input, c.output));
        ASSERT_TRUE (instance->setBusesLayout (stereo));
        EXPECT_EQ (instance->getBusesLayout(), stereo);
    }
    expectProcessesInLayout (*instance);
}

INSTANTIATE_TEST_SUITE_P (Formats, Buses, allFormats(), printFormat);
