#include "fuzz/FuzzChecks.h"
#include "presets/SafeXml.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

// Every input a fuzz target ever broke a promise on is kept under tests/fuzz/regressions
// (one folder per target) and replayed here through the same checks, in every build.

namespace
{
juce::Array<juce::File> inputsFor (const char* target)
{
    return juce::File (BR_FUZZ_REGRESSIONS).getChildFile (target).findChildFiles (juce::File::findFiles, false);
}

template <typename Checker>
void replay (const char* target, Checker& checker)
{
    const auto inputs = inputsFor (target);
    ASSERT_FALSE (inputs.isEmpty()) << "no inputs kept for " << target;

    for (const auto& input : inputs)
    {
        SCOPED_TRACE (input.getFileName());
        juce::MemoryBlock bytes;
        ASSERT_TRUE (input.loadFileAsData (bytes));
        EXPECT_EQ (checker.check (static_cast<const std::uint8_t*> (bytes.getData()), bytes.getSize()), "");
    }
}
} // namespace

TEST (FuzzRegressions, EveryKeptStateInputKeepsItsPromises)
{
    br::fuzz::StateChecker checker;
    replay ("state", checker);
}

TEST (FuzzRegressions, EveryKeptPresetFileInputKeepsItsPromises)
{
    br::test::TestHome home;
    br::fuzz::PresetFileChecker checker (home.presets());
    replay ("preset_file", checker);
}

TEST (FuzzRegressions, EveryKeptTypedNumberInputKeepsItsPromises)
{
    br::fuzz::TypedNumberChecker checker;
    replay ("typed_number", checker);
}

TEST (FuzzRegressions, EveryKeptDocumentIsReadOrRefusedAsBefore)
{
    // What the reader before this one (our own pre-check, then the framework's parser) made
    // of each kept document. The one with text after an instruction was refused by the
    // pre-check to keep the framework's parser from hanging on it; it is still refused,
    // as it is not well-formed either ("]]>" in text, an instruction without a target,
    // a broken declaration).
    const struct
    {
        const char* target;
        const char* name;
        bool read;
    } cases[] {
        { "preset_file", "exponent-of-many-digits", true },
        { "preset_file", "name-longer-than-any-display", true },
        { "preset_file", "text-after-an-instruction-in-content", false },
        { "state", "exponent-of-many-digits", true },
        { "state", "name-written-past-the-attribute-limit", true },
        { "state", "parked-name-of-accents", true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.target) + "/" + c.name);
        juce::MemoryBlock bytes;
        const auto input = juce::File (BR_FUZZ_REGRESSIONS).getChildFile (c.target).getChildFile (c.name);
        ASSERT_TRUE (input.loadFileAsData (bytes));

        // A state is its envelope's text: magic and length first.
        const auto* data = static_cast<const char*> (bytes.getData());
        auto size = bytes.getSize();
        if (juce::String (c.target) == "state")
        {
            ASSERT_GT (size, 8u);
            size = std::min (size - 8, std::size_t (juce::ByteOrder::littleEndianInt (data + 4)));
            data += 8;
        }

        EXPECT_EQ (br::parseXmlSafely (data, size) != nullptr, c.read);
    }
}
