#pragma once
#include "plugin/BrellumProcessor.h"
#include "ui/BarButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** The editor's top strip: logo, undo and redo, the preset line with its menu, preset
    stepping, the A/B set-up buttons, quick save and the main menu, with the dialogs,
    file choosers and about box they open.

    It spans the whole width of the panel from its top edge, so its children stand at
    the panel's own coordinates. It draws nothing itself (the strip is part of the
    panel's picture) and lets clicks between its controls through to the panel. The
    menus are built from the current state each time they open; each item carries its
    own action, so a menu can be checked and its items run without a menu on screen. */
class PresetBar : public juce::Component
{
public:
    static constexpr int height = 46;

    /** `dialogLookAndFeel` dresses the name and overwrite dialogs and must outlive the
        bar. `interfaceScale` and `setInterfaceScale` read and apply the editor's
        "Interface Size". */
    PresetBar (BrellumProcessor&, juce::LookAndFeel& dialogLookAndFeel, std::function<float()> interfaceScale,
               std::function<void (float)> setInterfaceScale);
    ~PresetBar() override;

    /** The preset line: live set-up letter, preset name and "*" when modified, with a
        drop-down mark. Opens the preset menu on press. */
    class PresetField : public juce::Component, public juce::SettableTooltipClient
    {
    public:
        PresetField();
        ~PresetField() override;

        juce::String text;
        std::function<void()> onClick;

        void mouseEnter (const juce::MouseEvent&) override;
        void mouseExit (const juce::MouseEvent&) override;
        void mouseDown (const juce::MouseEvent&) override;
        void paint (juce::Graphics&) override;
    };

    void resized() override;

    /** Carries the preset name, the live set-up and the undo history into the controls;
        repaints the preset line only when its text changed. */
    void refresh();

    void showPresetMenu();
    void showMainMenu();
    void savePresetWithNameDialog();
    void savePresetToFile();
    void loadPresetFromFile();
    void showAbout();

    /** The preset menu for the user presets in the folder now. Each user item keeps
        the file it showed, whatever happens to the folder before it is chosen. */
    juce::PopupMenu buildPresetMenu();
    juce::PopupMenu buildMainMenu();

    /** The save button: overwrites the current user preset's own file, or asks for a
        name when there is no such file. */
    void quickSave();
    /** The preset menu's delete item: deletes the current user preset's own file and
        then loads the defaults; tells the user when nothing could be deleted. */
    void deleteCurrentPreset();
    /** What the file dialogs do with their result; an empty file (cancelled) does nothing.
        The preset is written to the chosen file with the preset extension; when that
        file exists, the user is asked first and nothing is written without a yes. */
    void saveToChosenFile (const juce::File& chosen);
    void loadChosenFile (const juce::File& chosen);
    /** Saves the user preset named `typedName` (trimmed, made a legal file name). */
    void saveUnderName (const juce::String& typedName);

    /** The about box's message. */
    static juce::String aboutText();

    // The controls, left to right. Public so that tests can drive them as a user would.
    br::ui::BarButton logoButton;
    br::ui::BarButton undoButton;
    br::ui::BarButton redoButton;
    PresetField presetField;
    br::ui::BarButton prevButton;
    br::ui::BarButton nextButton;
    br::ui::BarButton copyButton;
    br::ui::BarButton setupButton;
    br::ui::BarButton saveButton;
    br::ui::BarButton menuButton;

    std::unique_ptr<juce::FileChooser> fileChooser;
    /** Shows a folder in the system's file browser ("Show Presets Folder"). */
    std::function<void (const juce::File&)> openFolder = [] (const juce::File& folder) { folder.startAsProcess(); };

private:
    /** Dialogs and message boxes centre on the whole editor, not on this strip. */
    juce::Component* dialogOwner();
    /** Tells the user why a preset could not be written or deleted. */
    void showFailure (const juce::String& title, const juce::String& reason);
    /** Asks whether `target` may be overwritten, and writes the preset there on a yes. */
    void confirmOverwrite (const juce::File& target);
    /** Writes the current preset to `target`; tells the user why when that fails. */
    void writePreset (const juce::File& target);
    void showPresetsFolder();
    /** A menu item's action: runs `action` on this bar if it still exists. */
    std::function<void()> guarded (std::function<void (PresetBar&)> action);
    void switchSetup();

    BrellumProcessor& processor;
    juce::LookAndFeel& dialogLookAndFeel;
    std::function<float()> interfaceScale;
    std::function<void (float)> setInterfaceScale;

    // The open preset dialog (name or overwrite question), if any. It uses the editor's
    // look-and-feel, which dies soon after us, so the destructor closes it first.
    juce::Component::SafePointer<juce::AlertWindow> openDialog;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetBar)
};
