#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace br::test;

namespace
{
juce::String unusualName() { return juce::CharPointer_UTF8 ("\xc3\x9cn\xc3\xaf" "code & \"quotes\" <tag> \xf0\x9f\x8e\x9b"); }

/** A processor with nothing left at its starting value: B live, both set-ups with
    their own values, preset identities and markers, a zoom of 1.25. */
void makeEverythingDiffer (BrellumProcessor& processor)
{
    processor.setCurrentProgram (15);
    setValue (processor, "mix", 60.0f);
    processor.selectSetup (1);
    setValues (processor, unusualValues());
    processor.presetManager.setCurrent ({ unusualName(), 23, {} });
    processor.modified.store (false);
    processor.uiScale.store (1.25f);
}

/** Everything the state is meant to carry, for field-by-field comparison. */
struct Fields
{
    Values values;
    juce::String name;
    int index;
    bool modified;
    int activeSetup;
    float uiScale;
    juce::String parkedName;
    int parkedIndex;
    bool parkedModified;
    juce::String parkedState;
};

Fields fieldsOf (BrellumProcessor& processor)
{
    const auto parked = processor.otherSetup();
    return { valuesOf (processor),
             processor.presetManager.getCurrentName(),
             processor.presetManager.getCurrentIndex(),
             processor.modified.load(),
             processor.activeSetup.load(),
             processor.uiScale.load(),
             parked.preset.name,
             parked.preset.index,
             parked.isModified,
             parked.state.toXmlString() };
}

void expectSameFields (const Fields& actual, const Fields& expected)
{
    EXPECT_EQ (actual.values, expected.values);
    EXPECT_EQ (actual.name, expected.name);
    EXPECT_EQ (actual.index, expected.index);
    EXPECT_EQ (actual.modified, expected.modified);
    EXPECT_EQ (actual.activeSetup, expected.activeSetup);
    EXPECT_EQ (actual.uiScale, expected.uiScale);
    EXPECT_EQ (actual.parkedName, expected.parkedName);
    EXPECT_EQ (actual.parkedIndex, expected.parkedIndex);
    EXPECT_EQ (actual.parkedModified, expected.parkedModified);
    EXPECT_EQ (actual.parkedState, expected.parkedState);
}

juce::String stateText (const juce::String& rootAttributes, const juce::String& inner = {},
                        const juce::String& rootTag = "BrellumState")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><" + rootTag + rootAttributes + ">" + inner + "</" + rootTag + ">";
}
} // namespace

TEST (ProcessorState, IsTheFrameworksEnvelopeAroundOneLineOfXml)
{
    BrellumProcessor processor;
    makeEverythingDiffer (processor);
    const auto blob = stateOf (processor);
    const auto* bytes = static_cast<const juce::uint8*> (blob.getData());

    ASSERT_GT (blob.getSize(), 9u);
    EXPECT_EQ (bytes[0], 0x56);
    EXPECT_EQ (bytes[1], 0x43);
    EXPECT_EQ (bytes[2], 0x32);
    EXPECT_EQ (bytes[3], 0x21);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), juce::uint32 (blob.getSize() - 9));
    EXPECT_EQ (bytes[blob.getSize() - 1], 0);

    const auto text = textOf (blob);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <BrellumState "));
    EXPECT_FALSE (text.containsAnyOf ("\r\n"));

    // The framework's own reader agrees.
    EXPECT_NE (juce::AudioProcessor::getXmlFromBinary (blob.getData(), int (blob.getSize())), nullptr);
}

TEST (ProcessorState, CarriesEveryFieldInTheDocumentedOrder)
{
    BrellumProcessor processor;
    makeEverythingDiffer (processor);
    processor.modified.store (true);
    const auto xml = juce::parseXML (textOf (stateOf (processor)));
    ASSERT_NE (xml, nullptr);

    const juce::StringArray rootNames { "presetName", "presetIndex", "modified", "activeSetup", "uiScale" };
    const juce::StringArray rootValues { unusualName(), "23", "1", "1", "1.25" };
    ASSERT_EQ (xml->getNumAttributes(), rootNames.size());
    for (int i = 0; i < rootNames.size(); ++i)
    {
        SCOPED_TRACE (rootNames[i]);
        EXPECT_EQ (xml->getAttributeName (i), rootNames[i]);
        EXPECT_EQ (xml->getAttributeValue (i), rootValues[i]);
    }

    ASSERT_EQ (xml->getNumChildElements(), 2);
    EXPECT_TRUE (xml->getChildElement (0)->isEquivalentTo (processor.parameters.copyState().createXml().get(), false));

    const auto* other = xml->getChildElement (1);
    EXPECT_EQ (other->getTagName(), "OtherSetup");
    ASSERT_EQ (other->getNumAttributes(), 3);
    EXPECT_EQ (other->getAttributeName (0), "presetName");
    EXPECT_EQ (other->getAttributeValue (0), "Seasick");
    EXPECT_EQ (other->getAttributeName (1), "presetIndex");
    EXPECT_EQ (other->getAttributeValue (1), "15");
    EXPECT_EQ (other->getAttributeName (2), "modified");
    EXPECT_EQ (other->getAttributeValue (2), "1");
    ASSERT_EQ (other->getNumChildElements(), 1);
    EXPECT_EQ (other->getChildElement (0)->getChildByAttribute ("id", "mix")->getDoubleAttribute ("value"), 60.0);
}

TEST (ProcessorState, AFreshProcessorWritesScaleOneAsOnePointZero)
{
    BrellumProcessor processor;
    const auto xml = juce::parseXML (textOf (stateOf (processor)));
    EXPECT_EQ (xml->getStringAttribute ("uiScale"), "1.0");
    EXPECT_EQ (xml->getStringAttribute ("presetName"), "Full Reset");
    EXPECT_EQ (xml->getStringAttribute ("presetIndex"), "0");
    EXPECT_EQ (xml->getStringAttribute ("activeSetup"), "0");
}

TEST (ProcessorState, GetSetGetGivesTheSameBytes)
{
    BrellumProcessor processor;
    makeEverythingDiffer (processor);
    const auto first = stateOf (processor);

    restore (processor, first);
    EXPECT_EQ (stateOf (processor), first);

    BrellumProcessor other;
    restore (other, first);
    EXPECT_EQ (stateOf (other), first);
}

TEST (ProcessorState, RestoresEveryFieldIntoAFreshProcessor)
{
    BrellumProcessor processor;
    makeEverythingDiffer (processor);
    processor.modified.store (true);
    const auto expected = fieldsOf (processor);

    BrellumProcessor other;
    restore (other, stateOf (processor));
    expectSameFields (fieldsOf (other), expected);

    // And the parked set-up really is set-up A.
    other.selectSetup (0);
    EXPECT_EQ (other.presetManager.getCurrentName(), "Seasick");
    EXPECT_EQ (valuesOf (other).at ("mix"), 60.0f);
    EXPECT_TRUE (other.modified.load());
}

TEST (ProcessorState, UnusableBlobsChangeNothing)
{
    const auto good = stateText (" presetName=\"Good\"");
    const auto goodBlob = envelope (good);

    auto withMagic = [&] (juce::uint32 magic)
    {
        auto blob = goodBlob;
        const auto stored = juce::ByteOrder::swapIfBigEndian (magic);
        std::memcpy (blob.getData(), &stored, 4);
        return blob;
    };
    auto withLength = [&] (int length)
    {
        auto blob = goodBlob;
        const auto stored = juce::ByteOrder::swapIfBigEndian (juce::uint32 (length));
        std::memcpy (static_cast<char*> (blob.getData()) + 4, &stored, 4);
        return blob;
    };
    auto deep = juce::String::repeatedString ("<a>", 100000) + juce::String::repeatedString ("</a>", 100000);

    const struct
    {
        const char* what;
        juce::MemoryBlock blob;
    } cases[] {
        { "empty", {} },
        { "eight bytes", juce::MemoryBlock (goodBlob.getData(), 8) },
        { "wrong magic", withMagic (0x21324357) },
        { "zero length", withLength (0) },
        { "negative length", withLength (-5) },
        { "length cutting the text short", withLength (20) },
        { "not XML", envelope ("this is not XML") },
        { "other root", envelope (stateText (" presetName=\"Good\"", {}, "BrellumPreset")) },
        { "DOCTYPE with an external entity",
          envelope ("<!DOCTYPE BrellumState SYSTEM \"/dev/zero\"><BrellumState presetName=\"&x;\"/>") },
        { "100 000 levels", envelope ("<BrellumState>" + deep + "</BrellumState>") },
    };

    BrellumProcessor processor;
    makeEverythingDiffer (processor);
    setValue (processor, "mix", 12.0f);
    processor.parameters.copyState();
    ASSERT_TRUE (processor.undoManager.canUndo());
    const auto before = stateOf (processor);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        restore (processor, c.blob);
        EXPECT_EQ (stateOf (processor), before);
        EXPECT_TRUE (processor.undoManager.canUndo()) << "a dropped blob leaves the history alone";
    }

    processor.setStateInformation (nullptr, 100);
    EXPECT_EQ (stateOf (processor), before);
}

TEST (ProcessorState, ALengthPastTheEndReadsToTheEndOfTheBlob)
{
    auto blob = envelope (stateText (" presetName=\"Long\""));
    const auto length = juce::ByteOrder::swapIfBigEndian (juce::uint32 (1) << 20);
    std::memcpy (static_cast<char*> (blob.getData()) + 4, &length, 4);

    BrellumProcessor processor;
    restore (processor, blob);
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Long");
}

TEST (ProcessorState, TheRootTagMatchesIgnoringCase)
{
    BrellumProcessor processor;
    restore (processor, envelope (stateText (" presetName=\"Case\"", {}, "brellumSTATE")));
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Case");
}

TEST (ProcessorState, ABareRootResetsTheIdentityAndKeepsParametersAndParkedSetup)
{
    BrellumProcessor processor;
    makeEverythingDiffer (processor);
    processor.modified.store (true);
    const auto before = fieldsOf (processor);

    restore (processor, envelope (stateText ({})));

    const auto after = fieldsOf (processor);
    EXPECT_EQ (after.values, before.values);
    EXPECT_EQ (after.name, "Full Reset");
    EXPECT_EQ (after.index, -1);
    EXPECT_FALSE (after.modified);
    EXPECT_EQ (after.activeSetup, 0);
    EXPECT_EQ (after.uiScale, 1.0f);
    EXPECT_EQ (after.parkedName, before.parkedName);
    EXPECT_EQ (after.parkedIndex, before.parkedIndex);
    EXPECT_EQ (after.parkedModified, before.parkedModified);
    EXPECT_EQ (after.parkedState, before.parkedState);
}

TEST (ProcessorState, AttributesFallBackAndAreLimitedOneByOne)
{
    const struct
    {
        const char* attributes;
        int activeSetup;
        float uiScale;
        int presetIndex;
        bool modified;
    } cases[] {
        { " activeSetup=\"5\"", 1, 1.0f, -1, false },
        { " activeSetup=\"-1\"", 0, 1.0f, -1, false },
        { " activeSetup=\"B\"", 0, 1.0f, -1, false },
        { " uiScale=\"3\"", 0, 2.5f, -1, false },
        { " uiScale=\"0.1\"", 0, 0.5f, -1, false },
        { " uiScale=\"1.75\"", 0, 1.75f, -1, false },
        { " uiScale=\"abc\"", 0, 0.5f, -1, false },
        { " uiScale=\"nan\"", 0, 1.0f, -1, false },
        { " uiScale=\"inf\"", 0, 1.0f, -1, false },
        { " uiScale=\"-inf\"", 0, 1.0f, -1, false },
        { " uiScale=\"1e999\"", 0, 1.0f, -1, false },
        { " presetIndex=\"42\"", 0, 1.0f, 42, false },
        { " presetIndex=\"99999999999\"", 0, 1.0f, 2147483647, false },
        { " modified=\"yes\"", 0, 1.0f, -1, true },
        { " modified=\"T\"", 0, 1.0f, -1, true },
        { " modified=\"0\"", 0, 1.0f, -1, false },
        { " Modified=\"1\" ActiveSetup=\"1\" UISCALE=\"2\"", 0, 1.0f, -1, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.attributes);
        BrellumProcessor processor;
        restore (processor, envelope (stateText (c.attributes)));

        EXPECT_EQ (processor.activeSetup.load(), c.activeSetup);
        EXPECT_EQ (processor.uiScale.load(), c.uiScale);
        EXPECT_EQ (processor.presetManager.getCurrentIndex(), c.presetIndex);
        EXPECT_EQ (processor.modified.load(), c.modified);
    }
}

TEST (ProcessorState, NonFiniteValuesNeverReachAParameter)
{
    for (auto* text : { "nan", "-nan", "inf", "-inf", "1e999", "-1e999" })
    {
        SCOPED_TRACE (text);
        BrellumProcessor processor;
        setValues (processor, unusualValues());

        juce::String params;
        for (const auto& id : br::allParameterIds())
            params << paramXml (id, text);

        restore (processor,
                 envelope (stateText ({}, "<Parameters>" + params + "</Parameters><OtherSetup><Parameters>" + params
                                              + "</Parameters></OtherSetup>")));

        for (int pass = 0; pass < 2; ++pass) // live, then the parked set-up made live
        {
            for (const auto& id : br::allParameterIds())
            {
                SCOPED_TRACE (id);
                EXPECT_FLOAT_EQ (valuesOf (processor).at (id), defaultOf (processor, id));
                EXPECT_TRUE (std::isfinite (processor.parameters.getParameter (id)->getValue()));
            }
            processor.selectSetup (1);
        }
    }
}

TEST (ProcessorState, AnOtherSetupWithoutParametersKeepsTheParkedTree)
{
    BrellumProcessor processor;
    setValue (processor, "mix", 33.0f);
    processor.copySetupToOther();
    const auto parkedTree = processor.otherSetup().state.toXmlString();

    restore (processor, envelope (stateText ({}, "<othersetup presetName=\"P\" presetIndex=\"4\" modified=\"1\"/>")));

    const auto parked = processor.otherSetup();
    EXPECT_EQ (parked.preset.name, "P");
    EXPECT_EQ (parked.preset.index, 4);
    EXPECT_TRUE (parked.isModified);
    EXPECT_EQ (parked.state.toXmlString(), parkedTree);

    restore (processor, envelope (stateText ({}, "<OtherSetup/>")));
    EXPECT_EQ (processor.otherSetup().preset.name, "");
    EXPECT_EQ (processor.otherSetup().preset.index, -1);
    EXPECT_FALSE (processor.otherSetup().isModified);
}

TEST (ProcessorState, RestoringSetsTheMarkerOnlyFromTheDocument)
{
    BrellumProcessor source;
    setValues (source, unusualValues());
    source.modified.store (false);
    const auto clean = stateOf (source);

    BrellumProcessor processor, fresh;
    restore (processor, clean);
    EXPECT_NE (valuesOf (processor), valuesOf (fresh));
    EXPECT_FALSE (processor.modified.load());
    EXPECT_EQ (processor.applyingState.load(), 0);
}

TEST (ProcessorState, AnAcceptedRestoreClearsTheUndoHistory)
{
    BrellumProcessor processor, fresh;
    setValue (processor, "mix", 12.0f);
    processor.parameters.copyState();
    ASSERT_TRUE (processor.undoManager.canUndo());

    restore (processor, stateOf (fresh));
    EXPECT_FALSE (processor.undoManager.canUndo());
    processor.parameters.copyState();
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST (ProcessorState, ARestoredUserPresetIsSavedOverItsOwnFile)
{
    TestHome home;
    BrellumProcessor processor;
    const auto file = writeFile (home.presets(), "Mine.brlm", presetText (paramXml ("rate", "3"), " name=\"Mine\""));
    ASSERT_TRUE (processor.presetManager.loadFile (file));
    ASSERT_EQ (processor.presetManager.currentUserFile(), file);

    BrellumProcessor other;
    restore (other, stateOf (processor));
    EXPECT_EQ (other.presetManager.getCurrentIndex(), 20);
    EXPECT_EQ (other.presetManager.currentUserFile(), file) << "found again by its name at its position";

    setValue (other, "rate", 7.0f);
    EXPECT_EQ (other.presetManager.quickSave(), br::PresetManager::QuickSave::saved);
    ASSERT_TRUE (processor.presetManager.loadFile (file));
    EXPECT_EQ (valuesOf (processor).at ("rate"), 7.0f);
}
