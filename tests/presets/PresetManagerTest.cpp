#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>
#include <limits>

using namespace br::test;

namespace
{
constexpr int F = 20;

class PresetManagerTest : public testing::Test
{
protected:
    TestHome home;
    BrellumProcessor processor;
    br::PresetManager& manager = processor.presetManager;

    juce::File userPreset (const juce::String& name, const juce::String& params = paramXml ("rate", "3"))
    {
        return writeFile (home.presets(), name + ".brlm", presetText (params, " name=\"" + name + "\""));
    }

    juce::StringArray listedNames() const
    {
        juce::StringArray names;
        for (const auto& file : manager.getUserPresets())
            names.add (file.getFileNameWithoutExtension());
        return names;
    }

    /** Everything a failed operation must leave alone. */
    struct Snapshot
    {
        Values values;
        juce::String name;
        int index;
        bool modified;

        bool operator== (const Snapshot& other) const
        {
            return values == other.values && name == other.name && index == other.index && modified == other.modified;
        }
    };

    Snapshot snapshot()
    {
        return { valuesOf (processor), manager.getCurrentName(), manager.getCurrentIndex(), processor.modified.load() };
    }
};
} // namespace

//==============================================================================
TEST (PresetFolders, TheTemporaryHomeDecidesTheMusicFolder)
{
    TestHome home;
    EXPECT_EQ (juce::File::getSpecialLocation (juce::File::userMusicDirectory), home.music());
    EXPECT_TRUE (br::PresetManager::userDirectory().isAChildOf (home.home()));

    home.useXdgMusicFolder ("Musik");
    EXPECT_EQ (br::PresetManager::userDirectory(), home.home().getChildFile ("Musik/Quorvane/Presets"));
}

TEST (PresetFolders, WithNoFoldersTheUserFolderIsNamedButNotCreated)
{
    TestHome home;
    const auto folder = br::PresetManager::userDirectory();

    EXPECT_EQ (folder, home.music().getChildFile ("Quorvane/Presets"));
    EXPECT_FALSE (home.music().getChildFile ("Quorvane").exists());
    EXPECT_TRUE (br::PresetManager::legacyDirectories().isEmpty());
}

TEST (PresetFolders, VostleIsMovedBeforeBrellumAndBrellumStaysALegacySource)
{
    TestHome home;
    writeFile (home.music().getChildFile ("Vostle/Presets"), "Old.brlm", presetText ({}));
    writeFile (home.music().getChildFile ("Brellum/Presets"), "old.brlm", presetText ({}));
    writeFile (home.music().getChildFile ("Brellum/Presets"), "Older.brlm", presetText ({}));

    BrellumProcessor processor;
    const auto listed = processor.presetManager.getUserPresets();

    EXPECT_FALSE (home.music().getChildFile ("Vostle").exists());
    EXPECT_TRUE (home.presets().getChildFile ("Old.brlm").existsAsFile());
    EXPECT_TRUE (home.music().getChildFile ("Brellum/Presets/old.brlm").existsAsFile());

    ASSERT_EQ (listed.size(), 2);
    EXPECT_EQ (listed[0], home.presets().getChildFile ("Old.brlm"));
    EXPECT_EQ (listed[1], home.music().getChildFile ("Brellum/Presets/Older.brlm"));
}

TEST (PresetFolders, ALoneBrellumFolderIsMovedAndTheMoveHappensOnlyOnce)
{
    TestHome home;
    writeFile (home.music().getChildFile ("Brellum/Presets"), "Keep.brlm", presetText ({}));

    EXPECT_EQ (br::PresetManager::userDirectory(), home.presets());
    EXPECT_TRUE (home.presets().getChildFile ("Keep.brlm").existsAsFile());

    // A legacy folder that appears later is only read, never moved over our folder.
    writeFile (home.music().getChildFile ("Vostle/Presets"), "Late.brlm", presetText ({}));
    br::PresetManager::userDirectory();
    EXPECT_TRUE (home.music().getChildFile ("Vostle/Presets/Late.brlm").existsAsFile());
    EXPECT_EQ (br::PresetManager::legacyDirectories().size(), 1);
}

TEST_F (PresetManagerTest, ListsByNameIgnoringCase)
{
    for (auto* name : { "cherry", "apple", "Banana" })
        userPreset (name);

    EXPECT_EQ (listedNames(), juce::StringArray ({ "apple", "Banana", "cherry" }));
}

TEST_F (PresetManagerTest, TheUserFolderWinsOverLegacyFoldersAndVostleOverBrellum)
{
    home.presets().createDirectory(); // "Quorvane" exists, so nothing is moved
    userPreset ("Bass");
    writeFile (home.music().getChildFile ("Brellum/Presets"), "bass.brlm", presetText ({}));
    writeFile (home.music().getChildFile ("Vostle/Presets"), "Pad.brlm", presetText ({}));
    writeFile (home.music().getChildFile ("Brellum/Presets"), "PAD.brlm", presetText ({}));

    const auto listed = manager.getUserPresets();

    ASSERT_EQ (listed.size(), 2);
    EXPECT_EQ (listed[0], home.presets().getChildFile ("Bass.brlm"));
    EXPECT_EQ (listed[1], home.music().getChildFile ("Vostle/Presets/Pad.brlm"));
}

TEST_F (PresetManagerTest, ListsOnlyPresetFilesDirectlyInTheFolder)
{
    userPreset ("Top");
    writeFile (home.presets().getChildFile ("Sub"), "Deep.brlm", presetText ({}));
    writeFile (home.presets(), "Notes.txt", "x");
    home.presets().getChildFile ("Folder.brlm").createDirectory();

    EXPECT_EQ (listedNames(), juce::StringArray ({ "Top" }));
}

TEST_F (PresetManagerTest, NamesFollowTheCombinedIndex)
{
    userPreset ("Mine");

    const struct
    {
        int index;
        const char* expected;
    } cases[] { { -5, "Full Reset" }, { 0, "Full Reset" }, { 19, "Stereo Widener" }, { F, "Mine" }, { F + 1, "" } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.index);
        EXPECT_EQ (manager.getPresetName (c.index), c.expected);
    }
}

//==============================================================================
TEST_F (PresetManagerTest, SteppingWrapsAroundTheFactoryPresetsAlone)
{
    manager.loadFactory (19);
    manager.step (+1);
    EXPECT_EQ (manager.getCurrentIndex(), 0);

    manager.step (-1);
    EXPECT_EQ (manager.getCurrentIndex(), 19);
    EXPECT_EQ (manager.getCurrentName(), "Stereo Widener");
}

TEST_F (PresetManagerTest, SteppingRunsThroughUserPresetsAndWraps)
{
    userPreset ("a", paramXml ("rate", "1"));
    userPreset ("b", paramXml ("rate", "2"));
    manager.loadFactory (19);

    const struct
    {
        int offset;
        int index;
        const char* name;
    } steps[] { { +1, F, "a" }, { +1, F + 1, "b" }, { +1, 0, "Full Reset" }, { -1, F + 1, "b" }, { -1, F, "a" } };

    for (const auto& s : steps)
    {
        SCOPED_TRACE (s.name);
        manager.step (s.offset);
        EXPECT_EQ (manager.getCurrentIndex(), s.index);
        EXPECT_EQ (manager.getCurrentName(), s.name);
    }
    EXPECT_EQ (valuesOf (processor).at ("rate"), 1.0f);
}

TEST_F (PresetManagerTest, SteppingFromNoListedPresetLoadsFullResetEitherWay)
{
    for (int offset : { -1, +1 })
    {
        SCOPED_TRACE (offset);
        const auto elsewhere = writeFile (home.home(), "Elsewhere.brlm", presetText (paramXml ("mix", "10")));
        ASSERT_TRUE (manager.loadFile (elsewhere));
        ASSERT_EQ (manager.getCurrentIndex(), -1);

        manager.step (offset);
        EXPECT_EQ (manager.getCurrentIndex(), 0);
        EXPECT_EQ (valuesOf (processor).at ("mix"), 100.0f);
    }
}

TEST_F (PresetManagerTest, SteppingFromAnyRestoredIndexLandsInTheList)
{
    // A state may carry any index; stepping on from the largest must not overflow.
    manager.setCurrent ({ "Restored", std::numeric_limits<int>::max(), {} });
    manager.step (+1);
    EXPECT_EQ (manager.getCurrentIndex(), int ((juce::int64 (std::numeric_limits<int>::max()) + 1) % F));

    manager.setCurrent ({ "Restored", 1000, {} });
    manager.step (-1);
    EXPECT_EQ (manager.getCurrentIndex(), 999 % F);
}

TEST_F (PresetManagerTest, ADamagedFileIsListedButStepsStopInFrontOfIt)
{
    userPreset ("a");
    writeFile (home.presets(), "b.brlm", "<BrellumPreset><Parameters>");
    userPreset ("c");

    EXPECT_EQ (listedNames(), juce::StringArray ({ "a", "b", "c" }));

    manager.step (-1); // from "Full Reset" to the last user preset
    ASSERT_EQ (manager.getCurrentName(), "c");
    setValue (processor, "mix", 5.0f);
    const auto before = snapshot();

    manager.step (-1);
    EXPECT_TRUE (snapshot() == before);
    manager.step (-1);
    EXPECT_TRUE (snapshot() == before);
}

//==============================================================================
TEST_F (PresetManagerTest, LoadingAUserPresetTakesItsPositionAndItsNameAttribute)
{
    userPreset ("a");
    const auto file = writeFile (home.presets(), "b.brlm", presetText (paramXml ("rate", "2"), " name=\"Shown\""));
    setValue (processor, "mix", 5.0f);

    ASSERT_TRUE (manager.loadFile (file));

    EXPECT_EQ (manager.getCurrentIndex(), F + 1);
    EXPECT_EQ (manager.getCurrentName(), "Shown");
    EXPECT_EQ (listedNames()[1], "b");
    EXPECT_EQ (valuesOf (processor).at ("mix"), 100.0f);
    EXPECT_FALSE (processor.modified.load());
}

TEST_F (PresetManagerTest, AFileWithoutANameLoadsUnderItsFileName)
{
    const auto file = writeFile (home.presets(), "Plain.brlm", presetText (paramXml ("rate", "2"), ""));
    ASSERT_TRUE (manager.loadFile (file));
    EXPECT_EQ (manager.getCurrentName(), "Plain");
}

TEST_F (PresetManagerTest, AFileFromElsewhereLoadsWithoutAnIndex)
{
    const auto file = writeFile (home.home(), "Away.brlm", presetText (paramXml ("rate", "2"), " name=\"Away\""));
    ASSERT_TRUE (manager.loadFile (file));
    EXPECT_EQ (manager.getCurrentIndex(), -1);
    EXPECT_EQ (manager.getCurrentName(), "Away");
}

TEST_F (PresetManagerTest, UnreadableFilesChangeNothing)
{
    const struct
    {
        const char* what;
        juce::String text;
    } cases[] {
        { "not XML", "this is not a preset" },
        { "truncated", "<BrellumPreset><Parameters><PARAM id=\"rate\" value=\"2\"/>" },
        { "other root", presetText (paramXml ("rate", "2"), {}, "BrellumState") },
        { "no parameter block", "<BrellumPreset name=\"x\"><Params/></BrellumPreset>" },
        { "empty", "" },
    };

    manager.loadFactory (7);
    setValue (processor, "mix", 5.0f);
    const auto before = snapshot();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_FALSE (manager.loadFile (writeFile (home.presets(), "Bad.brlm", c.text)));
        EXPECT_TRUE (snapshot() == before);
    }

    EXPECT_FALSE (manager.loadFile (home.presets().getChildFile ("Missing.brlm")));
    EXPECT_FALSE (manager.loadFile (home.presets()));
    EXPECT_TRUE (snapshot() == before);
}

//==============================================================================
TEST_F (PresetManagerTest, SavingCreatesTheFolderAndTakesThePositionInTheList)
{
    ASSERT_FALSE (home.presets().exists());
    setValue (processor, "rate", 4.0f);

    ASSERT_TRUE (manager.saveToFile (home.presets().getChildFile ("b.brlm")));
    EXPECT_EQ (manager.getCurrentIndex(), F);

    userPreset ("a");
    ASSERT_TRUE (manager.saveToFile (home.presets().getChildFile ("c.brlm")));

    EXPECT_EQ (manager.getCurrentIndex(), F + 2);
    EXPECT_EQ (manager.getCurrentName(), "c");
    EXPECT_FALSE (processor.modified.load());
    EXPECT_EQ (listedNames(), juce::StringArray ({ "a", "b", "c" }));
}

TEST_F (PresetManagerTest, SavingOutsideThePresetFoldersGivesNoIndex)
{
    ASSERT_TRUE (manager.saveToFile (home.home().getChildFile ("Export/Out.brlm")));
    EXPECT_EQ (manager.getCurrentIndex(), -1);
    EXPECT_EQ (manager.getCurrentName(), "Out");
}

TEST_F (PresetManagerTest, AFailedSaveKeepsTheOldFileAndChangesNothing)
{
    const auto file = userPreset ("Kept");
    const auto oldText = file.loadFileAsString();
    manager.loadFactory (3);
    setValue (processor, "mix", 5.0f);
    const auto before = snapshot();

    // A file size limit makes the write come up short, as a full disk would; the
    // stream itself does not notice, so only the length check stands between the
    // truncated text and the old preset.
    rlimit saved {};
    getrlimit (RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 64;
    setrlimit (RLIMIT_FSIZE, &tight);

    const auto saved64 = manager.saveToFile (file);

    setrlimit (RLIMIT_FSIZE, &saved);
    std::signal (SIGXFSZ, previousHandler);

    EXPECT_FALSE (saved64);
    EXPECT_EQ (file.loadFileAsString(), oldText);
    EXPECT_TRUE (snapshot() == before);
    EXPECT_EQ (home.presets().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1) << "temporary left";
}

TEST_F (PresetManagerTest, SavingOverAFolderOrIntoAFileFailsWithoutTrace)
{
    home.presets().getChildFile ("Taken.brlm").createDirectory();
    writeFile (home.presets(), "Blocker", "not a folder");
    const auto before = snapshot();

    EXPECT_FALSE (manager.saveToFile (home.presets().getChildFile ("Taken.brlm")));
    EXPECT_FALSE (manager.saveToFile (home.presets().getChildFile ("Blocker/Inside.brlm")));

    EXPECT_TRUE (snapshot() == before);
    EXPECT_TRUE (home.presets().getChildFile ("Taken.brlm").isDirectory());
    EXPECT_EQ (home.presets().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2) << "temporary left";
}

//==============================================================================
TEST_F (PresetManagerTest, DeletingTheCurrentPresetDropsTheIndexButKeepsTheName)
{
    userPreset ("a");
    const auto b = userPreset ("b");
    ASSERT_TRUE (manager.loadFile (b));

    EXPECT_TRUE (manager.deleteUser (b));
    EXPECT_FALSE (b.exists());
    EXPECT_EQ (manager.getCurrentIndex(), -1);
    EXPECT_EQ (manager.getCurrentName(), "b");
}

TEST_F (PresetManagerTest, DeletingAnotherPresetLeavesTheIndexAlone)
{
    const auto a = userPreset ("a");
    ASSERT_TRUE (manager.loadFile (userPreset ("b")));

    EXPECT_TRUE (manager.deleteUser (a));
    EXPECT_EQ (manager.getCurrentIndex(), F + 1);
    EXPECT_EQ (manager.getCurrentName(), "b");
}

TEST_F (PresetManagerTest, DeletesNothingOutsideThePresetFoldersOrThatIsNotThere)
{
    const auto outside = writeFile (home.home(), "Precious.brlm", presetText ({}));
    const auto legacy = writeFile (home.music().getChildFile ("Brellum/Presets"), "Old.brlm", presetText ({}));
    home.presets().createDirectory();

    EXPECT_FALSE (manager.deleteUser (outside));
    EXPECT_TRUE (outside.existsAsFile());
    EXPECT_FALSE (manager.deleteUser (home.presets().getChildFile ("Missing.brlm")));

    EXPECT_TRUE (manager.deleteUser (legacy));
    EXPECT_FALSE (legacy.exists());
}

//==============================================================================
// Quick save and delete act on the current user preset's own file only. The index
// alone points at whatever file took that position since.

TEST_F (PresetManagerTest, QuickSaveOverwritesThePresetsOwnFile)
{
    const auto file = userPreset ("Mine", paramXml ("rate", "2"));
    ASSERT_TRUE (manager.loadFile (file));
    setValue (processor, "rate", 9.0f);

    EXPECT_EQ (manager.currentUserFile(), file);
    EXPECT_EQ (manager.quickSave(), br::PresetManager::QuickSave::saved);

    setValue (processor, "rate", 1.0f);
    ASSERT_TRUE (manager.loadFile (file));
    EXPECT_FLOAT_EQ (valuesOf (processor).at ("rate"), 9.0f);
}

TEST_F (PresetManagerTest, QuickSaveAsksForANameWhenAnotherPresetTookThePosition)
{
    const auto b = userPreset ("b", paramXml ("rate", "2"));
    ASSERT_TRUE (manager.loadFile (b));
    ASSERT_EQ (manager.getCurrentIndex(), F);

    const auto a = userPreset ("a", paramXml ("rate", "1")); // now at position F
    const auto aText = a.loadFileAsString();
    const auto bText = b.loadFileAsString();
    setValue (processor, "rate", 9.0f);

    EXPECT_EQ (manager.currentUserFile(), juce::File());
    EXPECT_EQ (manager.quickSave(), br::PresetManager::QuickSave::needsName);
    EXPECT_FALSE (manager.deleteCurrent());

    EXPECT_EQ (a.loadFileAsString(), aText);
    EXPECT_EQ (b.loadFileAsString(), bText);
}

TEST_F (PresetManagerTest, QuickSaveTellsNamesApartThatDifferOnlyInCase)
{
    userPreset ("Bass");
    const auto lower = userPreset ("bass");
    ASSERT_TRUE (manager.loadFile (lower));
    ASSERT_EQ (manager.getCurrentIndex(), F + 1);

    // "BASS" sorts before "Bass", which moves up into the position "bass" held.
    ASSERT_TRUE (lower.deleteFile());
    const auto upper = home.presets().getChildFile ("Bass.brlm");
    userPreset ("BASS");
    ASSERT_EQ (manager.getUserPresets()[1], upper);
    const auto upperText = upper.loadFileAsString();

    EXPECT_EQ (manager.quickSave(), br::PresetManager::QuickSave::needsName);
    EXPECT_FALSE (manager.deleteCurrent());
    EXPECT_EQ (upper.loadFileAsString(), upperText);
}

TEST_F (PresetManagerTest, QuickSaveAsksForANameForFactoryAndUnlistedPresets)
{
    manager.loadFactory (4);
    EXPECT_EQ (manager.quickSave(), br::PresetManager::QuickSave::needsName);

    ASSERT_TRUE (manager.loadFile (writeFile (home.home(), "Away.brlm", presetText ({}))));
    EXPECT_EQ (manager.quickSave(), br::PresetManager::QuickSave::needsName);
    EXPECT_FALSE (manager.deleteCurrent());
    EXPECT_TRUE (home.home().getChildFile ("Away.brlm").existsAsFile());
}

TEST_F (PresetManagerTest, DeleteCurrentRemovesOnlyThePresetsOwnFile)
{
    const auto a = userPreset ("a");
    const auto b = userPreset ("b");
    ASSERT_TRUE (manager.loadFile (b));

    EXPECT_TRUE (manager.deleteCurrent());
    EXPECT_FALSE (b.exists());
    EXPECT_TRUE (a.existsAsFile());
    EXPECT_EQ (manager.getCurrentIndex(), -1);
    EXPECT_EQ (manager.currentUserFile(), juce::File());
    EXPECT_FALSE (manager.deleteCurrent());
    EXPECT_TRUE (a.existsAsFile());
}

TEST_F (PresetManagerTest, ASavedPresetIsItsOwnQuickSaveTarget)
{
    const auto file = home.presets().getChildFile ("Fresh.brlm");
    ASSERT_TRUE (manager.saveToFile (file));
    EXPECT_EQ (manager.currentUserFile(), file);
}

TEST_F (PresetManagerTest, ARestoredPresetWithoutItsPathIsKnownByItsNameAtItsPosition)
{
    const auto a = userPreset ("a");
    const auto b = userPreset ("b");

    const struct
    {
        const char* what;
        juce::String name;
        int index;
        juce::File file;
    } cases[] {
        { "its name at its position", "b", F + 1, b },
        { "another preset's name at its position", "a", F + 1, {} },
        { "its name at another preset's position", "b", F, {} },
        { "its name in another case", "B", F + 1, {} },
        { "a position past the list", "b", F + 2, {} },
        { "a factory index", "b", 3, {} },
        { "no listed preset", "b", -1, {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        manager.setCurrent ({ c.name, c.index, {} });
        EXPECT_EQ (manager.currentUserFile(), c.file);
    }

    const auto aText = a.loadFileAsString();
    manager.setCurrent ({ "b", F, {} });
    EXPECT_EQ (manager.quickSave(), br::PresetManager::QuickSave::needsName);
    EXPECT_FALSE (manager.deleteCurrent());
    EXPECT_EQ (a.loadFileAsString(), aText);

    manager.setCurrent ({ "b", F + 1, {} });
    EXPECT_TRUE (manager.deleteCurrent());
    EXPECT_FALSE (b.exists());
    EXPECT_TRUE (a.existsAsFile());
    EXPECT_EQ (manager.getCurrentIndex(), -1);
}
