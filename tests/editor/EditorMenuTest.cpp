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
        lines.push_back ({ 1000 + i, br::factoryPresets()[(size_t) i].name, true, current.index == i });
    lines.push_back (header ("User Presets"));
    if (userNames.isEmpty())
        lines.push_back ({ -1, "(none saved yet)", false, false });
    for (int j = 0; j < userNames.size(); ++j)
        lines.push_back ({ 2000 + j, userNames[j], true, current.index == numFactory + j });
    lines.push_back (separator());
    lines.push_back ({ 1, "Save Preset..." });
    lines.push_back ({ 2, "Save Preset to File..." });
    lines.push_back ({ 3, "Load Preset from File..." });
    lines.push_back ({ 4, "Delete \"" + current.name + "\"", current.index >= numFactory, false });
    lines.push_back ({ 5, "Show Presets Folder" });
    lines.push_back (separator());
    lines.push_back ({ 6, "Reset to Default" });
    return lines;
}

std::vector<MenuLine> expectedMainMenu (const juce::String& live, const juce::String& other, bool canUndo, bool canRedo)
{
    return {
        { 1, "Undo", canUndo, false },
        { 2, "Redo", canRedo, false },
        separator(),
        { 3, "Copy Setup " + live + " " + arrow + " " + other },
        { 4, "Switch to Setup " + other },
        { 5, "Reset to Default" },
        separator(),
        { 0, "Interface Size", true, false, MenuLine::subMenu },
        separator(),
        { 6, "About Quorvane" },
    };
}

std::vector<MenuLine> expectedSizes (int tickedPercent)
{
    std::vector<MenuLine> lines;
    for (const int percent : { 75, 100, 125, 150, 175, 200 })
        lines.push_back ({ 100 + percent, juce::String (percent) + "%", true, percent == tickedPercent });
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
    const auto menu = editor->buildPresetMenu (presets().getUserPresets());
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

    const auto lines = linesOf (editor->buildPresetMenu (presets().getUserPresets()));
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

    const auto lines = linesOf (editor->buildPresetMenu (presets().getUserPresets()));
    expectLines (lines, expectedPresetMenu (processor, { "apple", "Banana", "cherry" }));
    EXPECT_EQ (lines[lines.size() - 4], (MenuLine { 4, "Delete \"Banana\"", true, false }));
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
        const auto menu = editor->buildMainMenu();
        expectLines (linesOf (menu), expectedMainMenu (c.live, c.other, c.canUndo, c.canRedo));
        const auto* sizes = subMenuOf (menu, "Interface Size");
        ASSERT_NE (sizes, nullptr);
        expectLines (linesOf (*sizes), expectedSizes (c.tickedPercent));

        editor->refresh();
        EXPECT_EQ (linesOf (menu)[0].enabled, editor->undoButton.isEnabled()) << "undo item and button agree";
        EXPECT_EQ (linesOf (menu)[1].enabled, editor->redoButton.isEnabled()) << "redo item and button agree";
    }
}

//==============================================================================
TEST_F (EditorTest, PresetMenuItemsRunTheirActions)
{
    userPreset ("apple", 4.0f);
    userPreset ("Banana", 5.0f);
    const auto shown = presets().getUserPresets();

    editor->presetMenuChosen (1003, shown);
    EXPECT_EQ (presets().getCurrentIndex(), 3);
    EXPECT_EQ (presets().getCurrentName(), br::factoryPresets()[3].name);

    // The item numbers belong to the list the menu showed, even if the folder changed.
    userPreset ("Aardvark", 9.0f);
    editor->presetMenuChosen (2001, shown);
    EXPECT_EQ (presets().getCurrentName(), "Banana");
    EXPECT_EQ (value ("rate"), 5.0f);

    setValue (processor, "mix", 10.0f);
    editor->presetMenuChosen (6, shown);
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    EXPECT_EQ (value ("mix"), 100.0f);

    for (const int ignored : { 0, -1, 7, 999, 2000 + 3, 1000 + numFactory })
    {
        SCOPED_TRACE (ignored);
        const auto before = valuesOf (processor);
        editor->presetMenuChosen (ignored, shown);
        EXPECT_EQ (valuesOf (processor), before);
        EXPECT_EQ (presets().getCurrentIndex(), 0);
    }
}

TEST_F (EditorTest, ShowPresetsFolderCreatesTheFolderAndOpensIt)
{
    ASSERT_FALSE (home.presets().exists());

    juce::File opened;
    editor->openFolder = [&] (const juce::File& folder) { opened = folder; };
    editor->presetMenuChosen (5, {});

    EXPECT_TRUE (home.presets().isDirectory());
    EXPECT_EQ (opened, home.presets());
}

TEST_F (EditorTest, DeletingTheCurrentUserPresetLoadsTheFirstFactoryPreset)
{
    userPreset ("apple");
    const auto banana = userPreset ("Banana");
    ASSERT_TRUE (presets().loadFile (banana));

    editor->presetMenuChosen (4, presets().getUserPresets());
    EXPECT_FALSE (banana.exists());
    EXPECT_TRUE (home.presets().getChildFile ("apple.brlm").exists());
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    EXPECT_EQ (presets().getCurrentName(), "Full Reset");
    EXPECT_TRUE (linesOf (editor->buildPresetMenu (presets().getUserPresets()))[1].ticked);
}

TEST_F (EditorTest, DeleteWithAFactoryPresetCurrentDeletesNothing)
{
    const auto apple = userPreset ("apple");
    presets().loadFactory (4);
    editor->presetMenuChosen (4, presets().getUserPresets());
    EXPECT_TRUE (apple.exists());
    EXPECT_EQ (presets().getCurrentIndex(), 4);
}

TEST_F (EditorTest, MainMenuItemsRunTheirActions)
{
    editor->mixBox.setValue (20.0, juce::sendNotificationSync);
    settle();

    editor->mainMenuChosen (1);
    EXPECT_EQ (value ("mix"), 100.0f);
    editor->mainMenuChosen (2);
    EXPECT_EQ (value ("mix"), 20.0f);

    editor->mainMenuChosen (3);
    EXPECT_EQ ((float) processor.otherSetup().state.getChildWithProperty ("id", "mix")["value"], 20.0f)
        << "copied to the parked set-up";

    setValue (processor, "mix", 60.0f);
    editor->mainMenuChosen (4);
    EXPECT_EQ (processor.activeSetup.load(), 1);
    EXPECT_EQ (value ("mix"), 20.0f);
    editor->mainMenuChosen (4);
    EXPECT_EQ (processor.activeSetup.load(), 0) << "read when the item is chosen";
    EXPECT_EQ (value ("mix"), 60.0f);

    editor->mainMenuChosen (5);
    EXPECT_EQ (value ("mix"), 100.0f);
    EXPECT_EQ (presets().getCurrentName(), "Full Reset");

    struct Size
    {
        int item;
        float scale;
        int width, height;
    };
    for (const auto& s : { Size { 175, 0.75f, 820, 446 }, Size { 300, 2.0f, 2188, 1188 }, Size { 225, 1.25f, 1368, 742 },
                           Size { 100 + 900, 2.5f, 2735, 1485 }, Size { 101, 0.5f, 547, 297 } })
    {
        SCOPED_TRACE (s.item);
        editor->mainMenuChosen (s.item);
        EXPECT_EQ (editor->getInterfaceScale(), s.scale);
        EXPECT_EQ (processor.uiScale.load(), s.scale);
        EXPECT_EQ (editor->getWidth(), s.width);
        EXPECT_EQ (editor->getHeight(), s.height);
    }

    editor->mainMenuChosen (175);
    EXPECT_TRUE (textOf (stateOf (processor)).contains ("uiScale=\"0.75\"")) << "saved with the plug-in state";

    for (const int ignored : { 0, -1, 7, 100 })
    {
        SCOPED_TRACE (ignored);
        const auto before = valuesOf (processor);
        editor->mainMenuChosen (ignored);
        EXPECT_EQ (valuesOf (processor), before);
        EXPECT_EQ (editor->getWidth(), 820);
    }
}

//==============================================================================
TEST_F (EditorTest, QuickSaveOverwritesTheCurrentUserPresetInPlace)
{
    const auto banana = userPreset ("Banana", 5.0f);
    ASSERT_TRUE (presets().loadFile (banana));
    setValue (processor, "rate", 7.0f);

    editor->saveButton.triggerClick();
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
    second.saveButton.triggerClick();
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
    editor->saveUnderName ("  My/Preset  ");
    EXPECT_TRUE (home.presets().getChildFile ("MyPreset.brlm").existsAsFile());
    EXPECT_EQ (presets().getCurrentName(), "MyPreset");
    EXPECT_EQ (presets().getCurrentIndex(), numFactory);

    editor->saveUnderName (" / ");
    EXPECT_EQ (presets().getUserPresets().size(), 1) << "a name that cleans to nothing saves nothing";
}

TEST_F (EditorTest, FileDialogResultsSaveWithThePresetExtensionAndLoadOnlyFiles)
{
    const auto elsewhere = home.home().getChildFile ("elsewhere");
    elsewhere.createDirectory();

    editor->saveToChosenFile (elsewhere.getChildFile ("x.txt"));
    EXPECT_TRUE (elsewhere.getChildFile ("x.brlm").existsAsFile());
    EXPECT_FALSE (elsewhere.getChildFile ("x.txt").exists());
    EXPECT_EQ (presets().getCurrentIndex(), -1) << "outside the preset folders";

    editor->saveToChosenFile ({});
    EXPECT_EQ (elsewhere.findChildFiles (juce::File::findFiles, false).size(), 1) << "cancelled";

    presets().loadDefaults();
    editor->loadChosenFile (elsewhere); // a folder
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    editor->loadChosenFile ({});
    EXPECT_EQ (presets().getCurrentIndex(), 0);
    editor->loadChosenFile (elsewhere.getChildFile ("x.brlm"));
    EXPECT_EQ (presets().getCurrentName(), "x");
}

TEST (EditorAbout, TellsWhatTheProductIsAndHowToUseIt)
{
    const auto lines = juce::StringArray::fromLines (BrellumEditor::aboutText());
    ASSERT_EQ (lines.size(), 5);
    EXPECT_EQ (lines[0], "AM, FM and rotation modulation driven by one LFO. By Tarnwick Audio.");
    EXPECT_EQ (lines[1], "");
    EXPECT_EQ (lines[2], "Drag value boxes up/down, double-click to type, alt-click for the default.");
    EXPECT_EQ (lines[3], "x Factor and Phase: click to step, shift-click to step back, hold for a list.");
    EXPECT_EQ (lines[4], "Drag on the sphere to set the rotation centre.");
}
