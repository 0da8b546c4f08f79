#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

using namespace br::test;

TEST (Programs, AreTheTwentyFactoryPresetsInOrder)
{
    const char* const names[] { "Full Reset",      "Gentle Tremolo",    "Deep Tremolo",      "Classic Vibrato",
                                "Wide Auto-Pan",   "Slow Stereo Drift", "Chorus Shimmer",    "Rotary Fast",
                                "Rotary Slow",     "Sync Chopper 1-16", "Sync Gate Pan 1-8", "Saw Swells 1-4",
                                "Sidechain Pump",  "Helicopter",        "Ring Mod Bell",     "Seasick",
                                "Tape Warble",     "Spinning Top",      "Underwater",        "Stereo Widener" };
    BrellumProcessor processor;
    ASSERT_EQ (processor.getNumPrograms(), 20);

    for (int i = 0; i < 20; ++i)
        EXPECT_EQ (processor.getProgramName (i), names[i]) << "program " << i;

    EXPECT_EQ (processor.getProgramName (-1), "");
    EXPECT_EQ (processor.getProgramName (20), "");
}

TEST (Programs, ChangingTheProgramLoadsItAndLeavesTheMarkerClear)
{
    BrellumProcessor processor;
    setValue (processor, "mix", 20.0f);
    ASSERT_TRUE (processor.modified.load());

    processor.setCurrentProgram (13);

    EXPECT_EQ (processor.getCurrentProgram(), 13);
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Helicopter");
    EXPECT_EQ (valuesOf (processor).at ("rotRange"), 200.0f);
    EXPECT_FALSE (processor.modified.load());
    EXPECT_EQ (processor.applyingState.load(), 0);
}

TEST (Programs, AnIndexOutsideTheTableChangesNothing)
{
    BrellumProcessor processor;
    processor.setCurrentProgram (5);
    setValue (processor, "mix", 20.0f);
    const auto before = valuesOf (processor);

    for (int index : { -1, 20, 1000 })
    {
        SCOPED_TRACE (index);
        processor.setCurrentProgram (index);
        EXPECT_EQ (valuesOf (processor), before);
        EXPECT_EQ (processor.getCurrentProgram(), 5);
        EXPECT_TRUE (processor.modified.load());
    }
}

TEST (Programs, CurrentProgramIsZeroWhileNoFactoryPresetIsCurrent)
{
    TestHome home;
    BrellumProcessor processor;
    const auto file = writeFile (home.presets(), "Mine.brlm", presetText (paramXml ("rate", "3")));

    ASSERT_TRUE (processor.presetManager.loadFile (file));
    ASSERT_EQ (processor.presetManager.getCurrentIndex(), 20);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    processor.presetManager.setCurrent ({ "Elsewhere", -1, {} });
    EXPECT_EQ (processor.getCurrentProgram(), 0);
}
