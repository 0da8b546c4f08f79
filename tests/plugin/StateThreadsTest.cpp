#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <thread>

namespace juce
{
// The platform loop's single step; declared here because the tests run no loop of their own.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

using namespace br::test;

namespace
{
void dispatchPendingMessages()
{
    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
}
} // namespace

// Some hosts save and restore from a worker thread while the editor is open. Run under
// ThreadSanitizer this shows any unguarded field; run plainly it must neither crash nor
// leave a state that does not round-trip.
TEST (StateThreads, AHostThreadSavesAndRestoresWhileTheEditorSideWorks)
{
    TestHome home;
    BrellumProcessor processor;
    const auto userFile = writeFile (home.presets(), "Mine.brlm", presetText (paramXml ("rate", "3")));

    BrellumProcessor a, b;
    setValues (a, unusualValues());
    b.setCurrentProgram (9);
    b.selectSetup (1);
    const juce::MemoryBlock blobs[] { stateOf (a), stateOf (b) };

    constexpr int rounds = 300;
    std::thread host ([&]
                      {
                          for (int i = 0; i < rounds; ++i)
                          {
                              const auto saved = stateOf (processor);
                              restore (processor, blobs[i % 2]);
                              restore (processor, saved);
                          }
                      });

    for (int i = 0; i < rounds; ++i)
    {
        auto& manager = processor.presetManager;
        switch (i % 6)
        {
            case 0: manager.loadFactory (i % 20); break;
            case 1: manager.loadFile (userFile); break;
            case 2: processor.selectSetup (1 - processor.activeSetup.load()); break;
            case 3: processor.copySetupToOther(); break;
            case 4: manager.step (+1); break;
            default: setValue (processor, "mix", float (i % 100)); break;
        }

        // What the editor's refresh reads.
        const auto identity = manager.current();
        EXPECT_FALSE (identity.name.isEmpty());
        const auto setup = processor.activeSetup.load();
        EXPECT_TRUE (setup == 0 || setup == 1);
        juce::ignoreUnused (processor.otherSetup(), processor.undoManager.canUndo());
    }

    host.join();
    dispatchPendingMessages();

    const auto settled = stateOf (processor);
    restore (processor, settled);
    EXPECT_EQ (stateOf (processor), settled);
    EXPECT_EQ (processor.applyingState.load(), 0);
}

TEST (StateThreads, ARestoreOnAHostThreadLeavesTheUndoHistoryToTheMessageThread)
{
    BrellumProcessor processor, source;
    setValues (source, unusualValues());
    const auto blob = stateOf (source);

    setValue (processor, "mix", 12.0f);
    processor.parameters.copyState();
    ASSERT_TRUE (processor.undoManager.canUndo());

    std::thread host ([&] { restore (processor, blob); });
    host.join();

    EXPECT_EQ (valuesOf (processor), valuesOf (source));
    EXPECT_TRUE (processor.undoManager.canUndo()) << "touched off the message thread";

    dispatchPendingMessages();
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST (StateThreads, AProgramChangeOnAHostThreadClearsTheHistoryOnTheMessageThread)
{
    BrellumProcessor processor;
    setValue (processor, "mix", 12.0f);
    processor.parameters.copyState();

    std::thread host ([&] { processor.setCurrentProgram (4); });
    host.join();

    EXPECT_EQ (processor.getCurrentProgram(), 4);
    EXPECT_FALSE (processor.modified.load());
    dispatchPendingMessages();
    EXPECT_FALSE (processor.undoManager.canUndo());
}
