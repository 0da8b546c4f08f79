#include "support/TestHome.h"
#include "support/FuzzSeeds.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace br::test
{
TestHome::TestHome()
{
    if (const char* current = std::getenv ("HOME"))
    {
        hadHome = true;
        previousHome = juce::String::fromUTF8 (current);
    }

    root = juce::File::getSpecialLocation (juce::File::tempDirectory)
               .getNonexistentChildFile ("quorvane-home-" + juce::String::toHexString (juce::Random().nextInt64()), "",
                                         false);
    root.createDirectory();
    musicFolder = root.getChildFile ("Music");
    ::setenv ("HOME", root.getFullPathName().toRawUTF8(), 1);
}

TestHome::~TestHome()
{
    if (hadHome)
        ::setenv ("HOME", previousHome.toRawUTF8(), 1);
    else
        ::unsetenv ("HOME");

    root.deleteRecursively();
}

void TestHome::useXdgMusicFolder (const juce::String& relativeToHome)
{
    musicFolder = root.getChildFile (relativeToHome);
    musicFolder.createDirectory();
    writeFile (root.getChildFile (".config"), "user-dirs.dirs",
               "# written by the tests\nXDG_MUSIC_DIR=\"$HOME/" + relativeToHome + "\"\n");
}

juce::File writeFile (const juce::File& folder, const juce::String& fileName, const juce::String& text)
{
    folder.createDirectory();
    const auto file = folder.getChildFile (fileName);
    file.replaceWithText (text, false, false, "\n");

    if (file.hasFileExtension (".brlm"))
        recordFuzzSeed ("preset_file", text.toRawUTF8(), text.getNumBytesAsUTF8());

    return file;
}

namespace
{
class WholeRunHome : public testing::Environment
{
public:
    void SetUp() override { home = std::make_unique<TestHome>(); }
    void TearDown() override { home.reset(); }

private:
    std::unique_ptr<TestHome> home;
};

[[maybe_unused]] testing::Environment* const wholeRunHome = testing::AddGlobalTestEnvironment (new WholeRunHome);
} // namespace
} // namespace br::test
