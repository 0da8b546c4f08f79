#include "presets/SafeXml.h"
#include "support/ModelHelpers.h"

#include <gtest/gtest.h>

#include "support/TestHome.h"

#include <algorithm>

namespace
{
std::unique_ptr<juce::XmlElement> read (const std::string& text)
{
    return br::parseXmlSafely (text.data(), text.size());
}

bool safe (const std::string& text) { return read (text) != nullptr; }

/** What juce::XmlDocument, which read our documents before, builds from the same text. */
std::unique_ptr<juce::XmlElement> frameworkTree (const std::string& text)
{
    return juce::parseXML (juce::String::fromUTF8 (text.data(), int (text.size())));
}

void expectSameTree (const juce::XmlElement& ours, const juce::XmlElement* theirs)
{
    ASSERT_NE (theirs, nullptr);
    EXPECT_TRUE (ours.isEquivalentTo (theirs, false))
        << "ours:\n" << ours.toString() << "\nthe framework's:\n" << theirs->toString();
}

/** The children of an element, one a line: tags in angle brackets, texts quoted. */
std::string childrenOf (const juce::XmlElement& element)
{
    std::string list;
    for (auto* child : element.getChildIterator())
        list += (child->isTextElement() ? "\"" + child->getText() + "\"" : "<" + child->getTagName() + ">").toStdString() + "\n";
    return list;
}

std::string nested (int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}

struct Case
{
    const char* what;
    std::string text;
};
} // namespace

TEST (SafeXml, AcceptsWhatWeWriteAndOrdinaryXml)
{
    BrellumProcessor processor;
    br::test::setValues (processor, br::test::unusualValues());
    processor.presetManager.setCurrent ({ juce::CharPointer_UTF8 ("Tom & \"Jerry\" <3> '\xc3\x9c' \t\n"), 21, {} });
    const auto state = br::test::textOf (br::test::stateOf (processor));

    juce::XmlElement preset ("BrellumPreset");
    preset.setAttribute ("name", juce::CharPointer_UTF8 ("\xc3\x9cn\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9 \xe2\x88\x91 \xf0\x9f\x8e\x9b"));
    preset.addChildElement (processor.presetManager.captureState().createXml().release());

    const Case cases[] {
        { "our state", state.toStdString() },
        { "our preset file", preset.toString().toStdString() },
        { "self-closing root", "<a/>" },
        { "declaration, comments and instructions around the root",
          "<?xml version=\"1.0\"?>\n<!-- c --><?pi x?>\n<a>t</a>\n<!-- after -->\n" },
        { "single quotes and spaces around =", "<a x = 'one' y=\"two\"/>" },
        { "entities and character references", "<a x=\"&amp;&lt;&gt;&quot;&apos;&#65;&#x1F39B;\">&#10;&amp;</a>" },
        { "CDATA, comments and instructions in content", "<a><![CDATA[<not a tag>]]><!-- <b> --><?pi?></a>" },
        { "an instruction before markup", "<a>t<?p?> <!-- c --><?q?>\n<b/>t<?r?><![CDATA[x]]><?s?></a>" },
        { "text with > and ]]", "<a>1 > 0 ]] x</a>" },
        { "names with : . - _ and digits", "<ns:a-1 b.c_2=\"x\"></ns:a-1>" },
        { "64 levels", nested (64) },
        { "line breaks and tabs in attribute values, as written and as references",
          "<a x=\"one\r\ntwo\tthree\n&amp;\" y='&#10;&#9;&#13;' z=\" \r \"/>" },
        { "text around comments, CDATA and elements",
          "<a> x <!-- c --> y\r\n<![CDATA[ z\r\n ]]> <b> </b> \r\n w &#32;<c/>&#10;</a>" },
        { "an empty CDATA section", "<a><![CDATA[]]></a>" },
        { "white space before the declaration", "\r\n <?xml version=\"1.0\"?><a/>" },
        { "a declaration naming another encoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a x=\"\xc3\xa9\"/>" },
        { "non-ASCII text and attribute values", "<a x=\"\xe2\x88\x91\">\xf0\x9f\x8e\x9b \xc2\xa0</a>" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto ours = read (c.text);
        ASSERT_NE (ours, nullptr);
        expectSameTree (*ours, frameworkTree (c.text).get());
    }
}

TEST (SafeXml, ReadsTextAfterAnInstructionInContent)
{
    // The framework's parser never returns on these (it skips the instruction, finds
    // text, rolls back to the instruction to read the text from there and stops at its
    // '<' again), so they were refused. An instruction ends a text run, as a tag does.
    const struct
    {
        const char* what;
        std::string text, children;
    } cases[] {
        { "text after an instruction in content", "<a><?p?>t</a>", "\"t\"\n" },
        { "text after an instruction, a comment and space", "<a><b/><?p?><!-- c --> t</a>", "<b>\n\" t\"\n" },
        { "a reference after an instruction", "<a><?p?>&amp;</a>", "\"&\"\n" },
        { "text on both sides", "<a>x<?p?>y</a>", "\"x\"\n\"y\"\n" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto xml = read (c.text);
        ASSERT_NE (xml, nullptr);
        EXPECT_EQ (childrenOf (*xml), c.children);
    }
}

TEST (SafeXml, RejectsDeclarationsDepthSizeAndMalformedText)
{
    std::string manyAttributes = "<a";
    for (int i = 0; i < 65; ++i)
        manyAttributes += " x" + std::to_string (i) + "=\"1\"";
    manyAttributes += "/>";

    const Case cases[] {
        { "external entity", "<!DOCTYPE a SYSTEM \"/dev/zero\"><a>&x;</a>" },
        { "internal entities", "<!DOCTYPE a [<!ENTITY x \"&y;&y;\"><!ENTITY y \"&x;\">]><a>&x;</a>" },
        { "lower-case doctype", "<!doctype a><a/>" },
        { "declaration in content", "<a><!ENTITY x \"y\"></a>" },
        { "unknown entity", "<a>&x;</a>" },
        { "unknown entity in an attribute", "<a b=\"&x;\"/>" },
        { "entity without semicolon", "<a>&amp</a>" },
        { "character reference past Unicode", "<a>&#x110000;</a>" },
        { "character reference past Unicode in an attribute", "<a b=\"&#1;&#1114112;\"/>" },
        { "a raw control character beside a reference to one", "<a>&#1;\x01</a>" },
        { "a reference to a control character in a tag name", "<a&#1;/>" },
        { "a reference to a control character in a DOCTYPE", "<!DOCTYPE a [<!ENTITY x \"&#1;\">]><a/>" },
        { "65 levels", nested (65) },
        { "100 000 levels", nested (100000) },
        { "65 attributes", manyAttributes },
        { "empty", "" },
        { "text only", "hello" },
        { "unclosed", "<a><b></b>" },
        { "mismatched close", "<a><b></a></b>" },
        { "two roots", "<a/><b/>" },
        { "text after the root", "<a/>x" },
        { "unterminated comment", "<a><!-- </a>" },
        { "unterminated CDATA", "<a><![CDATA[ </a>" },
        { "< in an attribute", "<a b=\"<\"/>" },
        { "unquoted attribute", "<a b=1/>" },
        { "attribute without value", "<a b/>" },
        { "space before the tag name", "< a/>" },
        { "non-ASCII tag name", "<\xc3\xa4/>" },
        { "invalid UTF-8", "<a>\xff</a>" },
        { "overlong UTF-8", "<a>\xc0\xbc</a>" },
        { "UTF-8 surrogate", "<a>\xed\xa0\x80</a>" },
        { "truncated UTF-8", "<a/>\xe2\x82" },
        { "a DOCTYPE after a comment", "<!-- c --><!DOCTYPE a><a/>" },
        { "an external parameter entity", "<!DOCTYPE a [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]><a/>" },
        { "an external entity in an attribute", "<!DOCTYPE a [<!ENTITY x SYSTEM \"/dev/zero\">]><a b=\"&x;\"/>" },
        { "non-ASCII attribute name", "<a \xc3\xa4=\"1\"/>" },
        { "a self-closing 65th level", nested (64).insert (64 * 3, "<b/>") },
        { "a UTF-16 byte-order mark", "\xff\xfe<a/>" },
        { "a second byte-order mark", "\xef\xbb\xbf\xef\xbb\xbf<a/>" },
        // Not XML, though the framework's parser took them.
        { "a control character", "<a>\x01</a>" },
        { "a duplicate attribute", "<a x=\"1\" x=\"2\"/>" },
        { "a name starting with a digit", "<1a/>" },
        { "-- inside a comment", "<a><!-- a -- b --></a>" },
        { "]]> in text", "<a>]]></a>" },
        { "a declaration after the root's start", "<a><?xml version=\"1.0\"?></a>" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_FALSE (safe (c.text));
    }
}

TEST (SafeXml, CapsTheSizeAtOneMegabyte)
{
    const std::string head = "<a>", tail = "</a>";
    const auto fill = [&] (size_t total) { return head + std::string (total - head.size() - tail.size(), 'x') + tail; };

    EXPECT_TRUE (safe (fill (size_t (1) << 20)));
    EXPECT_FALSE (safe (fill ((size_t (1) << 20) + 1)));
}

TEST (SafeXml, TextEndsAtTheFirstNulAndMayStartWithAByteOrderMark)
{
    const std::string withNul ("<a x=\"1\"/>\0garbage", 18);
    const auto parsed = br::parseXmlSafely (withNul.data(), withNul.size());
    ASSERT_NE (parsed, nullptr);
    EXPECT_EQ (parsed->getIntAttribute ("x"), 1);

    const std::string withBom = "\xef\xbb\xbf<a/>";
    EXPECT_NE (br::parseXmlSafely (withBom.data(), withBom.size()), nullptr);
}

TEST (SafeXml, ParsesTheSameStructureItChecked)
{
    const std::string text = "<r a='1'><!-- <x> --><b>&lt;c&gt;</b><![CDATA[<d/>]]><?p <e/>?><f g=\"&amp;\"/></r>";
    const auto xml = br::parseXmlSafely (text.data(), text.size());
    ASSERT_NE (xml, nullptr);

    juce::StringArray tags;
    for (auto* child : xml->getChildIterator())
        tags.add (child->isTextElement() ? "#text" : child->getTagName());

    EXPECT_EQ (tags, juce::StringArray ({ "b", "#text", "f" }));
    EXPECT_EQ (xml->getChildByName ("b")->getAllSubText(), "<c>");
    EXPECT_EQ (xml->getChildByName ("f")->getStringAttribute ("g"), "&");
}

TEST (SafeXml, NumbersFromDocumentsAreFiniteAndIntegersSaturate)
{
    juce::XmlElement e ("e");
    const struct
    {
        const char* text;
        double expected;
    } doubles[] { { "1.25", 1.25 },       { "nan", 7.0 },          { "-inf", 7.0 },
                  { "1e999", 7.0 },       { "abc", 0.0 },          { "2.5e+1", 25.0 },
                  // Exponents of ten and more digits, which overflow the framework's reader.
                  { "1e9999999999", 7.0 }, { "-1e9999999999", 7.0 }, { "1e-9999999999", 0.0 },
                  { "3e00000000000000002", 300.0 }, { "1.5e123456789012345678", 7.0 } };

    for (const auto& c : doubles)
    {
        SCOPED_TRACE (c.text);
        e.setAttribute ("d", c.text);
        EXPECT_EQ (br::finiteDoubleAttribute (e, "d", 7.0), c.expected);
    }
    EXPECT_EQ (br::finiteDoubleAttribute (e, "missing", 7.0), 7.0);

    const struct
    {
        const char* text;
        int expected;
    } ints[] { { "5", 5 }, { " -1", -1 }, { "12abc", 12 }, { "abc", 0 },
               { "99999999999999999999", 2147483647 }, { "-99999999999999999999", -2147483647 - 1 } };

    for (const auto& c : ints)
    {
        SCOPED_TRACE (c.text);
        e.setAttribute ("i", c.text);
        EXPECT_EQ (br::intAttribute (e, "i", -7), c.expected);
    }
    EXPECT_EQ (br::intAttribute (e, "missing", -7), -7);
}

namespace
{
int depthOf (const juce::XmlElement& element)
{
    int deepest = 0;
    for (auto* child : element.getChildIterator())
        deepest = std::max (deepest, depthOf (*child));
    return deepest + 1;
}
} // namespace

TEST (SafeXml, WhatItAcceptsReadsAsTheFrameworkReadsIt)
{
    // Deterministic mutants of a real state document: whatever the reader accepts, the
    // framework's parser (which read our documents before) reads to the same tree, unless
    // it holds an instruction inside the root, on which that parser may never return.
    BrellumProcessor processor;
    br::test::setValues (processor, br::test::unusualValues());
    const auto seed = br::test::textOf (br::test::stateOf (processor)).toStdString();
    const std::string alphabet = "<>/&;\"'=!?-[]x #\n";

    juce::Random random (42);
    int accepted = 0;

    for (int round = 0; round < 3000; ++round)
    {
        auto text = seed;
        for (int edits = 1 + random.nextInt (4); --edits >= 0;)
        {
            const auto at = size_t (random.nextInt (int (text.size())));
            switch (random.nextInt (3))
            {
                case 0: text.insert (at, 1, alphabet[size_t (random.nextInt (int (alphabet.size())))]); break;
                case 1: text.erase (at, size_t (random.nextInt (8))); break;
                default: text.insert (at, text.substr (at, size_t (random.nextInt (64)))); break;
            }
        }

        const auto ours = read (text);
        if (ours == nullptr)
            continue;

        ++accepted;
        SCOPED_TRACE (text);
        EXPECT_LE (depthOf (*ours), br::XmlLimits().maxDepth);
        if (text.find ("<?", 1) == std::string::npos)
            expectSameTree (*ours, frameworkTree (text).get());
    }

    EXPECT_GT (accepted, 100);
}

TEST (SafeXml, CapsEachAttributeValueAtSixteenKilobytes)
{
    // The length as written counts, references and all: the framework's parser, which
    // read these documents before, copied an attribute's text once per reference in it.
    const auto attribute = [] (const std::string& value) { return "<a b=\"" + value + "\"/>"; };
    std::string references;
    while (references.size() < 16384)
        references += "&amp;";
    references.resize (16380);

    EXPECT_TRUE (safe (attribute (std::string (16384, 'x'))));
    EXPECT_FALSE (safe (attribute (std::string (16385, 'x'))));
    EXPECT_TRUE (safe (attribute (references)));
    EXPECT_FALSE (safe (attribute (references + "&amp;")));

    // References to characters XML forbids count as written too, however they are read.
    std::string forbidden, privateUse;
    for (int i = 0; i < 4096; ++i)
        forbidden += "&#1;";
    for (int i = 0; i < 4095; ++i)
        privateUse += "\xf4\x8f\x80\x81";

    EXPECT_TRUE (safe (attribute (forbidden)));
    EXPECT_FALSE (safe (attribute (forbidden + "x")));
    EXPECT_TRUE (safe (attribute (privateUse + "&#1;")));
    EXPECT_FALSE (safe (attribute (privateUse + "&#1;x")));
    EXPECT_TRUE (safe ("<a>" + std::string (100000, 'x') + "</a>")) << "text content is read in one go";
}

TEST (SafeXml, NamesWithCharactersXmlForbidsReadBackFromWhatWeWrote)
{
    // The framework's writer puts a control character pasted into a preset name, or a
    // noncharacter, as a reference XML forbids ("&#1;"). Preset files and states that
    // hold one must read back as the framework's parser read them. U+10F001 and
    // U+10F400 belong to the block the reader borrows for such references.
    const auto nameWith = [] (std::initializer_list<juce::juce_wchar> characters)
    {
        juce::String name ("n");
        for (const auto c : characters)
            name += juce::String::charToString (c) + "x";
        return name;
    };

    const struct
    {
        const char* what;
        juce::String name;
    } cases[] {
        { "start of heading", nameWith ({ 0x01 }) },
        { "a terminal colour sequence", nameWith ({ 0x1b, '[', '3', '1', 'm' }) },
        { "vertical tab and form feed", nameWith ({ 0x0b, 0x0c }) },
        { "U+FFFE and U+FFFF", nameWith ({ 0xfffe, 0xffff }) },
        { "a surrogate", nameWith ({ 0xd800 }) },
        { "every control but tab and line ends", nameWith ({ 0x02, 0x03, 0x07, 0x08, 0x0e, 0x1f }) },
        { "private-use characters alone", nameWith ({ 0x10f001, 0x10f400, 0x10ffff }) },
        { "private-use characters beside controls", nameWith ({ 0x10f001, 0x01, 0x10f400, 0x1b, 0x10f01b }) },
    };

    br::test::TestHome home;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        BrellumProcessor processor;
        processor.presetManager.setCurrent ({ c.name, 21, {} });
        const auto state = br::test::stateOf (processor);
        const auto stateText = br::test::textOf (state).toStdString();

        const auto file = home.presets().getChildFile (c.name + ".brlm");
        ASSERT_TRUE (processor.presetManager.saveToFile (file));
        const auto fileText = file.loadFileAsString().toStdString();

        for (const auto& text : { stateText, fileText })
        {
            const auto ours = read (text);
            ASSERT_NE (ours, nullptr) << text;
            expectSameTree (*ours, frameworkTree (text).get());
        }

        BrellumProcessor restored;
        restored.setStateInformation (state.getData(), int (state.getSize()));
        EXPECT_EQ (restored.presetManager.getCurrentName(), c.name);

        BrellumProcessor loader;
        ASSERT_TRUE (loader.presetManager.loadFile (file));
        EXPECT_EQ (loader.presetManager.getCurrentName(), c.name);
    }
}

TEST (SafeXml, ReadsReferencesToCharactersXmlForbidsAsTheFrameworkDoes)
{
    const Case cases[] {
        { "NUL, which reads as nothing", "<a x=\"1&#0;2\">3&#0;4</a>" },
        { "NUL alone", "<a x=\"&#0;\"><b/>&#0;</a>" },
        { "controls in decimal and hexadecimal", "<a x=\"&#1;&#x1b;&#x1F;\">&#8;&#x7f;&#27;</a>" },
        { "text that is only a vertical tab or a form feed", "<a>&#11;<b/>&#12; &#1;</a>" },
        { "U+FFFE, U+FFFF and surrogates", "<a x=\"&#65534;&#xFFFF;\">&#xD800;&#57343;&#xdbff;</a>" },
        { "leading zeros", "<a x=\"&#0000001;&#x00001b;\"/>" },
        { "line breaks and tabs kept beside them", "<a x=\"\t&#1;\r\n&#0;&#x1b;&#10;\"/>" },
        { "single quotes", "<a x='&#1;\"'/>" },
        { "entities between them", "<a x=\"&#1;&amp;&#2;&lt;\">&gt;&#3;&quot;</a>" },
        { "private-use characters, raw and as references, beside them",
          "<a x=\"\xf4\x8f\x80\x81&#1;&#x10F400;\xf4\x8f\x90\x80\">"
          "&#1110017;\xf4\x8f\xbf\xbf&#2;\xf4\x8f\x80\x82</a>" },
        { "private-use characters raw beside line breaks in a value", "<a x=\"\xf4\x8f\x80\x81\n&#1;&#x10f001;\"/>" },
        { "comments, CDATA and instructions keep what they hold",
          "<?p &#1;?><!-- &#1; \xf4\x8f\x80\x81 --><a><!-- &#2; --><![CDATA[&#3; &#x10f001; \xf4\x8f\x80\x81]]>"
          "&#5;<b x=\"&#6;\"/></a><!-- &#7; --><?q &#4;?>" },
        { "a CDATA section holding markup", "<a><![CDATA[<b x=\"&#1;\"> ]] > &#2;]]>&#3;</a>" },
        { "markup characters in a value", "<a x=\"&#1;>\" y='-->]]>?>&#2;\"'/>" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto ours = read (c.text);
        ASSERT_NE (ours, nullptr);
        expectSameTree (*ours, frameworkTree (c.text).get());
    }

    // What that tree holds, for the cases the comparison alone would not pin down.
    EXPECT_EQ (read (cases[0].text)->getStringAttribute ("x"), "12");
    EXPECT_EQ (read (cases[0].text)->getAllSubText(), "34");
    const auto kept = read ("<a><!-- &#1; --><![CDATA[&#3; \xf4\x8f\x80\x81]]>&#5;</a>");
    ASSERT_NE (kept, nullptr);
    EXPECT_EQ (kept->getChildElement (0)->getText(), juce::CharPointer_UTF8 ("&#3; \xf4\x8f\x80\x81"));
    EXPECT_EQ (kept->getChildElement (1)->getText(), juce::String::charToString (5));
    // The framework's parser may never return on an instruction inside the root.
    const auto afterInstruction = read ("<a><?q &#4;?>&#5;</a>");
    ASSERT_NE (afterInstruction, nullptr);
    EXPECT_EQ (afterInstruction->getAllSubText(), juce::String::charToString (5));
    const auto privateUse = read ("<a x=\"&#x10F001;&#1;\xf4\x8f\x90\x80\"/>");
    ASSERT_NE (privateUse, nullptr);
    EXPECT_EQ (privateUse->getStringAttribute ("x"),
               juce::String::charToString (0x10f001) + juce::String::charToString (1)
                   + juce::String::charToString (0x10f400));
}
