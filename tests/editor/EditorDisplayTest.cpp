// Tests that need a real window: mouse events through JUCE's own dispatch, popup menus,
// alert windows and file dialogs. They run on a private X display (see OnDisplay).
#include "EditorTestSupport.h"

#include <sys/resource.h>
#include <csignal>

using namespace br::test;

namespace
{
class EditorOnDisplay : public OnDisplay
{
protected:
    void SetUp() override
    {
        OnDisplay::SetUp();
        editor = std::make_unique<BrellumEditor> (processor);
        editor->setTopLeftPosition (10, 10);
        editor->addToDesktop (0);
        editor->setVisible (true);
        pumpPending();
    }

    void TearDown() override
    {
        closeEverything();
        editor.reset();
        pumpPending();
    }

    float value (const char* id) { return processor.parameters.getRawParameterValue (id)->load(); }
    br::PresetManager& presets() { return processor.presetManager; }
    void settle() { processor.parameters.copyState(); }

    /** A mouse event through the window, as the system would deliver it: JUCE finds the
        component under the mouse and calls it and its listeners. `at` is in artwork
        coordinates. */
    void mouse (juce::Point<float> at, juce::ModifierKeys buttons)
    {
        auto* peer = editor->getPeer();
        ASSERT_NE (peer, nullptr);
        const auto inWindow = editor->getLocalPoint (&editor->artwork, at);
        juce::ModifierKeys::currentModifiers = buttons;
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, inWindow, buttons,
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                juce::Time::currentTimeMillis() + (timeStep += 50));
    }

    void press (juce::Point<float> at) { mouse (at, juce::ModifierKeys::leftButtonModifier); }
    void dragTo (juce::Point<float> at) { mouse (at, juce::ModifierKeys::leftButtonModifier); }
    void release (juce::Point<float> at) { mouse (at, {}); }
    void click (juce::Point<float> at)
    {
        press (at);
        release (at);
    }

    /** Moves through a menu with the keyboard and takes the highlighted item. */
    static void chooseFromMenu (int downPresses)
    {
        auto* menu = juce::Component::getCurrentlyModalComponent();
        ASSERT_NE (menu, nullptr);
        for (int i = 0; i < downPresses; ++i)
            menu->keyPressed (juce::KeyPress (juce::KeyPress::downKey));
        menu->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    }

    static bool menuOpen() { return anythingModal() && topAlert() == nullptr; }

    TestHome home;
    BrellumProcessor processor;
    std::unique_ptr<BrellumEditor> editor;
    juce::int64 timeStep = 0;
};

/** Types `text` into a value box the way a user does: double-click, type, Return. */
void typeInto (br::ui::ValueBox& box, const juce::String& text)
{
    Mouse { box }.doubleClick ({ 10.0f, 10.0f });
    auto* field = box.getEditor();
    ASSERT_NE (field, nullptr);
    field->setText (text, false);
    field->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    pumpUntil ([&] { return ! box.isEditing(); });
}
} // namespace

TEST_F (EditorOnDisplay, UndoesAFaderDragAndAFollowingChoiceClickSeparately)
{
    // The depth fader's travel: value range inset by 21 pixels at each end.
    const float faderX = 289.0f + 16.0f;
    press ({ faderX, 125.0f + 139.0f });
    for (float y = 264.0f; y >= 200.0f; y -= 8.0f)
    {
        dragTo ({ faderX, y });
        settle(); // the tree's timer runs during a real drag, recording each step
    }
    release ({ faderX, 200.0f });
    settle();
    const auto dragged = value ("amDepth");
    ASSERT_GT (dragged, 60.0f);

    click ({ 237.0f + 27.0f, 494.0f + 13.0f }); // AM phase box: steps on release
    settle();
    ASSERT_EQ (value ("amPhase"), 1.0f);

    processor.undoManager.undo();
    EXPECT_EQ (value ("amPhase"), 0.0f);
    EXPECT_EQ (value ("amDepth"), dragged) << "the choice click was its own undo step";

    processor.undoManager.undo();
    EXPECT_EQ (value ("amDepth"), 50.0f) << "the whole drag is one undo step";
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST_F (EditorOnDisplay, EveryPressInThePanelStartsANewUndoStep)
{
    processor.undoManager.beginNewTransaction();
    editor->mixBox.setValue (30.0, juce::sendNotificationSync);
    settle();
    const auto before = processor.undoManager.getNumActionsInCurrentTransaction();
    ASSERT_GT (before, 0);

    click ({ 600.0f, 80.0f }); // bare artwork, no control
    EXPECT_EQ (processor.undoManager.getNumActionsInCurrentTransaction(), 0);
}

TEST_F (EditorOnDisplay, AClickOnThePresetFieldOpensThePresetMenuAndAChoiceLoadsIt)
{
    press ({ 300.0f, 20.0f });
    ASSERT_TRUE (pumpUntil (menuOpen)) << "the menu opens on press";
    release ({ 300.0f, 20.0f });

    chooseFromMenu (3); // header skipped: Full Reset, then two more factory presets
    ASSERT_TRUE (pumpUntil ([&] { return presets().getCurrentIndex() == 2; }));
    editor->refresh();
    EXPECT_EQ (editor->presetBar.presetField.text, "A: " + br::factoryPresets()[2].name);
}

TEST_F (EditorOnDisplay, TheMenuButtonOpensTheMainMenu)
{
    editor->presetBar.menuButton.triggerClick();
    ASSERT_TRUE (pumpUntil (menuOpen));
    chooseFromMenu (2); // Undo and Redo are disabled: Copy, then Switch
    ASSERT_TRUE (pumpUntil ([&] { return processor.activeSetup.load() == 1; }));
}

TEST_F (EditorOnDisplay, ClosingTheEditorWithAMenuOpenMakesAChoiceDoNothing)
{
    for (const bool mainMenu : { false, true })
    {
        SCOPED_TRACE (mainMenu ? "main menu" : "preset menu");
        if (editor == nullptr)
            SetUp();
        setValue (processor, "mix", 30.0f);
        if (mainMenu)
            editor->presetBar.showMainMenu();
        else
            editor->presetBar.showPresetMenu();
        ASSERT_TRUE (pumpUntil (menuOpen));

        editor.reset();
        chooseFromMenu (mainMenu ? 3 : 2); // "Reset to Default" / the second factory preset
        pumpUntil ([] { return ! anythingModal(); });
        pumpPending();
        EXPECT_EQ (value ("mix"), 30.0f);
        EXPECT_EQ (presets().getCurrentIndex(), 0);
    }
}

TEST_F (EditorOnDisplay, QuickSaveWithAFactoryPresetAsksForANameFilledWithIt)
{
    presets().loadFactory (5);
    editor->presetBar.saveButton.triggerClick();
    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));

    auto* dialog = topAlert();
    EXPECT_EQ (dialog->getName(), "Save Preset");
    EXPECT_TRUE (dialog->getDescription().contains ("Name of the new user preset:"));
    EXPECT_EQ (dialog->getTextEditorContents ("name"), br::factoryPresets()[5].name);
    EXPECT_EQ (&dialog->getLookAndFeel(), &editor->lookAndFeel);
    ASSERT_EQ (dialog->getNumButtons(), 2);

    dialog->getTextEditor ("name")->setText ("  My/Preset  ");
    dialog->exitModalState (1); // "Save"
    ASSERT_TRUE (pumpUntil ([&] { return home.presets().getChildFile ("MyPreset.brlm").existsAsFile(); }));
    EXPECT_EQ (presets().getCurrentName(), "MyPreset");
}

TEST_F (EditorOnDisplay, CancellingTheNameDialogSavesNothing)
{
    ASSERT_TRUE (choose (editor->presetBar.buildPresetMenu(), "Save Preset..."));
    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
    topAlert()->exitModalState (0);
    pumpUntil ([] { return ! anythingModal(); });
    EXPECT_FALSE (home.presets().exists());
}

TEST_F (EditorOnDisplay, ClosingTheEditorClosesItsNameDialogWithoutSaving)
{
    editor->presetBar.savePresetWithNameDialog();
    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
    juce::Component::SafePointer<juce::AlertWindow> dialog (topAlert());

    editor.reset();
    ASSERT_TRUE (pumpUntil ([&] { return dialog == nullptr; })) << "left behind without a look-and-feel";
    EXPECT_FALSE (home.presets().exists());
}

TEST_F (EditorOnDisplay, AFailedSaveTellsTheUserWhy)
{
    // The preset folder cannot be created where a file stands in its way.
    home.music().createDirectory();
    home.music().getChildFile ("Quorvane").replaceWithText ("in the way");

    editor->presetBar.saveUnderName ("Lost");
    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
    EXPECT_EQ (topAlert()->getName(), "Preset not saved");
    EXPECT_TRUE (topAlert()->getDescription().contains ("could not be created")) << topAlert()->getDescription();
    EXPECT_EQ (presets().getCurrentName(), "Full Reset") << "nothing changed";
}

TEST_F (EditorOnDisplay, AFailedQuickSaveOfAFullDiskTellsTheUser)
{
    const auto banana = home.presets().getChildFile ("Banana.brlm");
    editor->presetBar.saveUnderName ("Banana");
    ASSERT_TRUE (banana.existsAsFile());
    const auto before = banana.loadFileAsString();
    setValue (processor, "mix", 10.0f);

    // A file size limit makes writes come up short, as a full disk does.
    rlimit previous {};
    getrlimit (RLIMIT_FSIZE, &previous);
    auto* previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit tiny { 64, previous.rlim_max };
    setrlimit (RLIMIT_FSIZE, &tiny);
    editor->presetBar.saveButton.triggerClick();
    pumpPending();
    setrlimit (RLIMIT_FSIZE, &previous);
    std::signal (SIGXFSZ, previousHandler);

    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
    EXPECT_EQ (topAlert()->getName(), "Preset not saved");
    EXPECT_TRUE (topAlert()->getDescription().contains ("Banana.brlm")) << topAlert()->getDescription();
    EXPECT_EQ (banana.loadFileAsString(), before) << "the old preset is intact";
    EXPECT_TRUE (processor.modified.load()) << "and the edit is not marked as saved";
}

TEST_F (EditorOnDisplay, ADeleteThatCannotFindItsFileTellsTheUserAndDeletesNothing)
{
    const auto banana = home.presets().getChildFile ("Banana.brlm");
    editor->presetBar.saveUnderName ("Banana");
    ASSERT_TRUE (banana.existsAsFile());

    // Another preset now stands at Banana's position in the list.
    const auto aardvark = writeFile (home.presets(), "Aardvark.brlm", presetText (paramXml ("rate", "1")));
    ASSERT_TRUE (choose (editor->presetBar.buildPresetMenu(), "Delete \"Banana\""));

    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
    EXPECT_EQ (topAlert()->getName(), "Preset not deleted");
    EXPECT_TRUE (banana.existsAsFile());
    EXPECT_TRUE (aardvark.existsAsFile());
    EXPECT_EQ (presets().getCurrentName(), "Banana") << "no defaults loaded after a failed delete";
}

TEST_F (EditorOnDisplay, SavingToAnExistingFileAsksAboutTheFileWithItsExtension)
{
    const auto x = writeFile (home.presets(), "x.brlm", presetText (paramXml ("rate", "1")));
    const auto before = x.loadFileAsString();

    for (const auto* typed : { "x", "x.brlm", "x.txt" })
    {
        SCOPED_TRACE (typed);
        for (const int answer : { 0, 1 })
        {
            editor->presetBar.saveToChosenFile (home.presets().getChildFile (typed));
            ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
            EXPECT_EQ (topAlert()->getName(), "File already exists");
            EXPECT_TRUE (topAlert()->getDescription().contains (x.getFullPathName()));
            EXPECT_EQ (x.loadFileAsString(), before) << "nothing written before the answer";

            topAlert()->exitModalState (answer);
            pumpUntil ([] { return ! anythingModal(); });
            pumpPending();
            if (answer == 0)
                EXPECT_EQ (x.loadFileAsString(), before) << "cancelled";
            else
                EXPECT_TRUE (pumpUntil ([&] { return x.loadFileAsString() != before; })) << "overwritten after a yes";
            x.replaceWithText (before, false, false, nullptr);
        }
    }
    EXPECT_EQ (home.presets().findChildFiles (juce::File::findFiles, false).size(), 1);
}

TEST_F (EditorOnDisplay, QuickSaveAfterTheFolderChangedAsksForANameInsteadOfOverwriting)
{
    const auto banana = home.presets().getChildFile ("Banana.brlm");
    editor->presetBar.saveUnderName ("Banana");
    const auto aardvark = writeFile (home.presets(), "Aardvark.brlm", presetText (paramXml ("rate", "1")));
    const auto aardvarkText = aardvark.loadFileAsString();

    editor->presetBar.saveButton.triggerClick();
    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
    EXPECT_EQ (topAlert()->getName(), "Save Preset");
    EXPECT_EQ (aardvark.loadFileAsString(), aardvarkText);
}

TEST_F (EditorOnDisplay, TheLogoOpensTheAboutBox)
{
    editor->presetBar.logoButton.triggerClick();
    ASSERT_TRUE (pumpUntil ([] { return topAlert() != nullptr; }));
    EXPECT_EQ (topAlert()->getName(), "Quorvane " BR_VERSION_STRING);
    EXPECT_TRUE (topAlert()->getDescription().contains (PresetBar::aboutText()));
    ASSERT_EQ (topAlert()->getNumButtons(), 1);

    ASSERT_TRUE (choose (editor->presetBar.buildMainMenu(), "About Quorvane"));
    ASSERT_TRUE (pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 2; }));
}

TEST_F (EditorOnDisplay, FileDialogsOpenAndGoWithTheEditor)
{
    ASSERT_TRUE (choose (editor->presetBar.buildPresetMenu(), "Save Preset to File..."));
    ASSERT_NE (editor->presetBar.fileChooser, nullptr);
    ASSERT_TRUE (pumpUntil (anythingModal)) << "the save dialog is up";
    EXPECT_TRUE (home.presets().isDirectory()) << "the save dialog creates the folder to start in";

    ASSERT_TRUE (choose (editor->presetBar.buildPresetMenu(), "Load Preset from File..."));
    ASSERT_NE (editor->presetBar.fileChooser, nullptr);

    editor.reset();
    ASSERT_TRUE (pumpUntil ([] { return ! anythingModal(); })) << "the dialog closes with its editor";
    EXPECT_EQ (presets().getCurrentIndex(), 0);
}

TEST_F (EditorOnDisplay, TypedTextReachesTheParameters)
{
    struct Case
    {
        const char* what;
        br::ui::ValueBox BrellumEditor::*box;
        const char* typed;
        const char* parameter;
        float expected;
    };
    const Case cases[] {
        { "decimal comma in Hz", &BrellumEditor::hzBox, "1,5", "rate", 1.5f },
        { "unit in Hz", &BrellumEditor::hzBox, "2.5 Hz", "rate", 2.5f },
        { "BPM becomes Hz", &BrellumEditor::bpmBox, "120", "rate", 2.0f },
        { "1,000 BPM is 1 BPM, 1/60 Hz snapped to 0.02", &BrellumEditor::bpmBox, "1,000", "rate", 0.02f },
        { "unreadable Hz gives the minimum", &BrellumEditor::hzBox, "abc", "rate", 0.01f },
        { "gain with unit", &BrellumEditor::gainBox, "-3 dB", "gain", -3.0f },
        { "gain with plus", &BrellumEditor::gainBox, "+6", "gain", 6.0f },
        { "gain beyond the range", &BrellumEditor::gainBox, "40", "gain", 12.0f },
        { "mix", &BrellumEditor::mixBox, "52 %", "mix", 52.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        typeInto ((*editor).*(c.box), c.typed);
        EXPECT_NEAR (value (c.parameter), c.expected, 1.0e-6f);
    }
}
