#include "hosts/HostSupport.h"

#include <cmath>

using namespace br::host;

namespace
{
const double sampleRates[] { 22050.0,   32000.0,   44100.0,   48000.0,   88200.0,   96000.0,
                             192000.0,  384000.0,  1234.5678, 12345.678, 123456.78, 1234567.8 };

const int fixedBlockSizes[] { 0, 1, 17, 32, 64, 128, 256, 512, 1024, 2048, 4096 };

/** Fixed sizes first, then random ones up to the announced maximum. */
std::function<int()> blockSizes (std::mt19937& random, int maximum)
{
    return [&random, maximum, next = size_t { 0 }]() mutable
    {
        if (next < std::size (fixedBlockSizes))
            return juce::jmin (fixedBlockSizes[next++], maximum);
        return std::uniform_int_distribution<int> (1, maximum) (random);
    };
}

/** Sets every product parameter to a random position, as automation from a host would. */
void randomiseParameters (juce::AudioPluginInstance& instance, std::mt19937& random)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    for (auto* p : productParameters (instance))
        p->setValue (unit (random));
}

/** Empty when every sample is a normal number or zero, else where the first one is not. */
std::string firstUncleanSample (const juce::AudioBuffer<float>& audio, int fromSample = 0)
{
    for (int c = 0; c < audio.getNumChannels(); ++c)
        for (int i = fromSample; i < audio.getNumSamples(); ++i)
        {
            const auto x = audio.getSample (c, i);
            if (! std::isfinite (x) || std::fpclassify (x) == FP_SUBNORMAL)
                return "channel " + std::to_string (c) + " sample " + std::to_string (i) + " = " + std::to_string (x);
        }
    return {};
}

int samplesFor (double sampleRate, double seconds, int atLeast)
{
    return juce::jmax (atLeast, (int) std::ceil (sampleRate * seconds));
}

class ProcessingGrid : public testing::TestWithParam<Format>
{
protected:
    Format format = GetParam();
    std::unique_ptr<juce::AudioPluginInstance> instance = load (format);
    std::mt19937 random { 11 };
};
} // namespace

TEST_P (ProcessingGrid, EverySampleRateAndBlockSizeGivesCleanOutput)
{
    for (const auto rate : sampleRates)
    {
        SCOPED_TRACE ("sample rate " + std::to_string (rate));
        instance->prepareToPlay (rate, 4096);
        auto audio = whiteNoise (2, samplesFor (rate, 0.25, 3 * 8192), random);
        processInBlocks (*instance, audio, blockSizes (random, 4096));
        EXPECT_EQ (firstUncleanSample (audio), "");
        instance->releaseResources();
    }
}

TEST_P (ProcessingGrid, BlocksLargerThanAnnouncedAreProcessedLikeAnnouncedOnes)
{
    // Hosts are not supposed to, but some do (offline bounces, tempo changes mid-render).
    auto reference = load (format);
    reference->prepareToPlay (48000.0, 4096);
    instance->prepareToPlay (48000.0, 64);

    const int sizes[] { 4096, 1000, 65, 64, 3000 };
    size_t next = 0;
    const auto sizeSequence = [&] { return sizes[next++ % std::size (sizes)]; };
    auto input = whiteNoise (2, 4 * 8225, random);
    auto expected = input, actual = input;
    processInBlocks (*reference, expected, sizeSequence);
    next = 0;
    processInBlocks (*instance, actual, sizeSequence);

    EXPECT_EQ (firstUncleanSample (actual), "");
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < actual.getNumSamples(); ++i)
            ASSERT_EQ (actual.getSample (c, i), expected.getSample (c, i)) << "channel " << c << " sample " << i;
}

TEST_P (ProcessingGrid, PreparingAgainWithoutReleaseStartsAfresh)
{
    // Each differs from the one before: JUCE's VST3 host skips a prepare that repeats the
    // current sample rate and block size.
    const std::pair<double, int> setups[] { { 44100.0, 512 }, { 96000.0, 1024 }, { 48000.0, 64 }, { 48000.0, 1024 } };
    for (const auto& [rate, block] : setups)
    {
        SCOPED_TRACE ("prepared for " + std::to_string (rate) + " Hz, " + std::to_string (block) + " samples");
        instance->prepareToPlay (rate, block);
        auto audio = whiteNoise (2, samplesFor (rate, 0.2, 4096), random);
        processInBlocks (*instance, audio, [block = block] { return block; });
        EXPECT_EQ (firstUncleanSample (audio), "");
    }

    // After the last prepare the instance must sound like a fresh one: LFO at phase 0,
    // delay lines empty.
    auto fresh = load (format);
    fresh->prepareToPlay (48000.0, 4096);
    auto input = whiteNoise (2, 48000, random);
    instance->prepareToPlay (48000.0, 4096);
    auto expected = input, actual = input;
    processInBlocks (*fresh, expected, [] { return 4096; });
    processInBlocks (*instance, actual, [] { return 4096; });
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < actual.getNumSamples(); ++i)
            ASSERT_EQ (actual.getSample (c, i), expected.getSample (c, i)) << "channel " << c << " sample " << i;
}

TEST_P (ProcessingGrid, ParameterStormsEvery32SamplesGiveCleanBoundedOutput)
{
    for (const auto rate : { 48000.0, 1234.5678, 1234567.8 })
    {
        SCOPED_TRACE ("sample rate " + std::to_string (rate));
        instance->prepareToPlay (rate, 512);
        auto audio = whiteNoise (2, samplesFor (rate, 0.25, 48000), random);
        processInBlocks (*instance, audio, [] { return 32; }, [&] (int) { randomiseParameters (*instance, random); });
        EXPECT_EQ (firstUncleanSample (audio), "");
        // Input peaks at 0.5; +12 dB of gain, rotation and interpolation overshoot stay
        // far below this.
        EXPECT_LT (audio.getMagnitude (0, audio.getNumSamples()), 8.0f);
        instance->releaseResources();
    }
}

TEST_P (ProcessingGrid, SilenceInGivesExactSilenceOnceTheLongestDelayHasPassed)
{
    for (const auto rate : { 48000.0, 44100.0, 192000.0, 12345.678 })
    {
        for (int setting = 0; setting < 4; ++setting)
        {
            SCOPED_TRACE ("sample rate " + std::to_string (rate) + ", setting " + std::to_string (setting));
            instance->prepareToPlay (rate, 512);
            if (setting > 0)
                randomiseParameters (*instance, random);

            const auto noiseLength = samplesFor (rate, 0.2, 2048);
            auto audio = whiteNoise (2, noiseLength + samplesFor (rate, 0.2, 2048), random);
            audio.clear (0, noiseLength, audio.getNumSamples() - noiseLength);
            audio.clear (1, noiseLength, audio.getNumSamples() - noiseLength);
            processInBlocks (*instance, audio, [] { return 512; });

            // The longest delay is 30 ms; the cubic read reaches two samples further back.
            const auto silentFrom = noiseLength + (int) std::ceil (0.03 * rate) + 2;
            EXPECT_EQ (firstUncleanSample (audio), "");
            for (int c = 0; c < 2; ++c)
                for (int i = silentFrom; i < audio.getNumSamples(); ++i)
                    ASSERT_EQ (audio.getSample (c, i), 0.0f) << "channel " << c << ", " << (i - noiseLength)
                                                             << " samples into the silence";
            instance->releaseResources();
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, ProcessingGrid, allFormats(), printFormat);
