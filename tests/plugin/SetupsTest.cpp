#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

using namespace br::test;

namespace
{
/** An edit as the editor makes it: the value changes, the tree catches up (recording
    the undo step) and the next gesture starts a new transaction. */
void edit (BrellumProcessor& processor, const juce::String& id, float value)
{
    setValue (processor, id, value);
    processor.parameters.copyState();
    processor.undoManager.beginNewTransaction();
}
} // namespace

TEST (Setups, SwitchingToBRightAfterConstructionGivesTheDefaultsAndParksA)
{
    BrellumProcessor processor, fresh;
    processor.setCurrentProgram (15);
    edit (processor, "mix", 40.0f);
    const auto a = valuesOf (processor);

    processor.selectSetup (1);

    EXPECT_EQ (processor.activeSetup.load(), 1);
    EXPECT_EQ (valuesOf (processor), valuesOf (fresh));
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Full Reset");
    EXPECT_EQ (processor.presetManager.getCurrentIndex(), 0);
    EXPECT_FALSE (processor.modified.load());

    const auto parked = processor.otherSetup();
    EXPECT_EQ (parked.preset.name, "Seasick");
    EXPECT_EQ (parked.preset.index, 15);
    EXPECT_TRUE (parked.isModified);
    EXPECT_FLOAT_EQ (float (parked.state.getChildWithProperty ("id", "mix").getProperty ("value")), a.at ("mix"));
}

TEST (Setups, TwoSwitchesBringBackTheLiveSetupWithItsPresetAndMarker)
{
    TestHome home;
    BrellumProcessor processor;
    const auto file = writeFile (home.presets(), "Mine.brlm", presetText (paramXml ("rate", "3"), " name=\"Mine\""));
    ASSERT_TRUE (processor.presetManager.loadFile (file));
    setValues (processor, unusualValues());
    const auto a = valuesOf (processor);

    processor.selectSetup (1);
    processor.setCurrentProgram (7);
    const auto b = valuesOf (processor);

    processor.selectSetup (0);
    EXPECT_EQ (valuesOf (processor), a);
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Mine");
    EXPECT_EQ (processor.presetManager.getCurrentIndex(), 20);
    EXPECT_TRUE (processor.modified.load());
    EXPECT_EQ (processor.presetManager.currentUserFile(), file) << "the preset's own file travels with it";

    processor.selectSetup (1);
    EXPECT_EQ (valuesOf (processor), b);
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Rotary Fast");
    EXPECT_FALSE (processor.modified.load());
}

TEST (Setups, InvalidOrCurrentIndicesChangeNothingAndKeepTheUndoHistory)
{
    BrellumProcessor processor;
    edit (processor, "mix", 40.0f);
    ASSERT_TRUE (processor.undoManager.canUndo());

    for (int index : { 0, -1, 2, 1000 })
    {
        SCOPED_TRACE (index);
        processor.selectSetup (index);
        EXPECT_EQ (processor.activeSetup.load(), 0);
        EXPECT_EQ (valuesOf (processor).at ("mix"), 40.0f);
        EXPECT_TRUE (processor.undoManager.canUndo());
    }
}

TEST (Setups, ARealSwitchLeavesNothingToUndoEvenOnceTheTreeCatchesUp)
{
    BrellumProcessor processor;
    edit (processor, "mix", 40.0f);

    processor.selectSetup (1);
    EXPECT_FALSE (processor.undoManager.canUndo());

    // The parameter tree copies new values into its undoable state a timer tick later;
    // those copies must not come back as an undo step of the switch.
    processor.parameters.copyState();
    EXPECT_FALSE (processor.undoManager.canUndo());

    processor.presetManager.loadFactory (5);
    processor.parameters.copyState();
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST (Setups, CopyThenSwitchKeepsParametersPresetAndMarker)
{
    BrellumProcessor processor;
    processor.setCurrentProgram (18);
    setValue (processor, "gain", 3.0f);
    const auto live = valuesOf (processor);

    processor.copySetupToOther();
    EXPECT_EQ (processor.activeSetup.load(), 0);
    processor.selectSetup (1);

    EXPECT_EQ (valuesOf (processor), live);
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Underwater");
    EXPECT_EQ (processor.presetManager.getCurrentIndex(), 18);
    EXPECT_TRUE (processor.modified.load());
}

TEST (Setups, UndoAfterACopyStillUndoesEarlierEdits)
{
    BrellumProcessor processor;
    edit (processor, "mix", 40.0f);

    processor.copySetupToOther();

    ASSERT_TRUE (processor.undoManager.canUndo());
    processor.undoManager.undo();
    EXPECT_EQ (valuesOf (processor).at ("mix"), 100.0f);
}

TEST (Setups, AParkedSetupMissingAParameterGivesItsDefault)
{
    BrellumProcessor processor;
    setValues (processor, unusualValues());
    processor.copySetupToOther();

    // A parked set-up saved before "mix" existed.
    auto document = juce::parseXML (textOf (stateOf (processor)));
    auto* parkedBlock = document->getChildByName ("OtherSetup")->getChildElement (0);
    parkedBlock->removeChildElement (parkedBlock->getChildByAttribute ("id", "mix"), true);
    restore (processor, envelope (document->toString (juce::XmlElement::TextFormat().singleLine())));

    processor.selectSetup (1);
    EXPECT_EQ (valuesOf (processor).at ("mix"), 100.0f);
    EXPECT_EQ (valuesOf (processor).at ("gain"), -6.5f);
}
