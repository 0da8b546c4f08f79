#pragma once
#include <juce_core/juce_core.h>

namespace br::test
{
/** Points HOME at a fresh temporary folder for the object's lifetime. The framework
    resolves the user's music folder on Linux from HOME (~/.config/user-dirs.dirs, else
    ~/Music) at every call, so preset code under test then works inside this folder and
    never in the real home. Restores the previous HOME and deletes the folder on exit.
    One per test; the whole test run also sits inside one, so a test that forgets it
    still cannot reach the real home. */
class TestHome
{
public:
    TestHome();
    ~TestHome();

    juce::File home() const { return root; }
    /** The music folder the framework resolves for this home (not created). */
    juce::File music() const { return musicFolder; }
    /** music/"Quorvane"/"Presets", the user preset folder (not created). */
    juce::File presets() const { return musicFolder.getChildFile ("Quorvane").getChildFile ("Presets"); }

    /** Names another music folder through ~/.config/user-dirs.dirs, as desktop
        set-ups do, and creates it (the framework ignores a named folder that is missing). */
    void useXdgMusicFolder (const juce::String& relativeToHome);

private:
    juce::File root, musicFolder;
    juce::String previousHome;
    bool hadHome = false;

    JUCE_DECLARE_NON_COPYABLE (TestHome)
};

/** Writes `text` to folder/fileName, creating the folder; returns the file. A preset
    file (".brlm") also becomes a fuzzing seed (FuzzSeeds.h). */
juce::File writeFile (const juce::File& folder, const juce::String& fileName, const juce::String& text);
} // namespace br::test
