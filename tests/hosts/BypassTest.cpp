#include "hosts/HostSupport.h"

using namespace br::host;

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 128;
constexpr float inputLevel = 0.2f;

class Bypass : public testing::TestWithParam<Format>
{
protected:
    Format format = GetParam();
    std::unique_ptr<juce::AudioPluginInstance> instance = load (format);
};
} // namespace

TEST_P (Bypass, SwitchingItWhileAudioRunsMakesNoStep)
{
    // Only the gain differs between effect and bypass: the effect is four times louder,
    // so a hard switch would jump by up to 0.6 while the input moves by 0.003 a sample.
    for (const auto& [name, text] : { std::pair { "Gain", "12" }, { "AM On", "Off" }, { "FM On", "Off" }, { "Rotation On", "Off" } })
    {
        auto* p = parameterNamed (*instance, name);
        ASSERT_NE (p, nullptr) << name;
        setFromText (*p, text);
    }
    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr);
    instance->prepareToPlay (sampleRate, blockSize);

    // Switch at odd block positions, some of them only a few blocks apart.
    const int switchBlocks[] { 60, 97, 101, 180, 181, 260, 333, 340, 420 };
    const int bypassedUntilBlock = 560; // long enough for any fade to finish
    const int totalBlocks = 750;
    auto audio = sine (2, totalBlocks * blockSize, 100.0, sampleRate, inputLevel);
    const auto input = audio;

    int block = 0;
    bool bypassed = false;
    processInBlocks (*instance, audio, [] { return blockSize; }, [&] (int)
    {
        const auto switchHere = std::find (std::begin (switchBlocks), std::end (switchBlocks), block) != std::end (switchBlocks);
        if (switchHere || block == bypassedUntilBlock)
        {
            bypassed = ! bypassed;
            bypass->setValueNotifyingHost (bypassed ? 1.0f : 0.0f);
        }
        ++block;
    });
    ASSERT_FALSE (bypassed);

    float largestStep = 0.0f;
    int where = 0;
    for (int c = 0; c < 2; ++c)
        for (int i = 1; i < audio.getNumSamples(); ++i)
        {
            const auto step = std::abs (audio.getSample (c, i) - audio.getSample (c, i - 1));
            if (step > largestStep)
                largestStep = step, where = i;
        }
    // Four times the input's steepest slope is 0.0105; a 5 ms fade between the two
    // levels adds 0.0025. Anything near 0.05 is a click.
    EXPECT_LT (largestStep, 0.05f) << "at sample " << where << " (block " << where / blockSize << ")";

    // And the switch does something: dry while bypassed, four times louder when not.
    const auto lastBypassed = (bypassedUntilBlock - 1) * blockSize;
    for (int i = lastBypassed; i < lastBypassed + blockSize; ++i)
        ASSERT_NEAR (audio.getSample (0, i), input.getSample (0, i), 1.0e-6f) << "bypassed, sample " << i;
    const auto lastBlock = (totalBlocks - 1) * blockSize;
    EXPECT_NEAR (audio.getMagnitude (0, lastBlock - 4 * blockSize, 5 * blockSize),
                 juce::Decibels::decibelsToGain (12.0f) * input.getMagnitude (0, lastBlock - 4 * blockSize, 5 * blockSize),
                 0.02f);
}

INSTANTIATE_TEST_SUITE_P (Formats, Bypass, allFormats(), printFormat);
