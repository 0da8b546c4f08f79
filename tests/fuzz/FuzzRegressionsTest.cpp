#include "fuzz/FuzzChecks.h"
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
