#include "presets/ParameterBlockCases.h"
#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cmath>

using namespace br::test;

namespace
{
class PresetFileTest : public testing::Test
{
protected:
    TestHome home;
    BrellumProcessor processor;
    br::PresetManager& manager = processor.presetManager;

    juce::File preset (const juce::String& text) { return writeFile (home.presets(), "Test.brlm", text); }
};
} // namespace

TEST_F (PresetFileTest, RoundTripsEveryParameter)
{
    setValues (processor, unusualValues());
    const auto saved = valuesOf (processor);
    const auto file = home.presets().getChildFile ("All.brlm");
    ASSERT_TRUE (manager.saveToFile (file));

    manager.loadDefaults();
    ASSERT_NE (valuesOf (processor), saved);
    ASSERT_TRUE (manager.loadFile (file));

    EXPECT_EQ (valuesOf (processor), saved);
    EXPECT_EQ (manager.getCurrentName(), "All");
}

TEST_F (PresetFileTest, IsWrittenInTheDocumentedLayout)
{
    setValues (processor, unusualValues());
    const auto file = home.presets().getChildFile ("Layout.brlm");
    ASSERT_TRUE (manager.saveToFile (file));

    const auto text = file.loadFileAsString();
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));
    EXPECT_TRUE (text.contains ("\r\n  <Parameters>"));

    const auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "BrellumPreset");
    ASSERT_EQ (xml->getNumAttributes(), 2);
    EXPECT_EQ (xml->getAttributeName (0), "name");
    EXPECT_EQ (xml->getAttributeValue (0), "Layout");
    EXPECT_EQ (xml->getAttributeName (1), "version");
    EXPECT_EQ (xml->getAttributeValue (1), BR_VERSION_STRING);
    ASSERT_EQ (xml->getNumChildElements(), 1);

    // The block is exactly the parameter tree's own copy.
    EXPECT_TRUE (xml->getChildElement (0)->isEquivalentTo (processor.parameters.copyState().createXml().get(), false));
}

TEST_F (PresetFileTest, TheBlockIsTheParameterTreeInItsOwnOrderAndFormat)
{
    setValues (processor, unusualValues());
    EXPECT_EQ (manager.captureState().toXmlString(), processor.parameters.copyState().toXmlString());
}

TEST_F (PresetFileTest, AcceptsTheRootTagInAnyCaseAndIgnoresTheVersion)
{
    const juce::String texts[] {
        presetText (paramXml ("rate", "2"), " name=\"x\"", "brellumpreset"),
        presetText (paramXml ("rate", "2"), " name=\"x\" version=\"0.9\""),
        presetText (paramXml ("rate", "2"), " name=\"x\" version=\"7.0\" extra=\"1\""),
        "<BrellumPreset name=\"x\"><parameters>" + paramXml ("rate", "2") + "</parameters><Parameters/></BrellumPreset>",
    };

    for (const auto& text : texts)
    {
        SCOPED_TRACE (text);
        manager.loadDefaults();
        ASSERT_TRUE (manager.loadFile (preset (text)));
        EXPECT_EQ (valuesOf (processor).at ("rate"), 2.0f);
    }
}

TEST_F (PresetFileTest, ParametersANamedFileDoesNotMentionGoToTheirDefaults)
{
    BrellumProcessor fresh;
    setValues (processor, unusualValues());
    ASSERT_TRUE (manager.loadFile (preset (presetText (paramXml ("rate", "2")))));

    auto expected = valuesOf (fresh);
    expected["rate"] = 2.0f;
    EXPECT_EQ (valuesOf (processor), expected);
}

TEST_F (PresetFileTest, ReadsEachValueByTheReadingRules)
{

    for (const auto& c : parameterBlockCases())
    {
        SCOPED_TRACE (c.what);
        setValues (processor, unusualValues());
        ASSERT_TRUE (manager.loadFile (preset (presetText (c.params))));

        const auto value = valuesOf (processor).at (c.id);
        EXPECT_TRUE (std::isfinite (value));
        EXPECT_FLOAT_EQ (value, std::isnan (c.expected) ? defaultOf (processor, c.id) : c.expected);
    }
}

TEST_F (PresetFileTest, APresetBlockServesAsAStateBlockAndBack)
{
    setValues (processor, unusualValues());
    const auto file = home.presets().getChildFile ("Swap.brlm");
    ASSERT_TRUE (manager.saveToFile (file));
    const auto saved = valuesOf (processor);

    // Preset block into a state document.
    const auto presetXml = juce::parseXML (file);
    BrellumProcessor other;
    restore (other, envelope ("<BrellumState>" + presetXml->getChildElement (0)->toString (juce::XmlElement::TextFormat().withoutHeader()) + "</BrellumState>"));
    EXPECT_EQ (valuesOf (other), saved);

    // State block into a preset file.
    const auto stateXml = juce::parseXML (textOf (stateOf (other)));
    manager.loadDefaults();
    ASSERT_TRUE (manager.loadFile (preset ("<BrellumPreset>" + stateXml->getChildElement (0)->toString (juce::XmlElement::TextFormat().withoutHeader()) + "</BrellumPreset>")));
    EXPECT_EQ (valuesOf (processor), saved);
}

//==============================================================================
// Hostile files: what a parser that follows entities or recurses per level would choke on.

TEST_F (PresetFileTest, AnExternalEntityIsNeverFollowed)
{
    // A parser that follows external entities opens /dev/zero for this one and never
    // comes back (the framework's does).
    const auto text = juce::String ("<?xml version=\"1.0\"?>\n<!DOCTYPE BrellumPreset SYSTEM \"/dev/zero\">\n")
                      + "<BrellumPreset name=\"&x;\"><Parameters>" + paramXml ("rate", "2") + "</Parameters></BrellumPreset>";
    manager.loadFactory (2);
    const auto before = valuesOf (processor);

    EXPECT_FALSE (manager.loadFile (preset (text)));
    EXPECT_EQ (valuesOf (processor), before);
    EXPECT_EQ (manager.getCurrentName(), "Deep Tremolo");
}

TEST_F (PresetFileTest, DeepNestingIsRejectedBeforeItCanExhaustTheStack)
{
    // 100 000 levels: one stack frame pair per level in a recursive parser such as the framework's.
    juce::MemoryOutputStream text;
    text << "<BrellumPreset><Parameters>";
    for (int i = 0; i < 100000; ++i)
        text << "<a>";
    for (int i = 0; i < 100000; ++i)
        text << "</a>";
    text << "</Parameters></BrellumPreset>";

    manager.loadFactory (2);
    EXPECT_FALSE (manager.loadFile (preset (text.toString())));
    EXPECT_EQ (manager.getCurrentName(), "Deep Tremolo");
}

TEST_F (PresetFileTest, DevicesAndPipesAreNotOpened)
{
    const auto fifo = home.presets().getChildFile ("Pipe.brlm");
    home.presets().createDirectory();
    ASSERT_EQ (::mkfifo (fifo.getFullPathName().toRawUTF8(), 0600), 0);

    manager.loadFactory (2);
    EXPECT_FALSE (manager.loadFile (juce::File ("/dev/zero")));
    EXPECT_FALSE (manager.loadFile (fifo)); // opening it would wait for a writer forever
    EXPECT_EQ (manager.getCurrentName(), "Deep Tremolo");
}

TEST_F (PresetFileTest, AFileLargerThanAnyPresetIsRejected)
{
    const auto padding = juce::String::repeatedString ("<!-- padding padding padding padding -->\n", 30000);
    ASSERT_GT (padding.getNumBytesAsUTF8(), size_t (1) << 20);

    manager.loadFactory (2);
    EXPECT_FALSE (manager.loadFile (preset (presetText (paramXml ("rate", "2")) + padding)));
    EXPECT_EQ (manager.getCurrentName(), "Deep Tremolo");
}
