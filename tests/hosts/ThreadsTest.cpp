#include "hosts/HostSupport.h"

using namespace br::host;

namespace
{
enum class FirstBlockOn
{
    messageThreadRightAfterInsertion,
    audioThread,
    offlineRenderThread
};

struct FirstBlockCase
{
    const char* what;
    FirstBlockOn where;
};

const FirstBlockCase firstBlockCases[] {
    { "on the message thread right after insertion", FirstBlockOn::messageThreadRightAfterInsertion },
    { "on a fresh audio thread", FirstBlockOn::audioThread },
    { "offline, on a render thread (LV2 free-wheeling)", FirstBlockOn::offlineRenderThread },
};

/** Half a second of a fixed input through a fresh instance, the first block on the
    given thread. The product is deterministic, so every case must give the same. */
juce::AudioBuffer<float> renderFresh (Format format, FirstBlockOn where)
{
    auto instance = load (format);
    if (where == FirstBlockOn::offlineRenderThread)
        instance->setNonRealtime (true);
    instance->prepareToPlay (48000.0, 512);

    std::mt19937 random (21);
    auto audio = whiteNoise (2, 24000, random);
    const auto render = [&] { processInBlocks (*instance, audio, [] { return 480; }); };
    if (where == FirstBlockOn::messageThreadRightAfterInsertion)
        render();
    else
        std::thread (render).join();

    instance->releaseResources();
    return audio;
}

void randomValues (std::vector<float>& values, std::mt19937& random)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    for (auto& v : values)
        v = unit (random);
}

class Threads : public testing::TestWithParam<Format>
{
protected:
    Format format = GetParam();
};
} // namespace

TEST_P (Threads, FirstBlockMayComeOnAnyThread)
{
    const auto reference = renderFresh (format, FirstBlockOn::audioThread);
    for (const auto& c : firstBlockCases)
    {
        SCOPED_TRACE (c.what);
        const auto audio = renderFresh (format, c.where);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < audio.getNumSamples(); ++i)
                ASSERT_EQ (audio.getSample (ch, i), reference.getSample (ch, i)) << "channel " << ch << " sample " << i;
    }
}

TEST_P (Threads, ParametersMayBeSetFromAnotherThreadWhileAudioRunsAndTheEditorIsOpen)
{
    auto instance = load (format);
    instance->prepareToPlay (48000.0, 256);
    auto params = productParameters (*instance);
    std::vector<float> last (params.size());
    {
        AudioThread audio (*instance);
        auto editor = openEditor (*instance);
        ASSERT_NE (editor, nullptr);

        std::atomic<bool> done { false };
        std::thread automation ([&]
        {
            std::mt19937 random (4);
            for (int round = 0; round < 400; ++round)
            {
                randomValues (last, random);
                for (size_t i = 0; i < params.size(); ++i)
                    params[i]->setValueNotifyingHost (last[i]);
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            }
            done = true;
        });
        while (! done)
            pumpMessages (10);
        automation.join();
        audio.waitForBlocks (4);
        pumpMessages (50);
        EXPECT_FALSE (audio.sawUncleanOutput());
        closeEditor (editor);
    }

    // The host's view ends where the automation left it, not where a message in flight
    // from the plug-in put it back.
    for (size_t i = 0; i < params.size(); ++i)
        EXPECT_FLOAT_EQ (params[i]->getValue(), last[i]) << params[i]->getName (100);
    instance->releaseResources();
}

TEST_P (Threads, EditorMayOpenWhileAudioRuns)
{
    auto instance = load (format);
    instance->prepareToPlay (48000.0, 256);
    {
        AudioThread audio (*instance);
        audio.waitForBlocks (2);
        for (int i = 0; i < 5; ++i)
        {
            auto editor = openEditor (*instance);
            ASSERT_NE (editor, nullptr);
            pumpMessages (40);
            EXPECT_GT (editor->getWidth(), 0);
            EXPECT_GT (editor->getHeight(), 0);
            closeEditor (editor);
        }
        audio.waitForBlocks (2);
        EXPECT_FALSE (audio.sawUncleanOutput());
    }
    instance->releaseResources();
}

INSTANTIATE_TEST_SUITE_P (Formats, Threads, allFormats(), printFormat);
