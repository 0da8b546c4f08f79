#include "presets/ParameterBlockCases.h"
#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace br::test;

// Documents that a host, a damaged disk or a malicious download may hand us. Each is
// either dropped, changing nothing, or read with the documented fallbacks; none may
// hang, crash or leave a non-finite parameter. The plainer faults (wrong magic, DOCTYPE,
// deep nesting, non-finite values) are covered beside the readers themselves.

namespace
{
constexpr size_t hundredMegabytes = size_t (100) << 20;

juce::MemoryBlock withHeader (juce::uint32 magic, juce::uint32 length, const void* text, size_t numBytes)
{
    juce::MemoryOutputStream out;
    out.writeInt (int (magic));
    out.writeInt (int (length));
    out.write (text, numBytes);
    return out.getMemoryBlock();
}

/** Raw bytes, so that no string class repairs them on the way. */
std::string withByteAt (std::string text, size_t position, char byte)
{
    text[position] = byte;
    return text;
}

juce::MemoryBlock rawEnvelope (const std::string& text)
{
    return withHeader (0x21324356, juce::uint32 (text.size()), text.c_str(), text.size() + 1);
}

juce::MemoryBlock garbage (size_t numBytes, juce::int64 seed)
{
    juce::MemoryBlock bytes (numBytes);
    juce::Random random (seed);
    random.fillBitsRandomly (bytes.getData(), numBytes);
    return bytes;
}

/** `text` in UTF-16, as an editor might save it, with or without a byte-order mark. */
juce::MemoryBlock utf16 (const juce::String& text, bool bigEndian, bool withMark)
{
    juce::MemoryOutputStream out;
    if (withMark)
        out.write (bigEndian ? "\xfe\xff" : "\xff\xfe", 2);
    for (auto p = text.toUTF16(); ! p.isEmpty();)
    {
        const auto unit = juce::uint16 (*p.getAddress());
        ++p;
        bigEndian ? out.writeShortBigEndian (short (unit)) : out.writeShort (short (unit));
    }
    return out.getMemoryBlock();
}

const juce::String validState = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><BrellumState presetName=\"Taken\" "
                                "presetIndex=\"3\"><Parameters>"
                                + paramXml ("rate", "5") + "</Parameters></BrellumState>";

/** A processor with nothing at its starting value, and its state for comparison. */
struct Prepared
{
    BrellumProcessor processor;
    juce::MemoryBlock before;

    Prepared()
    {
        processor.setCurrentProgram (15);
        processor.selectSetup (1);
        setValues (processor, unusualValues());
        processor.uiScale.store (1.25f);
        before = stateOf (processor);
    }

    bool unchanged() { return stateOf (processor) == before; }
};

void expectAllFinite (BrellumProcessor& processor)
{
    for (const auto& [id, value] : valuesOf (processor))
    {
        SCOPED_TRACE (id);
        EXPECT_TRUE (std::isfinite (value));
    }
    EXPECT_TRUE (std::isfinite (processor.uiScale.load()));
}
} // namespace

TEST (HostileState, UnreadableBlobsChangeNothing)
{
    const auto validText = validState.toStdString();
    const auto valid = envelope (validState);
    juce::MemoryBlock hugeDocument;
    {
        juce::MemoryOutputStream text (hugeDocument, false);
        text << "<BrellumState presetName=\"Huge\">";
        text << juce::String::repeatedString ("<!-- padding padding padding padding padding -->", 2200000);
        text << "</BrellumState>";
    }
    ASSERT_GT (hugeDocument.getSize(), hundredMegabytes);
    const auto hugeGarbage = garbage (hundredMegabytes, 1);

    auto lengthField = [&] (juce::uint32 length)
    { return withHeader (0x21324356, length, validText.data(), validText.size() + 1); };

    const struct
    {
        const char* what;
        juce::MemoryBlock blob;
    } cases[] {
        { "a 100 MB document", withHeader (0x21324356, juce::uint32 (hugeDocument.getSize()), hugeDocument.getData(),
                                            hugeDocument.getSize()) },
        { "100 MB of garbage behind the magic", withHeader (0x21324356, juce::uint32 (hundredMegabytes),
                                                              hugeGarbage.getData(), hugeGarbage.getSize()) },
        { "garbage behind the magic", withHeader (0x21324356, 4096, garbage (4096, 2).getData(), 4096) },
        { "garbage that starts like a document",
          [] {
              juce::MemoryOutputStream text;
              text << "<BrellumState presetName=\"";
              text.write (garbage (4096, 3).getData(), 4096);
              return envelope (text.toString());
          }() },
        { "length field 0xffffffff", lengthField (0xffffffffu) },
        { "length field 0x80000000", lengthField (0x80000000u) },
        { "length field 1", lengthField (1) },
        { "length field one short of the root's end", lengthField (juce::uint32 (validText.size() - 1)) },
        { "UTF-16 LE with a mark", [] {
              auto text = utf16 (validState, false, true);
              return withHeader (0x21324356, juce::uint32 (text.getSize()), text.getData(), text.getSize());
          }() },
        { "UTF-16 BE with a mark", [] {
              auto text = utf16 (validState, true, true);
              return withHeader (0x21324356, juce::uint32 (text.getSize()), text.getData(), text.getSize());
          }() },
        { "UTF-16 LE without a mark", [] {
              auto text = utf16 (validState, false, false);
              return withHeader (0x21324356, juce::uint32 (text.getSize()), text.getData(), text.getSize());
          }() },
        { "invalid UTF-8 in a name", rawEnvelope (withByteAt (validText, validText.find ("Taken"), '\xff')) },
        { "a lone UTF-8 continuation byte", rawEnvelope (withByteAt (validText, validText.find ("Taken"), '\x80')) },
        { "an overlong UTF-8 slash", rawEnvelope (std::string (validText).replace (validText.find ("Taken"), 1, "\xc0\xaf")) },
        { "a NUL inside the root", rawEnvelope (withByteAt (validText, validText.find ("Taken"), '\0')) },
        { "the magic of a preset file's text", envelope ("<BrellumPreset name=\"x\"><Parameters/></BrellumPreset>") },
        { "a second root", envelope (validState + "<BrellumState presetName=\"Second\"/>") },
    };

    ASSERT_EQ (lengthField (juce::uint32 (validText.size() + 1)).getSize(), valid.getSize());

    Prepared prepared;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        restore (prepared.processor, c.blob);
        EXPECT_TRUE (prepared.unchanged());
    }
}

TEST (HostileState, LengthFieldsThatStillCoverTheDocumentAreRead)
{
    const auto text = validState.toStdString();

    for (const auto length : { juce::uint32 (text.size()), juce::uint32 (text.size() + 1), 0x7fffffffu })
    {
        SCOPED_TRACE (length);
        BrellumProcessor processor;
        restore (processor, withHeader (0x21324356, length, text.data(), text.size() + 1));
        EXPECT_EQ (processor.presetManager.getCurrentName(), "Taken");
        EXPECT_EQ (valuesOf (processor).at ("rate"), 5.0f);
    }
}

TEST (HostileState, OddParameterBlocksFallBackValueByValue)
{

    for (const auto& c : parameterBlockCases())
    {
        SCOPED_TRACE (c.what);
        BrellumProcessor processor;
        setValues (processor, unusualValues());
        restore (processor, envelope ("<BrellumState><Parameters>" + c.params + "</Parameters>"
                                      "<OtherSetup><Parameters>" + c.params + "</Parameters></OtherSetup></BrellumState>"));

        for (int pass = 0; pass < 2; ++pass) // the live set-up, then the parked one made live
        {
            SCOPED_TRACE (pass == 0 ? "live" : "parked");
            EXPECT_FLOAT_EQ (valuesOf (processor).at (c.id), std::isnan (c.expected) ? defaultOf (processor, c.id)
                                                                                      : c.expected);
            expectAllFinite (processor);
            processor.selectSetup (1);
        }
    }
}

TEST (HostileState, AStateWeWriteIsAlwaysOneWeRead)
{
    // Names and parked blocks come from documents and travel on into the next state,
    // where escaping can make them several times longer than they were read: past the
    // readers' limit for one attribute, or for the whole document. Whatever arrives,
    // the state written afterwards must restore completely.
    const auto quotes = juce::String::repeatedString ("\"", 16000); // six bytes each when written
    const auto accents = juce::String::repeatedString (juce::CharPointer_UTF8 ("\xc3\xa9"), 8000); // six too
    juce::String junk;
    for (int i = 0; i < 5000; ++i)
        junk << "<Junk a=\"" << juce::String::repeatedString (">", 80) << "\"/>";

    const struct
    {
        const char* what;
        juce::String text;
    } cases[] {
        { "live name of quotes", "<BrellumState presetName='" + quotes + "'/>" },
        { "parked name of accents", "<BrellumState><OtherSetup presetName=\"" + accents + "\"/></BrellumState>" },
        { "both names long", "<BrellumState presetName='" + quotes + "'><OtherSetup presetName=\"" + accents
                                 + "\"/></BrellumState>" },
        { "a parked block full of junk", "<BrellumState><OtherSetup><Parameters>" + paramXml ("mix", "33") + junk
                                             + "</Parameters></OtherSetup></BrellumState>" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto document = envelope (c.text);
        ASSERT_LT (document.getSize(), size_t (1) << 20) << "the document itself must be readable";

        BrellumProcessor first;
        restore (first, document);
        const auto written = stateOf (first);

        BrellumProcessor second;
        restore (second, written);
        EXPECT_EQ (stateOf (second), written);

        second.selectSetup (1);
        first.selectSetup (1);
        EXPECT_EQ (valuesOf (second), valuesOf (first));
    }
}

//==============================================================================
TEST (HostilePresetFile, UnreadableFilesChangeNothing)
{
    TestHome home;
    BrellumProcessor processor;
    processor.setCurrentProgram (7);
    setValue (processor, "mix", 5.0f);
    const auto before = stateOf (processor);

    const auto valid = presetText (paramXml ("rate", "2"));
    const struct
    {
        const char* what;
        juce::MemoryBlock bytes;
    } cases[] {
        { "UTF-16 LE with a mark", utf16 (valid, false, true) },
        { "UTF-16 BE with a mark", utf16 (valid, true, true) },
        { "invalid UTF-8 in the name", [&] {
              const auto text = presetText (paramXml ("rate", "2"), " name=\"a_b\"").toStdString();
              const auto bytes = withByteAt (text, text.find ("a_b") + 1, '\xff');
              return juce::MemoryBlock (bytes.data(), bytes.size());
          }() },
        { "garbage", garbage (4096, 4) },
        { "garbage after the declaration", [] {
              juce::MemoryOutputStream out;
              out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BrellumPreset>";
              out.write (garbage (4096, 5).getData(), 4096);
              return out.getMemoryBlock();
          }() },
        { "an empty root", [] {
              const std::string text = "<BrellumPreset name=\"Empty\"/>";
              return juce::MemoryBlock (text.data(), text.size());
          }() },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto file = home.presets().getChildFile ("Hostile.brlm");
        home.presets().createDirectory();
        ASSERT_TRUE (file.replaceWithData (c.bytes.getData(), c.bytes.getSize()));
        recordFuzzSeed ("preset_file", c.bytes);

        EXPECT_FALSE (processor.presetManager.loadFile (file));
        EXPECT_EQ (stateOf (processor), before);
    }
}

TEST (HostilePresetFile, AHundredMegabyteFileIsRejectedAfterReadingItsFirstMegabyte)
{
    TestHome home;
    BrellumProcessor processor;
    processor.setCurrentProgram (7);
    const auto before = stateOf (processor);

    // A valid preset at the start, then 100 MB of comment: the reader stops after one
    // megabyte and one byte and drops the file.
    const auto file = home.presets().getChildFile ("Huge.brlm");
    home.presets().createDirectory();
    {
        juce::FileOutputStream out (file);
        ASSERT_TRUE (out.openedOk());
        out << presetText (paramXml ("rate", "2")) << "<!--";
        const juce::MemoryBlock padding (size_t (1) << 20, 'x');
        for (int i = 0; i < 100; ++i)
            out.write (padding.getData(), padding.getSize());
        out << "-->";
    }
    ASSERT_GT (file.getSize(), juce::int64 (hundredMegabytes));

    EXPECT_FALSE (processor.presetManager.loadFile (file));
    EXPECT_EQ (stateOf (processor), before);
    EXPECT_EQ (processor.presetManager.getUserPresets().size(), 1) << "still listed: listing opens no file";
}

TEST (HostilePresetFile, AnEmptyParameterBlockLoadsTheDefaults)
{
    TestHome home;
    BrellumProcessor processor, fresh;
    setValues (processor, unusualValues());

    ASSERT_TRUE (processor.presetManager.loadFile (writeFile (home.presets(), "Blank.brlm", "<BrellumPreset><Parameters/></BrellumPreset>")));
    EXPECT_EQ (valuesOf (processor), valuesOf (fresh));
    EXPECT_EQ (processor.presetManager.getCurrentName(), "Blank");
}

TEST (HostilePresetFile, ALongNameStaysReadableInTheStateItEndsUpIn)
{
    // A name can be as long as one attribute may be; after loading it is part of the
    // state, escaped.
    TestHome home;
    BrellumProcessor processor;
    const auto name = juce::String::repeatedString (">", 16000); // four bytes each when written
    ASSERT_TRUE (processor.presetManager.loadFile (
        writeFile (home.presets(), "Long.brlm", presetText (paramXml ("rate", "2"), " name=\"" + name + "\""))));
    processor.copySetupToOther();

    const auto written = stateOf (processor);
    BrellumProcessor other;
    restore (other, written);
    EXPECT_EQ (stateOf (other), written);
    EXPECT_EQ (other.presetManager.getCurrentName(), processor.presetManager.getCurrentName());
    EXPECT_TRUE (other.presetManager.getCurrentName().startsWith (">>>>"));
}
