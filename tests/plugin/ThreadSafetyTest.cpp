#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace juce
{
// The platform loop's single step; declared here because the tests run no loop of their own.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

using namespace br::test;

// A host at its busiest: the audio thread processes block after block, a host thread
// automates parameters, another saves and restores the state and changes programs,
// while the message thread does what the editor does. Built with ThreadSanitizer
// (scripts/ci-sanitizers.sh) this reports any unguarded access; in every build the audio
// must stay finite and the processor must end in a state that round-trips.

namespace
{
/** Counts the blocks processed and any non-finite sample among them. */
struct AudioThread
{
    BrellumProcessor& processor;
    std::atomic<bool>& stop;
    std::atomic<juce::int64> blocks { 0 }, nonFinite { 0 };

    void run()
    {
        constexpr int maxBlock = 512;
        juce::AudioBuffer<float> storage (2, maxBlock);
        juce::MidiBuffer midi;
        juce::Random random (11);
        juce::int64 position = 0;

        while (! stop.load())
        {
            // Any length a host may hand over, including single samples.
            const int numSamples = 1 + random.nextInt (maxBlock);
            juce::AudioBuffer<float> block (storage.getArrayOfWritePointers(), 2, numSamples);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < numSamples; ++i)
                    block.setSample (c, i, 0.8f * std::sin (0.013f * float (position + i) + float (c)));

            if (blocks.load() % 97 == 96)
                processor.processBlockBypassed (block, midi);
            else
                processor.processBlock (block, midi);

            juce::int64 bad = 0;
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < numSamples; ++i)
                    bad += std::isfinite (block.getSample (c, i)) ? 0 : 1;

            nonFinite += bad;
            position += numSamples;
            ++blocks;
        }
    }
};

void dispatchPendingMessages()
{
    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
}
} // namespace

TEST (ThreadSafety, AudioAutomationAndStateHooksRunWhileTheMessageThreadWorks)
{
    TestHome home;
    BrellumProcessor processor;
    processor.prepareToPlay (48000.0, 512);
    const auto userFile = writeFile (home.presets(), "Mine.brlm", presetText (paramXml ("rate", "3") + paramXml ("mix", "40")));

    juce::MemoryBlock blobs[2];
    {
        BrellumProcessor a, b;
        setValues (a, unusualValues());
        b.setCurrentProgram (13);
        b.selectSetup (1);
        blobs[0] = stateOf (a);
        blobs[1] = stateOf (b);
    }

    std::atomic<bool> stop { false };
    AudioThread audio { processor, stop };
    std::atomic<juce::int64> automationMoves { 0 }, stateRounds { 0 };

    std::thread audioThread ([&] { audio.run(); });

    std::thread automationThread (
        [&]
        {
            juce::Random random (12);
            auto& parameters = processor.getParameters();
            while (! stop.load())
            {
                auto* parameter = parameters[random.nextInt (parameters.size())];
                parameter->beginChangeGesture();
                for (int steps = 1 + random.nextInt (8); --steps >= 0;)
                    parameter->setValueNotifyingHost (random.nextFloat());
                parameter->endChangeGesture();
                ++automationMoves;
                std::this_thread::yield();
            }
        });

    std::thread stateThread (
        [&]
        {
            for (juce::int64 i = 0; ! stop.load(); ++i)
            {
                const auto saved = stateOf (processor);
                restore (processor, blobs[i % 2]);
                if (i % 5 == 0)
                    processor.setCurrentProgram (int (i % 20));
                restore (processor, saved);
                juce::ignoreUnused (processor.getCurrentProgram(), processor.getProgramName (int (i % 21)));
                ++stateRounds;
            }
        });

    // Let the others get going first, so that every round below overlaps with them.
    while (audio.blocks.load() < 20 || automationMoves.load() < 20 || stateRounds.load() < 2)
        std::this_thread::yield();

    auto& manager = processor.presetManager;
    for (int round = 0; round < 240; ++round)
    {
        switch (round % 10)
        {
            case 0: manager.loadFactory (round % 20); break;
            case 1: manager.loadFile (userFile); break;
            case 2: processor.selectSetup (1 - processor.activeSetup.load()); break;
            case 3: processor.copySetupToOther(); break;
            case 4: manager.step (round % 3 == 0 ? -1 : +1); break;
            case 5: restore (processor, blobs[round % 2]); break;
            case 6: manager.saveToFile (home.presets().getChildFile ("Saved.brlm")); break;
            case 7: processor.undoManager.undo(); break;
            default: setValue (processor, "mix", float (round % 100)); break;
        }

        // What the editor's refresh reads at 30 Hz.
        const auto identity = manager.current();
        EXPECT_FALSE (identity.name.isEmpty());
        juce::ignoreUnused (processor.otherSetup(), processor.modified.load(), processor.undoManager.canUndo(),
                            processor.engine.amGain.load(), processor.engine.fmValue.load(),
                            processor.engine.rotAngle.load(), processor.engine.baseHz.load(),
                            processor.engine.peakL.exchange (0.0f), processor.engine.peakR.exchange (0.0f));
        dispatchPendingMessages();
    }

    stop.store (true);
    audioThread.join();
    automationThread.join();
    stateThread.join();
    dispatchPendingMessages();

    EXPECT_EQ (audio.nonFinite.load(), 0);
    EXPECT_GT (audio.blocks.load(), 20);
    EXPECT_EQ (processor.applyingState.load(), 0);
    for (const auto& [id, value] : valuesOf (processor))
    {
        SCOPED_TRACE (id);
        EXPECT_TRUE (std::isfinite (value));
    }

    const auto settled = stateOf (processor);
    restore (processor, settled);
    EXPECT_EQ (stateOf (processor), settled);
}
