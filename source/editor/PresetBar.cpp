#include "editor/PresetBar.h"
#include "ui/FocusedDialog.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

namespace
{
using br::PresetManager;
using Icon = br::ui::BarButton::Icon;

constexpr auto presetExtension = ".brlm";

/** The sizes of the "Interface Size" menu, in percent. */
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
PresetBar::PresetField::PresetField() = default;
PresetBar::PresetField::~PresetField() = default;

void PresetBar::PresetField::mouseEnter (const juce::MouseEvent&) { repaint(); }
void PresetBar::PresetField::mouseExit (const juce::MouseEvent&) { repaint(); }

void PresetBar::PresetField::mouseDown (const juce::MouseEvent&)
{
    // On press, not release: the menu is already open when the button comes up.
    if (onClick)
        onClick();
}

void PresetBar::PresetField::paint (juce::Graphics& g)
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
PresetBar::PresetBar (BrellumProcessor& p, juce::LookAndFeel& dialogLook, std::function<float()> getScale,
                      std::function<void (float)> setScale)
    : logoButton ("logo", Icon::logo),
      undoButton ("undo", Icon::undo),
      redoButton ("redo", Icon::redo),
      prevButton ("prev", Icon::prev),
      nextButton ("next", Icon::next),
      copyButton ("copy", Icon::none),
      setupButton ("setup", Icon::none),
      saveButton ("save", Icon::save),
      menuButton ("menu", Icon::menu),
      processor (p),
      dialogLookAndFeel (dialogLook),
      interfaceScale (std::move (getScale)),
      setInterfaceScale (std::move (setScale))
{
    // The strip between the controls belongs to the panel.
    setInterceptsMouseClicks (false, true);

    for (auto* child : std::initializer_list<juce::Component*> { &logoButton, &undoButton, &redoButton, &presetField,
                                                                 &prevButton, &nextButton, &copyButton, &setupButton,
                                                                 &saveButton, &menuButton })
        addAndMakeVisible (child);

    copyButton.framed = true;
    setupButton.framed = true;

    logoButton.onClick = [this] { showAbout(); };
    undoButton.onClick = [this] { processor.undoManager.undo(); };
    redoButton.onClick = [this] { processor.undoManager.redo(); };
    presetField.onClick = [this] { showPresetMenu(); };
    prevButton.onClick = [this] { processor.presetManager.step (-1); };
    nextButton.onClick = [this] { processor.presetManager.step (+1); };
    copyButton.onClick = [this] { processor.copySetupToOther(); };
    setupButton.onClick = [this] { switchSetup(); };
    saveButton.onClick = [this] { quickSave(); };
    menuButton.onClick = [this] { showMainMenu(); };

    undoButton.setTooltip ("Undo");
    redoButton.setTooltip ("Redo");
    presetField.setTooltip ("Presets: factory and user presets, save and load");
    prevButton.setTooltip ("Previous preset");
    nextButton.setTooltip ("Next preset");
    copyButton.setTooltip ("Copy the current setup to the other one");
    setupButton.setTooltip ("Switch between setups A and B for comparison");
    saveButton.setTooltip ("Save preset");
    menuButton.setTooltip ("Menu");
}

PresetBar::~PresetBar()
{
    if (auto* dialog = openDialog.getComponent())
    {
        // Its callback finds us gone and does nothing; it must not outlive its look-and-feel.
        dialog->setLookAndFeel (nullptr);
        dialog->exitModalState (0);
    }
}

void PresetBar::resized()
{
    // Panel coordinates: the bar stands at the panel's top left corner.
    const std::pair<juce::Component*, juce::Rectangle<int>> layout[] {
        { &logoButton, { 8, 9, 32, 28 } },    { &undoButton, { 48, 9, 28, 28 } },
        { &redoButton, { 80, 9, 28, 28 } },   { &presetField, { 132, 8, 553, 30 } },
        { &prevButton, { 708, 8, 28, 30 } },  { &nextButton, { 740, 8, 28, 30 } },
        { &copyButton, { 795, 8, 76, 30 } },  { &setupButton, { 901, 8, 77, 30 } },
        { &saveButton, { 1010, 8, 30, 30 } }, { &menuButton, { 1056, 8, 30, 30 } },
    };

    for (const auto& [child, bounds] : layout)
        child->setBounds (bounds);
}

void PresetBar::refresh()
{
    const auto live = processor.activeSetup.load() == 0 ? juce::String ("A") : juce::String ("B");
    const auto other = live == "A" ? juce::String ("B") : juce::String ("A");
    const auto line = live + ": " + processor.presetManager.getCurrentName() + (processor.modified.load() ? "*" : "");
    if (presetField.text != line)
    {
        presetField.text = line;
        presetField.repaint();
    }
    copyButton.setButtonText (live + " " + juce::String::charToString (0x2192) + " " + other);
    setupButton.setButtonText ("Setup " + live);

    undoButton.setEnabled (processor.undoManager.canUndo());
    redoButton.setEnabled (processor.undoManager.canRedo());
}

void PresetBar::switchSetup() { processor.selectSetup (1 - processor.activeSetup.load()); }

//==============================================================================
std::function<void()> PresetBar::guarded (std::function<void (PresetBar&)> action)
{
    // The menus are asynchronous: an item may be chosen after the bar has gone.
    return [bar = SafePointer<PresetBar> (this), action = std::move (action)]
    {
        if (bar != nullptr)
            action (*bar);
    };
}

juce::PopupMenu PresetBar::buildPresetMenu()
{
    auto& presets = processor.presetManager;
    const auto numFactory = PresetManager::numFactoryPresets();
    const auto current = presets.current();
    const auto userPresets = presets.getUserPresets();

    juce::PopupMenu menu;
    menu.addSectionHeader ("Factory Presets");
    for (int i = 0; i < numFactory; ++i)
        menu.addItem (presets.getPresetName (i), true, current.index == i,
                      guarded ([i] (PresetBar& bar) { bar.processor.presetManager.loadFactory (i); }));

    menu.addSectionHeader ("User Presets");
    if (userPresets.isEmpty())
        menu.addItem ("(none saved yet)", false, false, nullptr);
    for (int j = 0; j < userPresets.size(); ++j)
        menu.addItem (userPresets[j].getFileNameWithoutExtension(), true, current.index == numFactory + j,
                      guarded ([file = userPresets[j]] (PresetBar& bar)
                               { bar.processor.presetManager.loadFile (file); }));

    menu.addSeparator();
    menu.addItem ("Save Preset...", true, false, guarded ([] (PresetBar& bar) { bar.savePresetWithNameDialog(); }));
    menu.addItem ("Save Preset to File...", true, false, guarded ([] (PresetBar& bar) { bar.savePresetToFile(); }));
    menu.addItem ("Load Preset from File...", true, false, guarded ([] (PresetBar& bar) { bar.loadPresetFromFile(); }));
    menu.addItem ("Delete \"" + current.name + "\"", current.index >= numFactory, false,
                  guarded ([] (PresetBar& bar) { bar.deleteCurrentPreset(); }));
    menu.addItem ("Show Presets Folder", true, false, guarded ([] (PresetBar& bar) { bar.showPresetsFolder(); }));
    menu.addSeparator();
    menu.addItem ("Reset to Default", true, false,
                  guarded ([] (PresetBar& bar) { bar.processor.presetManager.loadDefaults(); }));
    return menu;
}

void PresetBar::showPresetsFolder()
{
    const auto folder = PresetManager::userDirectory();
    folder.createDirectory();
    if (openFolder)
        openFolder (folder);
}

void PresetBar::showPresetMenu()
{
    buildPresetMenu().showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&presetField));
}

juce::PopupMenu PresetBar::buildMainMenu()
{
    const auto live = processor.activeSetup.load() == 0 ? juce::String ("A") : juce::String ("B");
    const auto other = live == "A" ? juce::String ("B") : juce::String ("A");
    const auto percent = juce::roundToInt (100.0f * interfaceScale());

    juce::PopupMenu sizes;
    for (const auto size : sizePercents)
        sizes.addItem (juce::String (size) + "%", true, percent == size,
                       guarded ([size] (PresetBar& bar) { bar.setInterfaceScale ((float) size / 100.0f); }));

    juce::PopupMenu menu;
    menu.addItem ("Undo", processor.undoManager.canUndo(), false,
                  guarded ([] (PresetBar& bar) { bar.processor.undoManager.undo(); }));
    menu.addItem ("Redo", processor.undoManager.canRedo(), false,
                  guarded ([] (PresetBar& bar) { bar.processor.undoManager.redo(); }));
    menu.addSeparator();
    menu.addItem ("Copy Setup " + live + " " + juce::String::charToString (0x2192) + " " + other, true, false,
                  guarded ([] (PresetBar& bar) { bar.processor.copySetupToOther(); }));
    // The set-up to switch to is read when the item is chosen.
    menu.addItem ("Switch to Setup " + other, true, false, guarded ([] (PresetBar& bar) { bar.switchSetup(); }));
    menu.addItem ("Reset to Default", true, false,
                  guarded ([] (PresetBar& bar) { bar.processor.presetManager.loadDefaults(); }));
    menu.addSeparator();
    menu.addSubMenu ("Interface Size", sizes);
    menu.addSeparator();
    menu.addItem ("About Quorvane", true, false, guarded ([] (PresetBar& bar) { bar.showAbout(); }));
    return menu;
}

void PresetBar::showMainMenu()
{
    buildMainMenu().showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&menuButton));
}

//==============================================================================
void PresetBar::quickSave()
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

void PresetBar::deleteCurrentPreset()
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

void PresetBar::saveUnderName (const juce::String& typedName)
{
    const auto name = juce::File::createLegalFileName (typedName.trim());
    if (name.isEmpty())
        return;

    writePreset (PresetManager::userDirectory().getChildFile (name + presetExtension));
}

void PresetBar::saveToChosenFile (const juce::File& chosen)
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

void PresetBar::confirmOverwrite (const juce::File& target)
{
    auto* dialog = new br::ui::FocusedDialog ("File already exists",
                                     "There's already a file called: " + target.getFullPathName()
                                         + "\n\nAre you sure you want to overwrite it?",
                                     juce::MessageBoxIconType::WarningIcon, dialogOwner());
    dialog->setLookAndFeel (&dialogLookAndFeel);
    dialog->addButton ("Overwrite", 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
    openDialog = dialog;
    br::ui::FocusedDialog::show (*dialog, nullptr, [bar = SafePointer<PresetBar> (this), target] (int result)
    {
        if (result == 1 && bar != nullptr)
            bar->writePreset (target);
    });
}

void PresetBar::writePreset (const juce::File& target)
{
    if (! processor.presetManager.saveToFile (target))
        showFailure ("Preset not saved", whyNotWritten (target));
}

void PresetBar::loadChosenFile (const juce::File& chosen)
{
    if (chosen.getFullPathName().isNotEmpty() && chosen.existsAsFile())
        processor.presetManager.loadFile (chosen);
}

//==============================================================================
void PresetBar::savePresetWithNameDialog()
{
    auto* dialog = new br::ui::FocusedDialog ("Save Preset", "Name of the new user preset:", juce::MessageBoxIconType::NoIcon,
                                     dialogOwner());
    dialog->setLookAndFeel (&dialogLookAndFeel);
    dialog->addTextEditor ("name", processor.presetManager.getCurrentName(), {});
    dialog->addButton ("Save", 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));

    openDialog = dialog;
    br::ui::FocusedDialog::show (*dialog, dialog->getTextEditor ("name"),
                [bar = SafePointer<PresetBar> (this), window = SafePointer<juce::AlertWindow> (dialog)] (int result)
                {
                    if (result != 1 || bar == nullptr)
                        return;
                    const auto typed = window != nullptr ? window->getTextEditorContents ("name") : juce::String();
                    bar->saveUnderName (typed);
                });
}

void PresetBar::savePresetToFile()
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
                              [bar = SafePointer<PresetBar> (this)] (const juce::FileChooser& chooser)
                              {
                                  if (bar != nullptr)
                                      bar->saveToChosenFile (chooser.getResult());
                              });
}

void PresetBar::loadPresetFromFile()
{
    fileChooser = std::make_unique<juce::FileChooser> ("Load Quorvane Preset", PresetManager::userDirectory(),
                                                       "*.brlm");
    fileChooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                              [bar = SafePointer<PresetBar> (this)] (const juce::FileChooser& chooser)
                              {
                                  if (bar != nullptr)
                                      bar->loadChosenFile (chooser.getResult());
                              });
}

juce::String PresetBar::aboutText()
{
    return "AM, FM and rotation modulation driven by one LFO. By Tarnwick Audio.\n"
           "\n"
           "Drag value boxes up/down, double-click to type, alt-click for the default.\n"
           "x Factor and Phase: click to step, shift-click to step back, hold for a list.\n"
           "Drag on the sphere to set the rotation centre.";
}

void PresetBar::showAbout()
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::NoIcon, "Quorvane " BR_VERSION_STRING, aboutText(), "OK", dialogOwner());
}

void PresetBar::showFailure (const juce::String& title, const juce::String& reason)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, reason, "OK", dialogOwner());
}

juce::Component* PresetBar::dialogOwner()
{
    if (auto* editor = findParentComponentOfClass<juce::AudioProcessorEditor>())
        return editor;
    return this;
}
