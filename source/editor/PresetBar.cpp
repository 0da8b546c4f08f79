#include "editor/PluginEditor.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

namespace
{
using br::PresetManager;

constexpr auto presetExtension = ".brlm";

/** The sizes of the "Interface Size" menu, in percent; item id = 100 + percent. */
constexpr int sizePercents[] { 75, 100, 125, 150, 175, 200 };

juce::String quoted (const juce::File& file) { return "\"" + file.getFullPathName() + "\""; }

/** Why a preset could not be written to `target`. The preset manager only says that
    it failed, so the reason is read off the file system after the fact. */
juce::String whyNotWritten (const juce::File& target)
{
    const auto folder = target.getParentDirectory();

    if (! folder.isDirectory())
        return "The folder " + quoted (folder) + " does not exist and could not be created.";
    if (target.isDirectory())
        return quoted (target) + " is a folder.";
    if (! folder.hasWriteAccess())
        return "The folder " + quoted (folder) + " is read-only.";
    if (folder.getBytesFreeOnVolume() < 64 * 1024)
        return "The disk holding " + quoted (folder) + " is full.";
    return "The file " + quoted (target) + " could not be written.";
}

/** A dialog of the preset bar. It takes the keyboard focus as soon as its window can
    hold it, so that the user can type or press Return at once: the framework grabs the
    focus while the window is being shown, before it is mapped, and without a window
    manager (or with one that does not focus new windows) that grab is lost and keys
    go nowhere until the user clicks. The grab is repeated until it holds, for at
    most two seconds; a text field then has its text selected, so typing replaces it. */
class PresetDialog : public juce::AlertWindow, private juce::Timer
{
public:
    PresetDialog (const juce::String& title, const juce::String& message, juce::MessageBoxIconType icon,
                  juce::Component* associated)
        : juce::AlertWindow (title, message, icon, associated)
    {
    }

    /** Starts taking the focus for `target`, a child of the dialog, or for the dialog
        itself (for its Return and Escape keys) when `target` is null. */
    void takeFocusWhenShowing (juce::Component* target)
    {
        focusTarget = target;
        triesLeft = 100;
        startTimer (20);
    }

private:
    void timerCallback() override
    {
        auto* target = focusTarget != nullptr ? focusTarget.getComponent() : this;
        if (target->hasKeyboardFocus (false))
        {
            stopTimer();
            if (auto* field = dynamic_cast<juce::TextEditor*> (target))
                field->selectAll();
            return;
        }
        if (--triesLeft < 0)
        {
            stopTimer();
            return;
        }
        if (isShowing())
            target->grabKeyboardFocus();
    }

    juce::Component::SafePointer<juce::Component> focusTarget;
    int triesLeft = 0;
};

/** Shows a dialog without blocking; it deletes itself when dismissed. */
void show (PresetDialog& dialog, juce::Component* focusTarget, std::function<void (int)> onResult)
{
    dialog.enterModalState (true, juce::ModalCallbackFunction::create (std::move (onResult)), true);
    dialog.takeFocusWhenShowing (focusTarget);
}

juce::String whyNotDeleted (const juce::File& file)
{
    if (! file.existsAsFile())
        return "The file " + quoted (file) + " no longer exists.";
    if (! file.getParentDirectory().hasWriteAccess())
        return "The folder " + quoted (file.getParentDirectory()) + " is read-only.";
    return "The file " + quoted (file) + " could not be deleted.";
}
} // namespace

//==============================================================================
BrellumEditor::PresetField::PresetField() = default;
BrellumEditor::PresetField::~PresetField() = default;

void BrellumEditor::PresetField::mouseEnter (const juce::MouseEvent&) { repaint(); }
void BrellumEditor::PresetField::mouseExit (const juce::MouseEvent&) { repaint(); }

void BrellumEditor::PresetField::mouseDown (const juce::MouseEvent&)
{
    // On press, not release: the menu is already open when the button comes up.
    if (onClick)
        onClick();
}

void BrellumEditor::PresetField::paint (juce::Graphics& g)
{
    namespace colours = br::ui::colours;
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    g.setColour (isMouseOver() ? colours::topField.brighter (0.1f) : colours::topField);
    g.fillRoundedRectangle (0.0f, 0.0f, w, h, 5.0f);
    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x80));
    g.drawRoundedRectangle (0.5f, 0.5f, juce::jmax (w - 1.0f, 0.0f), juce::jmax (h - 1.0f, 0.0f), 5.0f, 1.0f);

    // The right 30 pixels hold the drop-down mark.
    g.setColour (colours::text);
    g.setFont (br::ui::font (15.0f, false, false));
    g.drawText (text, juce::Rectangle<float> (0.0f, 0.0f, juce::jmax (w - 30.0f, 0.0f), h),
                juce::Justification::centred, true);

    g.setColour (colours::textDim);
    g.drawLine (w - 24.0f, 6.0f, w - 24.0f, h - 6.0f, 1.2f);

    g.setColour (colours::text);
    juce::Path arrow;
    arrow.addTriangle (w - 16.0f, h / 2.0f - 2.5f, w - 8.0f, h / 2.0f - 2.5f, w - 12.0f, h / 2.0f + 3.5f);
    g.fillPath (arrow);
}

//==============================================================================
juce::PopupMenu BrellumEditor::buildPresetMenu (const juce::Array<juce::File>& userPresets) const
{
    auto& presets = processor.presetManager;
    const auto numFactory = PresetManager::numFactoryPresets();
    const auto current = presets.current();

    juce::PopupMenu menu;
    menu.addSectionHeader ("Factory Presets");
    for (int i = 0; i < numFactory; ++i)
        menu.addItem (1000 + i, presets.getPresetName (i), true, current.index == i);

    menu.addSectionHeader ("User Presets");
    if (userPresets.isEmpty())
        menu.addItem (-1, "(none saved yet)", false, false);
    for (int j = 0; j < userPresets.size(); ++j)
        menu.addItem (2000 + j, userPresets[j].getFileNameWithoutExtension(), true, current.index == numFactory + j);

    menu.addSeparator();
    menu.addItem (1, "Save Preset...");
    menu.addItem (2, "Save Preset to File...");
    menu.addItem (3, "Load Preset from File...");
    menu.addItem (4, "Delete \"" + current.name + "\"", current.index >= numFactory, false);
    menu.addItem (5, "Show Presets Folder");
    menu.addSeparator();
    menu.addItem (6, "Reset to Default");
    return menu;
}

void BrellumEditor::presetMenuChosen (int result, const juce::Array<juce::File>& userPresets)
{
    auto& presets = processor.presetManager;

    if (result >= 2000)
    {
        if (juce::isPositiveAndBelow (result - 2000, userPresets.size()))
            presets.loadFile (userPresets[result - 2000]);
    }
    else if (result >= 1000)
    {
        presets.loadFactory (result - 1000);
    }
    else if (result == 1)
    {
        savePresetWithNameDialog();
    }
    else if (result == 2)
    {
        savePresetToFile();
    }
    else if (result == 3)
    {
        loadPresetFromFile();
    }
    else if (result == 4)
    {
        deleteCurrentPreset();
    }
    else if (result == 5)
    {
        const auto folder = PresetManager::userDirectory();
        folder.createDirectory();
        if (openFolder)
            openFolder (folder);
    }
    else if (result == 6)
    {
        presets.loadDefaults();
    }
}

void BrellumEditor::showPresetMenu()
{
    // The item numbers refer to the list as it was when the menu opened, so that list
    // travels with the callback.
    const auto userPresets = processor.presetManager.getUserPresets();
    buildPresetMenu (userPresets)
        .showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&presetField),
                        [editor = SafePointer<BrellumEditor> (this), userPresets] (int result)
                        {
                            if (editor != nullptr && result != 0)
                                editor->presetMenuChosen (result, userPresets);
                        });
}

juce::PopupMenu BrellumEditor::buildMainMenu() const
{
    const auto live = processor.activeSetup.load() == 0 ? juce::String ("A") : juce::String ("B");
    const auto other = live == "A" ? juce::String ("B") : juce::String ("A");
    const auto percent = juce::roundToInt (100.0f * scale);

    juce::PopupMenu sizes;
    for (const auto size : sizePercents)
        sizes.addItem (100 + size, juce::String (size) + "%", true, percent == size);

    juce::PopupMenu menu;
    menu.addItem (1, "Undo", processor.undoManager.canUndo(), false);
    menu.addItem (2, "Redo", processor.undoManager.canRedo(), false);
    menu.addSeparator();
    menu.addItem (3, "Copy Setup " + live + " " + juce::String::charToString (0x2192) + " " + other);
    menu.addItem (4, "Switch to Setup " + other);
    menu.addItem (5, "Reset to Default");
    menu.addSeparator();
    menu.addSubMenu ("Interface Size", sizes);
    menu.addSeparator();
    menu.addItem (6, "About Quorvane");
    return menu;
}

void BrellumEditor::mainMenuChosen (int result)
{
    switch (result)
    {
        case 1: processor.undoManager.undo(); break;
        case 2: processor.undoManager.redo(); break;
        case 3: processor.copySetupToOther(); break;
        case 4: processor.selectSetup (1 - processor.activeSetup.load()); break;
        case 5: processor.presetManager.loadDefaults(); break;
        case 6: showAbout(); break;
        default:
            if (result > 100)
                setInterfaceScale ((float) (result - 100) / 100.0f);
            break;
    }
}

void BrellumEditor::showMainMenu()
{
    buildMainMenu().showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&menuButton),
                                   [editor = SafePointer<BrellumEditor> (this)] (int result)
                                   {
                                       if (editor != nullptr && result != 0)
                                           editor->mainMenuChosen (result);
                                   });
}

//==============================================================================
void BrellumEditor::quickSave()
{
    auto& presets = processor.presetManager;

    switch (presets.quickSave())
    {
        case PresetManager::QuickSave::saved: break;
        case PresetManager::QuickSave::needsName: savePresetWithNameDialog(); break;
        // A failed save changes nothing, so the preset's file is still the one tried.
        case PresetManager::QuickSave::failed:
            showFailure ("Preset not saved", whyNotWritten (presets.currentUserFile()));
            break;
    }
}

void BrellumEditor::deleteCurrentPreset()
{
    auto& presets = processor.presetManager;

    if (presets.deleteCurrent())
    {
        presets.loadDefaults();
        return;
    }

    // Nothing changed: the preset's file, if it has one, is still the one tried.
    if (const auto target = presets.currentUserFile(); target != juce::File())
        showFailure ("Preset not deleted", whyNotDeleted (target));
    else if (presets.getCurrentIndex() >= PresetManager::numFactoryPresets())
        showFailure ("Preset not deleted",
                     "The preset folder has changed since \"" + presets.getCurrentName()
                         + "\" was loaded, so its file cannot be told apart from another preset's. "
                           "Nothing was deleted.");
}

void BrellumEditor::saveUnderName (const juce::String& typedName)
{
    const auto name = juce::File::createLegalFileName (typedName.trim());
    if (name.isEmpty())
        return;

    writePreset (PresetManager::userDirectory().getChildFile (name + presetExtension));
}

void BrellumEditor::saveToChosenFile (const juce::File& chosen)
{
    if (chosen == juce::File())
        return;

    // The dialog's own overwrite question saw the typed name; the file written is that
    // name with the preset extension, so the question is asked here, about that file.
    const auto target = chosen.withFileExtension (presetExtension);
    if (target.existsAsFile())
        confirmOverwrite (target);
    else
        writePreset (target);
}

void BrellumEditor::confirmOverwrite (const juce::File& target)
{
    auto* dialog = new PresetDialog ("File already exists",
                                     "There's already a file called: " + target.getFullPathName()
                                         + "\n\nAre you sure you want to overwrite it?",
                                     juce::MessageBoxIconType::WarningIcon, this);
    dialog->setLookAndFeel (&lookAndFeel);
    dialog->addButton ("Overwrite", 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
    openDialog = dialog;
    show (*dialog, nullptr, [editor = SafePointer<BrellumEditor> (this), target] (int result)
    {
        if (result == 1 && editor != nullptr)
            editor->writePreset (target);
    });
}

void BrellumEditor::writePreset (const juce::File& target)
{
    if (! processor.presetManager.saveToFile (target))
        showFailure ("Preset not saved", whyNotWritten (target));
}

void BrellumEditor::loadChosenFile (const juce::File& chosen)
{
    if (chosen.getFullPathName().isNotEmpty() && chosen.existsAsFile())
        processor.presetManager.loadFile (chosen);
}

//==============================================================================
void BrellumEditor::savePresetWithNameDialog()
{
    auto* dialog = new PresetDialog ("Save Preset", "Name of the new user preset:", juce::MessageBoxIconType::NoIcon,
                                     this);
    dialog->setLookAndFeel (&lookAndFeel);
    dialog->addTextEditor ("name", processor.presetManager.getCurrentName(), {});
    dialog->addButton ("Save", 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));

    openDialog = dialog;
    show (*dialog, dialog->getTextEditor ("name"),
                [editor = SafePointer<BrellumEditor> (this), window = SafePointer<juce::AlertWindow> (dialog)] (int result)
                {
                    if (result != 1 || editor == nullptr)
                        return;
                    const auto typed = window != nullptr ? window->getTextEditorContents ("name") : juce::String();
                    editor->saveUnderName (typed);
                });
}

void BrellumEditor::savePresetToFile()
{
    const auto folder = PresetManager::userDirectory();
    folder.createDirectory();

    // A name taken from a file's "name" attribute may hold a slash; it must not point
    // the dialog into another folder.
    const auto start = folder.getChildFile (
        juce::File::createLegalFileName (processor.presetManager.getCurrentName()) + presetExtension);
    fileChooser = std::make_unique<juce::FileChooser> ("Save Quorvane Preset", start, "*.brlm");
    // Without canSelectFiles the framework's own dialog lists no files to pick or to
    // overwrite, and it rejects the flags outright in a debug build.
    // No overwrite warning from the dialog: it would judge the typed name, which may lack
    // the extension that the written file gets. saveToChosenFile asks about the real one.
    fileChooser->launchAsync (juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles,
                              [editor = SafePointer<BrellumEditor> (this)] (const juce::FileChooser& chooser)
                              {
                                  if (editor != nullptr)
                                      editor->saveToChosenFile (chooser.getResult());
                              });
}

void BrellumEditor::loadPresetFromFile()
{
    fileChooser = std::make_unique<juce::FileChooser> ("Load Quorvane Preset", PresetManager::userDirectory(),
                                                       "*.brlm");
    fileChooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                              [editor = SafePointer<BrellumEditor> (this)] (const juce::FileChooser& chooser)
                              {
                                  if (editor != nullptr)
                                      editor->loadChosenFile (chooser.getResult());
                              });
}

juce::String BrellumEditor::aboutText()
{
    return "AM, FM and rotation modulation driven by one LFO. By Tarnwick Audio.\n"
           "\n"
           "Drag value boxes up/down, double-click to type, alt-click for the default.\n"
           "x Factor and Phase: click to step, shift-click to step back, hold for a list.\n"
           "Drag on the sphere to set the rotation centre.";
}

void BrellumEditor::showAbout()
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::NoIcon, "Quorvane " BR_VERSION_STRING, aboutText(), "OK", this);
}

void BrellumEditor::showFailure (const juce::String& title, const juce::String& reason)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, reason, "OK", this);
}
