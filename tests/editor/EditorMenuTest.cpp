#include "EditorTestSupport.h"

using namespace br::test;

namespace
{
const juce::String arrow = juce::String::charToString (0x2192);

/** The preset menu as it must read, given the user presets and the current preset. */
std::vector<MenuLine> expectedPresetMenu (BrellumProcessor& processor, const juce::StringArray& userNames)
{
    const auto current = processor.presetManager.current();
    std::vector<MenuLine> lines { header ("Factory Presets") };
    for (int i = 0; i < numFactory; ++i)
        lines.push_back ({ br::factoryPresets()[(size_t) i].name, true, current.index == i });
    lines.push_back (header ("User Presets"));
    if (userNames.isEmpty())
        lines.push_back ({ "(none saved yet)", false, false });
    for (int j = 0; j < userNames.size(); ++j)
        lines.push_back ({ userNames[j], true, current.index == numFactory + j });
    lines.push_back (separator());
    lines.push_back ({ "Save Preset..." });
    lines.push_back ({ "Save Preset to File..." });
    lines.push_back ({ "Load Preset from File..." });
    lines.push_back ({ "Delete \"" + current.name + "\"", current.index >= numFactory, false });
    lines.push_back ({ "Show Presets Folder" });
    lines.push_back (separator());
    lines.push_back ({ "Reset to Default" });
    return lines;
}

std::vector<MenuLine> expectedMainMenu (const juce::String& live, const juce::String& other, bool canUndo, bool canRedo)
{
    return {
        { "Undo", canUndo, false },
        { "Redo", canRedo, false },
        separator(),
        { "Copy Setup " + live + " " + arrow + " " + other },
        { "Switch to Setup " + other },
        { "Reset to Default" },
        separator(),
        { "Interface Size", true, false, MenuLine::subMenu },
        separator(),
        { "About Quorvane" },
    };
}

std::vector<MenuLine> expectedSizes (int tickedPercent)
{
    std::vector<MenuLine> lines;
    for (const int percent : { 75, 100, 125, 150, 175, 200 })
        lines.push_back ({ juce::String (percent) + "%", true, percent == tickedPercent });
    return lines;
}

void expectLines (const std::vector<MenuLine>& actual, const std::vector<MenuLine>& expected)
{
    ASSERT_EQ (actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_EQ (actual[i], expected[i]) << "line " << i;
}
} // namespace

//==============================================================================
TEST_F (EditorTest, PresetMenuWithNoUserPresetsOffersNothingToDelete)
{
    const auto menu = editor->presetBar.buildPresetMenu();
    const auto lines = linesOf (menu);
    expectLines (lines, expectedPresetMenu (processor, {}));
    EXPECT_TRUE (lines[1].ticked) << "Full Reset is current";
    EXPECT_EQ (lines[numFactory + 2].text, "(none saved yet)");
}

TEST_F (EditorTest, PresetMenuWithAFactoryPresetCurrentTicksItAndDisablesDelete)
{
    userPreset ("apple");
    userPreset ("Banana");
    presets().loadFactory (7);

    const auto lines = linesOf (editor->presetBar.buildPresetMenu());
    expectLines (lines, expectedPresetMenu (processor, { "apple", "Banana" }));
    EXPECT_TRUE (lines[8].ticked);
    const auto& deleteItem = lines[lines.size() - 4];
    EXPECT_EQ (deleteItem.text, "Delete \"" + br::factoryPresets()[7].name + "\"");
    EXPECT_FALSE (deleteItem.enabled);
}

TEST_F (EditorTest, PresetMenuWithAUserPresetCurrentTicksItAndOffersItsDelete)
{
    userPreset ("apple");
    ASSERT_TRUE (presets().loadFile (userPreset ("Banana")));
    userPreset ("cherry");
    ASSERT_EQ (presets().getCurrentIndex(), numFactory + 1);

    const auto lines = linesOf (editor->presetBar.buildPresetMenu());
    expectLines (lines, expectedPresetMenu (processor, { "apple", "Banana", "cherry" }));
    EXPECT_EQ (lines[lines.size() - 4], (MenuLine { "Delete \"Banana\"", true, false }));
}

TEST_F (EditorTest, MainMenuFollowsTheSetupUndoStateAndScale)
{
    struct Case
    {
        const char* what;
        std::function<void()> arrange;
        juce::String live, other;
        bool canUndo, canRedo;
        int tickedPercent;
    };
    const Case cases[] {
        { "fresh", [] {}, "A", "B", false, false, 100 },
        { "set-up B live", [this] { processor.selectSetup (1); }, "B", "A", false, false, 100 },
        { "after an edit", [this] { editor->mixBox.setValue (20.0, juce::sendNotificationSync); settle(); }, "B", "A",
          true, false, 100 },
        { "after an undo", [this] { processor.undoManager.undo(); }, "B", "A", false, true, 100 },
        { "at 125 %", [this] { editor->setInterfaceScale (1.25f); }, "B", "A", false, true, 125 },
        { "at 250 %, which has no item", [this] { editor->setInterfaceScale (2.5f); }, "B", "A", false, true, -1 },
        { "at 50 %", [this] { editor->setInterfaceScale (0.5f); }, "B", "A", false, true, -1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        c.arrange();
        const auto menu = editor->presetBar.buildMainMenu();
        expectLines (linesOf (menu), expectedMainMenu (c.live, c.other, c.canUndo, c.canRedo));
        const auto* sizes = subMenuOf (menu, "Interface Size");
        ASSERT_NE (sizes, nullptr);
        expectLines (linesOf (*sizes), expectedSizes (c.tickedPercent));

        editor->refresh();
        EXPECT_EQ (linesOf (menu)[0].enabled, editor->presetBar.undoButton.isEnabled()) << "undo item and button agree";
        EXPECT_EQ (linesOf (menu)[1].enabled, editor->presetBar.redoButton.isEnabled()) << "redo item and button agree";
    }
}

//==============================================================================
TEST_F (EditorTest, PresetMenuItemsRunTheirActions)
{
    auto& bar = editor->presetBar;
    userPreset ("apple", 4.0f);
    userPreset ("Banana", 5.0f);
    const auto shown = bar.buildPresetMenu();

    ASSERT_TRUE (choose (shown, br::factoryPresets()[3].name));
    EXPECT_EQ (presets().getCurrentIndex(), 3);
    EXPECT_EQ (presets().getCurrentName(), br::factoryPresets()[3].name);

    // An item loads the file the menu showed, even if the folder changed since.
    userPreset ("Aardvark", 9.0f);
    ASSERT_TRUE (choose (shown, "Banana"));
    EXPECT_EQ (presets().getCurrentName(), "Banana");
    EXPECT_EQ (value ("rate"), 5.0f);

    setValue (processor, "mix", 10.0f);
    ASSERT_TRUE (choose (shown, "Reset to Default"));
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    EXPECT_EQ (value ("mix"), 100.0f);

    // A user preset deleted after the menu opened loads nothing.
    const auto cherry = userPreset ("cherry", 6.0f);
    const auto withCherry = bar.buildPresetMenu();
    ASSERT_TRUE (cherry.deleteFile());
    const auto before = valuesOf (processor);
    choose (withCherry, "cherry");
    EXPECT_EQ (valuesOf (processor), before);
    EXPECT_EQ (presets().getCurrentIndex(), 0);
}

TEST_F (EditorTest, ThePresetMenuPlaceholderCannotBeChosen)
{
    const auto before = valuesOf (processor);
    EXPECT_FALSE (choose (editor->presetBar.buildPresetMenu(), "(none saved yet)"));
    EXPECT_EQ (valuesOf (processor), before);
    EXPECT_EQ (presets().getCurrentIndex(), 0);
}

TEST_F (EditorTest, ShowPresetsFolderCreatesTheFolderAndOpensIt)
{
    ASSERT_FALSE (home.presets().exists());

    juce::File opened;
    editor->presetBar.openFolder = [&] (const juce::File& folder) { opened = folder; };
    ASSERT_TRUE (choose (editor->presetBar.buildPresetMenu(), "Show Presets Folder"));

    EXPECT_TRUE (home.presets().isDirectory());
    EXPECT_EQ (opened, home.presets());
}

TEST_F (EditorTest, DeletingTheCurrentUserPresetLoadsTheFirstFactoryPreset)
{
    userPreset ("apple");
    const auto banana = userPreset ("Banana");
    ASSERT_TRUE (presets().loadFile (banana));

    ASSERT_TRUE (choose (editor->presetBar.buildPresetMenu(), "Delete \"Banana\""));
    EXPECT_FALSE (banana.exists());
    EXPECT_TRUE (home.presets().getChildFile ("apple.brlm").exists());
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    EXPECT_EQ (presets().getCurrentName(), "Full Reset");
    EXPECT_TRUE (linesOf (editor->presetBar.buildPresetMenu())[1].ticked);
}

TEST_F (EditorTest, DeleteWithAFactoryPresetCurrentDeletesNothing)
{
    const auto apple = userPreset ("apple");
    presets().loadFactory (4);
    EXPECT_FALSE (choose (editor->presetBar.buildPresetMenu(), "Delete \"" + presets().getCurrentName() + "\""));
    // Even run directly, the delete refuses a factory preset.
    editor->presetBar.deleteCurrentPreset();
    EXPECT_TRUE (apple.exists());
    EXPECT_EQ (presets().getCurrentIndex(), 4);
}

TEST_F (EditorTest, MainMenuItemsRunTheirActions)
{
    auto& bar = editor->presetBar;
    editor->mixBox.setValue (20.0, juce::sendNotificationSync);
    settle();

    ASSERT_TRUE (choose (bar.buildMainMenu(), "Undo"));
    EXPECT_EQ (value ("mix"), 100.0f);
    ASSERT_TRUE (choose (bar.buildMainMenu(), "Redo"));
    EXPECT_EQ (value ("mix"), 20.0f);

    ASSERT_TRUE (choose (bar.buildMainMenu(), "Copy Setup A " + arrow + " B"));
    EXPECT_EQ ((float) processor.otherSetup().state.getChildWithProperty ("id", "mix")["value"], 20.0f)
        << "copied to the parked set-up";

    setValue (processor, "mix", 60.0f);
    const auto shown = bar.buildMainMenu();
    ASSERT_TRUE (choose (shown, "Switch to Setup B"));
    EXPECT_EQ (processor.activeSetup.load(), 1);
    EXPECT_EQ (value ("mix"), 20.0f);
    ASSERT_TRUE (choose (shown, "Switch to Setup B"));
    EXPECT_EQ (processor.activeSetup.load(), 0) << "read when the item is chosen";
    EXPECT_EQ (value ("mix"), 60.0f);

    ASSERT_TRUE (choose (bar.buildMainMenu(), "Reset to Default"));
    EXPECT_EQ (value ("mix"), 100.0f);
    EXPECT_EQ (presets().getCurrentName(), "Full Reset");

    struct Size
    {
        const char* item;
        float scale;
        int width, height;
    };
    for (const auto& s : { Size { "75%", 0.75f, 820, 446 }, Size { "200%", 2.0f, 2188, 1188 },
                           Size { "125%", 1.25f, 1368, 742 } })
    {
        SCOPED_TRACE (s.item);
        ASSERT_TRUE (choose (bar.buildMainMenu(), s.item));
        EXPECT_EQ (editor->getInterfaceScale(), s.scale);
        EXPECT_EQ (processor.uiScale.load(), s.scale);
        EXPECT_EQ (editor->getWidth(), s.width);
        EXPECT_EQ (editor->getHeight(), s.height);
    }

    ASSERT_TRUE (choose (bar.buildMainMenu(), "75%"));
    EXPECT_TRUE (textOf (stateOf (processor)).contains ("uiScale=\"0.75\"")) << "saved with the plug-in state";

    // Undo and Redo have nothing to do after a preset load, and cannot be chosen.
    for (const auto* disabled : { "Undo", "Redo" })
    {
        SCOPED_TRACE (disabled);
        const auto before = valuesOf (processor);
        EXPECT_FALSE (choose (bar.buildMainMenu(), disabled));
        EXPECT_EQ (valuesOf (processor), before);
        EXPECT_EQ (editor->getWidth(), 820);
    }
}

TEST_F (EditorTest, MenuItemsChosenAfterTheEditorClosedDoNothing)
{
    setValue (processor, "mix", 30.0f);
    const auto presetMenu = editor->presetBar.buildPresetMenu();
    const auto mainMenu = editor->presetBar.buildMainMenu();
    editor.reset();

    for (const auto& [menu, item] : { std::pair (&presetMenu, juce::String (br::factoryPresets()[2].name)),
                                      std::pair (&mainMenu, juce::String ("Reset to Default")),
                                      std::pair (&mainMenu, juce::String ("200%")) })
    {
        SCOPED_TRACE (item);
        EXPECT_TRUE (choose (*menu, item));
        EXPECT_EQ (value ("mix"), 30.0f);
        EXPECT_EQ (presets().getCurrentIndex(), 0);
        EXPECT_EQ (processor.uiScale.load(), 1.0f);
    }
}

//==============================================================================
TEST_F (EditorTest, QuickSaveOverwritesTheCurrentUserPresetInPlace)
{
    const auto banana = userPreset ("Banana", 5.0f);
    ASSERT_TRUE (presets().loadFile (banana));
    setValue (processor, "rate", 7.0f);

    editor->presetBar.saveButton.triggerClick();
    pumpPending();
    EXPECT_FALSE (anythingModal()) << "no dialog";
    EXPECT_FALSE (processor.modified.load());
    setValue (processor, "rate", 1.0f);
    ASSERT_TRUE (presets().loadFile (banana));
    EXPECT_EQ (value ("rate"), 7.0f) << "the file was overwritten";
}

TEST_F (EditorTest, QuickSaveAfterARestartOverwritesThePresetFoundByItsName)
{
    const auto banana = userPreset ("Banana", 5.0f);
    ASSERT_TRUE (presets().loadFile (banana));
    const auto state = stateOf (processor);

    BrellumProcessor restarted;
    restore (restarted, state);
    BrellumEditor second (restarted);
    setValue (restarted, "rate", 7.0f);
    second.presetBar.saveButton.triggerClick();
    pumpPending();
    EXPECT_FALSE (anythingModal()) << "no dialog";
    ASSERT_TRUE (presets().loadFile (banana));
    EXPECT_EQ (value ("rate"), 7.0f) << "the file was overwritten";

    userPreset ("Aardvark"); // now another preset stands at Banana's position
    BrellumProcessor shifted;
    restore (shifted, state);
    EXPECT_EQ (shifted.presetManager.currentUserFile(), juce::File()) << "never another preset's file";
}

TEST_F (EditorTest, SavesUnderATrimmedLegalName)
{
    editor->presetBar.saveUnderName ("  My/Preset  ");
    EXPECT_TRUE (home.presets().getChildFile ("MyPreset.brlm").existsAsFile());
    EXPECT_EQ (presets().getCurrentName(), "MyPreset");
    EXPECT_EQ (presets().getCurrentIndex(), numFactory);

    editor->presetBar.saveUnderName (" / ");
    EXPECT_EQ (presets().getUserPresets().size(), 1) << "a name that cleans to nothing saves nothing";
}

TEST_F (EditorTest, FileDialogResultsSaveWithThePresetExtensionAndLoadOnlyFiles)
{
    const auto elsewhere = home.home().getChildFile ("elsewhere");
    elsewhere.createDirectory();

    editor->presetBar.saveToChosenFile (elsewhere.getChildFile ("x.txt"));
    EXPECT_TRUE (elsewhere.getChildFile ("x.brlm").existsAsFile());
    EXPECT_FALSE (elsewhere.getChildFile ("x.txt").exists());
    EXPECT_EQ (presets().getCurrentIndex(), -1) << "outside the preset folders";

    editor->presetBar.saveToChosenFile ({});
    EXPECT_EQ (elsewhere.findChildFiles (juce::File::findFiles, false).size(), 1) << "cancelled";

    presets().loadDefaults();
    editor->presetBar.loadChosenFile (elsewhere); // a folder
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    editor->presetBar.loadChosenFile ({});
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    editor->presetBar.loadChosenFile (elsewhere.getChildFile ("x.brlm"));
    EXPECT_EQ (presets().getCurrentName(), "x");
}

TEST (EditorAbout, TellsWhatTheProductIsAndHowToUseIt)
{
    const auto lines = juce::StringArray::fromLines (PresetBar::aboutText());
    ASSERT_EQ (lines.size(), 5);
    EXPECT_EQ (lines[0], "AM, FM and rotation modulation driven by one LFO. By Tarnwick Audio.");
    EXPECT_EQ (lines[1], "");
    EXPECT_EQ (lines[2], "Drag value boxes up/down, double-click to type, alt-click for the default.");
    EXPECT_EQ (lines[3], "x Factor and Phase: click to step, shift-click to step back, hold for a list.");
    EXPECT_EQ (lines[4], "Drag on the sphere to set the rotation centre.");
}
