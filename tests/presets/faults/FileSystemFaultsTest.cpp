#include "presets/faults/PrivateMounts.h"
#include "support/ModelHelpers.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace br::test;

// Faults the preset code meets on real machines: folders it may not write, a full disk,
// files that change between the listing and the load. The tests run as root, which
// ignores permission bits, so the faults are made with mounts in a namespace of this
// test process alone (see PrivateMounts.h).

namespace
{
constexpr int F = 20;

class FileSystemFaults : public testing::Test
{
protected:
    TestHome home;
    BrellumProcessor processor;
    br::PresetManager& manager = processor.presetManager;

    void requireMounts()
    {
        if (! privateMountsAvailable())
            GTEST_SKIP() << "needs root and a private mount namespace";
    }

    juce::File userPreset (const juce::String& name, const juce::String& rate = "3")
    {
        return writeFile (home.presets(), name + ".brlm", presetText (paramXml ("rate", rate), " name=\"" + name + "\""));
    }

    /** What a failed operation must leave as it was. */
    struct Snapshot
    {
        Values values;
        br::PresetIdentity identity;
        bool modified;
    };

    Snapshot snapshot() { return { valuesOf (processor), manager.current(), processor.modified.load() }; }

    void expectUnchanged (const Snapshot& before)
    {
        const auto now = snapshot();
        EXPECT_EQ (now.values, before.values);
        EXPECT_EQ (now.identity.name, before.identity.name);
        EXPECT_EQ (now.identity.index, before.identity.index);
        EXPECT_EQ (now.identity.file, before.identity.file);
        EXPECT_EQ (now.modified, before.modified);
    }

    /** A user preset loaded and then edited: the state a failed save must keep. */
    juce::File loadAndEdit (const juce::File& file)
    {
        EXPECT_TRUE (manager.loadFile (file));
        setValue (processor, "mix", 42.0f);
        return file;
    }
};

struct Operation
{
    const char* what;
    std::function<bool()> run; // true when the operation reports success
};

/** Runs each operation; each must fail and leave the processor and the files alone. */
void expectAllFailWithoutTrace (const std::vector<Operation>& operations, const juce::File& folder,
                                const std::function<void (const char*)>& expectUnchanged)
{
    const auto files = contentOf (folder);

    for (const auto& operation : operations)
    {
        SCOPED_TRACE (operation.what);
        EXPECT_FALSE (operation.run());
        expectUnchanged (operation.what);
        EXPECT_EQ (contentOf (folder), files) << "a file was changed, added or removed";
    }
}
} // namespace

TEST_F (FileSystemFaults, AReadOnlyPresetFolderRefusesEveryWriteAndKeepsItsFiles)
{
    requireMounts();
    const auto a = userPreset ("a");
    const auto b = loadAndEdit (userPreset ("b"));
    const auto before = snapshot();

    const auto readOnly = ScopedMount::readOnly (home.presets());
    ASSERT_NE (readOnly, nullptr);

    expectAllFailWithoutTrace (
        {
            { "saving a new preset", [&] { return manager.saveToFile (home.presets().getChildFile ("New.brlm")); } },
            { "overwriting the current preset", [&] { return manager.saveToFile (b); } },
            { "quick save", [&] { return manager.quickSave() != br::PresetManager::QuickSave::failed; } },
            { "deleting another preset", [&] { return manager.deleteUser (a); } },
            { "deleting the current preset", [&] { return manager.deleteCurrent(); } },
        },
        home.presets(), [&] (const char*) { expectUnchanged (before); });

    // Reading is not affected.
    EXPECT_TRUE (manager.loadFile (a));
    EXPECT_EQ (manager.getCurrentIndex(), F);
}

TEST_F (FileSystemFaults, APresetFolderThatIsAFileListsNothingAndTakesNothing)
{
    for (auto* blocker : { "Quorvane/Presets", "Quorvane" })
    {
        SCOPED_TRACE (blocker);
        home.music().deleteRecursively();
        writeFile (home.music().getChildFile (blocker).getParentDirectory(),
                   home.music().getChildFile (blocker).getFileName(), "not a folder");
        const auto inside = br::PresetManager::userDirectory().getChildFile ("Mine.brlm");

        manager.loadFactory (5);
        setValue (processor, "mix", 42.0f);
        const auto before = snapshot();

        EXPECT_TRUE (manager.getUserPresets().isEmpty());
        expectAllFailWithoutTrace (
            {
                { "saving into it", [&] { return manager.saveToFile (inside); } },
                { "loading from it", [&] { return manager.loadFile (inside); } },
                { "deleting in it", [&] { return manager.deleteUser (inside); } },
            },
            home.music(), [&] (const char*) { expectUnchanged (before); });

        // Stepping goes round the factory presets alone.
        manager.loadFactory (F - 1);
        manager.step (+1);
        EXPECT_EQ (manager.getCurrentIndex(), 0);
    }
}

TEST_F (FileSystemFaults, AMissingMusicFolderInAReadOnlyHomeIsNeitherCreatedNorWritten)
{
    requireMounts();
    ASSERT_FALSE (home.music().exists());
    const auto away = writeFile (home.home().getChildFile ("Elsewhere"), "Away.brlm", presetText (paramXml ("rate", "2")));
    loadAndEdit (away);
    const auto before = snapshot();

    const auto readOnly = ScopedMount::readOnly (home.home());
    ASSERT_NE (readOnly, nullptr);

    EXPECT_EQ (br::PresetManager::userDirectory(), home.presets());
    EXPECT_TRUE (manager.getUserPresets().isEmpty());
    expectAllFailWithoutTrace (
        {
            { "saving a user preset", [&] { return manager.saveToFile (home.presets().getChildFile ("New.brlm")); } },
            { "quick save", [&] { return manager.quickSave() == br::PresetManager::QuickSave::saved; } },
            { "overwriting the loaded file", [&] { return manager.saveToFile (away); } },
        },
        home.home(), [&] (const char*) { expectUnchanged (before); });

    EXPECT_FALSE (home.music().exists());
    manager.step (+1);
    EXPECT_EQ (manager.getCurrentIndex(), 0) << "from no listed preset, a step loads the first factory preset";
}

TEST_F (FileSystemFaults, AMissingMusicFolderInAWritableHomeIsMadeByTheFirstSave)
{
    // The desktop may name a music folder that is gone; the framework then falls back
    // to ~/Music, which does not exist either.
    home.useXdgMusicFolder ("Gone");
    home.home().getChildFile ("Gone").deleteRecursively();

    EXPECT_TRUE (manager.getUserPresets().isEmpty());
    EXPECT_FALSE (br::PresetManager::userDirectory().exists());

    ASSERT_TRUE (manager.saveToFile (br::PresetManager::userDirectory().getChildFile ("First.brlm")));
    EXPECT_EQ (manager.getCurrentIndex(), F);
    EXPECT_TRUE (home.home().getChildFile ("Music/Quorvane/Presets/First.brlm").existsAsFile());
}

TEST_F (FileSystemFaults, AFullDiskKeepsTheOldPresetAndLeavesNoTemporaryBehind)
{
    requireMounts();
    home.presets().createDirectory();

    const struct
    {
        const char* what;
        int kilobytes, inodes; // the folder, a.brlm and b.brlm take three inodes
        bool fill;
    } disks[] { { "no free byte", 64, 64, true }, { "no free inode", 64, 3, false } };

    for (const auto& disk : disks)
    {
        SCOPED_TRACE (disk.what);
        const auto tiny = ScopedMount::tinyTmpfs (home.presets(), disk.kilobytes, disk.inodes);
        ASSERT_NE (tiny, nullptr);

        const auto a = userPreset ("a");
        const auto b = loadAndEdit (userPreset ("b"));
        if (disk.fill)
        {
            ASSERT_GT (tiny->fillUp(), 0);
        }
        const auto before = snapshot();

        expectAllFailWithoutTrace (
            {
                { "saving a new preset", [&] { return manager.saveToFile (home.presets().getChildFile ("New.brlm")); } },
                { "overwriting the current preset", [&] { return manager.saveToFile (b); } },
                { "overwriting another preset", [&] { return manager.saveToFile (a); } },
                { "quick save", [&] { return manager.quickSave() != br::PresetManager::QuickSave::failed; } },
            },
            home.presets(), [&] (const char*) { expectUnchanged (before); });

        // With room again the same save goes through: the fault was the only obstacle.
        home.presets().getChildFile ("filler").deleteFile();
        a.deleteFile();
        EXPECT_TRUE (manager.saveToFile (b));
    }
}

TEST_F (FileSystemFaults, AReadOnlyMusicFolderLeavesLegacyPresetsWhereTheyAre)
{
    requireMounts();
    const auto old = writeFile (home.music().getChildFile ("Vostle/Presets"), "Old.brlm", presetText (paramXml ("rate", "2")));

    const auto readOnly = ScopedMount::readOnly (home.music());
    ASSERT_NE (readOnly, nullptr);

    // The move to "Quorvane" fails; the folder stays a legacy source and is read there.
    const auto listed = manager.getUserPresets();
    ASSERT_EQ (listed.size(), 1);
    EXPECT_EQ (listed[0], old);
    EXPECT_FALSE (home.music().getChildFile ("Quorvane").exists());

    ASSERT_TRUE (manager.loadFile (old));
    EXPECT_EQ (manager.getCurrentIndex(), F);
    const auto before = snapshot();
    EXPECT_FALSE (manager.deleteCurrent());
    expectUnchanged (before);
    EXPECT_TRUE (old.existsAsFile());
}

TEST_F (FileSystemFaults, AListedPresetThatChangedBeforeLoadingChangesNothing)
{
    // After the change a step from "a" goes on to "c" when "b" left the listing, and
    // stays in front of "b" when "b" is still listed but cannot be read.
    const struct
    {
        const char* what;
        std::function<void (const juce::File&)> change;
        const char* afterStep;
    } changes[] {
        { "removed", [] (const juce::File& f) { f.deleteFile(); }, "c" },
        { "renamed", [] (const juce::File& f) { f.moveFileTo (f.getSiblingFile ("Renamed.brlm")); }, "c" },
        { "replaced by a folder",
          [] (const juce::File& f)
          {
              f.deleteFile();
              f.createDirectory();
          },
          "c" },
        { "replaced by a pipe",
          [] (const juce::File& f)
          {
              f.deleteFile();
              ::mkfifo (f.getFullPathName().toRawUTF8(), 0600);
          },
          "a" },
        { "replaced by a link to a device",
          [] (const juce::File& f)
          {
              f.deleteFile();
              juce::File ("/dev/zero").createSymbolicLink (f, true);
          },
          "a" },
        { "replaced by a dangling link",
          [] (const juce::File& f)
          {
              f.deleteFile();
              f.getSiblingFile ("nowhere").createSymbolicLink (f, true);
          },
          "a" },
        { "cut short while being written", [] (const juce::File& f) { f.replaceWithText ("<BrellumPreset><Param"); }, "a" },
    };

    for (const auto& c : changes)
    {
        SCOPED_TRACE (c.what);
        home.presets().deleteRecursively();
        userPreset ("a", "1");
        userPreset ("b", "2");
        userPreset ("c", "3");

        loadAndEdit (home.presets().getChildFile ("a.brlm"));
        const auto listed = manager.getUserPresets(); // what the preset menu keeps
        ASSERT_EQ (listed.size(), 3);
        const auto before = snapshot();

        c.change (listed[1]);

        EXPECT_FALSE (manager.loadFile (listed[1]));
        expectUnchanged (before);

        // The next step lists afresh.
        manager.step (+1);
        EXPECT_EQ (manager.getCurrentName(), c.afterStep);
        EXPECT_EQ (valuesOf (processor).at ("rate"), juce::String (c.afterStep) == "c" ? 3.0f : 1.0f);
    }
}

TEST_F (FileSystemFaults, FilesChangingUnderneathNeverLeaveAHalfLoadedPreset)
{
    // Another program renames, removes and rewrites presets while the user steps
    // through them. Every step either loads a whole preset or changes nothing.
    for (auto* name : { "a", "b", "c", "d" })
        userPreset (name, "1");

    std::atomic<bool> stop { false };
    std::thread other ([&]
                       {
                           juce::Random random (7);
                           const juce::StringArray names { "a", "b", "c", "d", "e" };
                           while (! stop.load())
                           {
                               const auto from = home.presets().getChildFile (names[random.nextInt (5)] + ".brlm");
                               const auto to = home.presets().getChildFile (names[random.nextInt (5)] + ".brlm");
                               switch (random.nextInt (3))
                               {
                                   case 0: from.moveFileTo (to); break;
                                   case 1: from.deleteFile(); break;
                                   default:
                                       to.replaceWithText (presetText (paramXml ("rate", "2") + paramXml ("mix", "50"),
                                                                       " name=\"" + to.getFileNameWithoutExtension() + "\""));
                                       break;
                               }
                           }
                       });

    std::vector<Values> factoryValues;
    {
        BrellumProcessor reference;
        for (int i = 0; i < F; ++i)
        {
            reference.presetManager.loadFactory (i);
            factoryValues.push_back (valuesOf (reference));
        }
    }

    for (int i = 0; i < 400; ++i)
    {
        const auto before = snapshot();
        manager.step (i % 3 == 0 ? -1 : +1);
        const auto after = snapshot();

        // Either untouched, or a whole preset: a factory one, or "rate" 1 with "mix" at
        // its default, or "rate" 2 with "mix" 50; never a mix of two. A user preset
        // whose file left the listing during the load is current without an index.
        if (after.identity.file != before.identity.file || after.identity.index != before.identity.index)
        {
            SCOPED_TRACE (after.identity.name);
            EXPECT_FALSE (after.modified);

            if (after.identity.file != juce::File())
            {
                const auto rate = after.values.at ("rate"), mix = after.values.at ("mix");
                EXPECT_TRUE ((rate == 1.0f && mix == 100.0f) || (rate == 2.0f && mix == 50.0f)) << rate << " " << mix;
                EXPECT_TRUE (after.identity.index == -1 || after.identity.index >= F);
            }
            else
            {
                ASSERT_TRUE (juce::isPositiveAndBelow (after.identity.index, F));
                EXPECT_EQ (after.values, factoryValues[size_t (after.identity.index)]);
            }
        }
        EXPECT_FALSE (after.identity.name.isEmpty());
    }

    stop.store (true);
    other.join();
}
