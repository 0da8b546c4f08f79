// The standalone app: the framework's plug-in window and holder, as users know them,
// with the app's own settings store, autosave and play head around them.
#include "app/JackTransportPlayHead.h"
#include "app/SettingsStore.h"
#include "ui/FocusedDialog.h"

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>
#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

namespace br
{
namespace
{
/** The app's own key beside the framework's: the tempo for "Auto" sync without a JACK
    transport, in BPM. */
constexpr const char* tempoKey = "autoSyncTempo";

/** A change is written at most this long after it is made; a burst of changes is
    written once per period, so a crash loses less than two periods. */
constexpr int saveDelayMs = 1000;

/** The framework's window with one more item in its Options menu. */
class AppWindow : public juce::StandaloneFilterWindow
{
public:
    static constexpr int tempoItem = 100; // the framework's own items are 1 to 4

    AppWindow (juce::PropertySet& settings, std::function<void()> askForTempo, std::function<void()> processorReplaced)
        : juce::StandaloneFilterWindow (
              JucePlugin_Name,
              juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
              &settings, false),
          onTempoItem (std::move (askForTempo)), onProcessorReplaced (std::move (processorReplaced))
    {
    }

    std::function<void()> onResized;

    void resized() override
    {
        juce::StandaloneFilterWindow::resized();
        if (onResized)
            onResized();
    }

private:
    // The framework's Options menu, item for item, with the tempo item after the
    // device settings it belongs with.
    void buttonClicked (juce::Button*) override
    {
        juce::PopupMenu menu;
        menu.addItem (1, TRANS ("Audio/MIDI Settings..."));
        menu.addItem (tempoItem, "Tempo for Auto sync...");
        menu.addSeparator();
        menu.addItem (2, TRANS ("Save current state..."));
        menu.addItem (3, TRANS ("Load a saved state..."));
        menu.addSeparator();
        menu.addItem (4, TRANS ("Reset to default state"));
        menu.showMenuAsync (juce::PopupMenu::Options(),
                            [window = SafePointer<AppWindow> (this)] (int result)
                            {
                                if (window != nullptr && result != 0)
                                    window->menuItemChosen (result);
                            });
    }

    void menuItemChosen (int result)
    {
        if (result == tempoItem)
        {
            onTempoItem();
            return;
        }
        handleMenuResult (result);
        if (result == 4) // "Reset to default state" made a new processor
            onProcessorReplaced();
    }

    std::function<void()> onTempoItem, onProcessorReplaced;
};

/** Writes the settings file soon after anything in the state changes.

    A change is noticed from the processor's parameter notifications, the settings
    themselves, the window's size (the editor's zoom), and the user's clicks and focus
    moves (a preset saved or renamed, a set-up copied: changes to the state that move
    no parameter). None of these comes from the audio thread. Each only starts a
    one-second timer if none is running; when it fires the state is taken and the file
    is written only if some value differs from what is on disk. So nothing runs and
    nothing is written while the user does nothing. Message thread. */
class Autosave : private juce::AudioProcessorListener,
                 private juce::AsyncUpdater,
                 private juce::Timer,
                 private juce::MouseListener,
                 private juce::FocusChangeListener,
                 private juce::ChangeListener,
                 private juce::Value::Listener
{
public:
    Autosave (AppWindow& w, SettingsStore& s, JackTransportPlayHead& p) : window (w), store (s), playHead (p)
    {
        store.onChange = [this]
        {
            if (!saving)
                schedule();
        };
        window.onResized = [this] { schedule(); };
        juce::Desktop::getInstance().addGlobalMouseListener (this);
        juce::Desktop::getInstance().addFocusChangeListener (this);
        holder().deviceManager.addChangeListener (this);
        holder().getMuteInputValue().addListener (this);
        attach();
        changeListenerCallback (nullptr);
    }

    ~Autosave() override
    {
        holder().getMuteInputValue().removeListener (this);
        holder().deviceManager.removeChangeListener (this);
        juce::Desktop::getInstance().removeFocusChangeListener (this);
        juce::Desktop::getInstance().removeGlobalMouseListener (this);
        window.onResized = nullptr;
        store.onChange = nullptr;
        detach();
        playHead.followDevice (nullptr);
    }

    /** The processor was deleted and a new one made: listen to the new one. */
    void processorReplaced()
    {
        watched = nullptr;
        attach();
        schedule();
    }

    void detach()
    {
        if (watched != nullptr)
        {
            const juce::ScopedLock lock (watched->getCallbackLock());
            watched->setPlayHead (nullptr);
            watched->removeListener (this);
        }
        watched = nullptr;
    }

private:
    juce::StandalonePluginHolder& holder() { return *window.pluginHolder; }

    void attach()
    {
        watched = holder().processor.get();
        if (watched == nullptr)
            return;
        // The audio thread's player lends the processor a play head of its own for
        // each block, under this lock, when the processor has none.
        {
            const juce::ScopedLock lock (watched->getCallbackLock());
            watched->setPlayHead (&playHead);
            watched->addListener (this);
        }
        stateOnDisk = currentState();
    }

    juce::String currentState() const
    {
        juce::MemoryBlock data;
        watched->getStateInformation (data);
        return data.toBase64Encoding();
    }

    void schedule()
    {
        if (!isTimerRunning())
            startTimer (saveDelayMs);
    }

    void timerCallback() override
    {
        stopTimer();
        const juce::ScopedValueSetter<bool> guard (saving, true);
        // Compared with the state the app started with or last saved, not with the
        // file: a first run that changes nothing leaves the file without a state, as
        // the framework's app does.
        if (watched != nullptr)
            if (auto state = currentState(); state != stateOnDisk)
            {
                holder().savePluginState();
                stateOnDisk = std::move (state);
            }
        store.saveIfNeeded();
    }

    // Parameter changes come from the message thread here (the editor, presets,
    // set-ups, loaded states); the async hop keeps this safe from any other thread.
    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override { triggerAsyncUpdate(); }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override { triggerAsyncUpdate(); }
    void handleAsyncUpdate() override { schedule(); }

    void mouseUp (const juce::MouseEvent&) override { schedule(); }
    void globalFocusChanged (juce::Component*) override { schedule(); }

    // The device set-up and the input mute, which the framework writes only when the
    // app closes.
    void changeListenerCallback (juce::ChangeBroadcaster*) override
    {
        playHead.followDevice (holder().deviceManager.getCurrentAudioDevice());
        holder().saveAudioDeviceState();
    }
    void valueChanged (juce::Value&) override { holder().saveAudioDeviceState(); }

    AppWindow& window;
    SettingsStore& store;
    JackTransportPlayHead& playHead;
    juce::AudioProcessor* watched = nullptr;
    juce::String stateOnDisk;
    bool saving = false;
};

juce::File settingsFile()
{
    // Where the framework's standalone app has always kept it.
    juce::PropertiesFile::Options options;
    options.applicationName = JucePlugin_Name;
    options.filenameSuffix = ".settings";
    options.osxLibrarySubFolder = "Application Support";
    options.folderName = "~/.config";
    return options.getDefaultFile();
}

class StandaloneApp : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return JucePlugin_Name; }
    const juce::String getApplicationVersion() override { return JucePlugin_VersionString; }
    bool moreThanOneInstanceAllowed() override { return true; }
    void anotherInstanceStarted (const juce::String&) override {}

    void initialise (const juce::String&) override
    {
        settings = std::make_unique<SettingsStore> (settingsFile());
        playHead = std::make_unique<JackTransportPlayHead> (
            settings->getDoubleValue (tempoKey, JackTransportPlayHead::defaultTempoBpm));
        window = std::make_unique<AppWindow> (
            *settings, [this] { askForTempo(); }, [this] { autosave->processorReplaced(); });
        autosave = std::make_unique<Autosave> (*window, *settings, *playHead);
        window->setVisible (true);

        if (const auto kept = settings->keptDamagedFile(); kept != juce::File())
            juce::AlertWindow::showMessageBoxAsync (
                juce::MessageBoxIconType::WarningIcon, "Settings could not be read",
                "Quorvane could not read its settings file, so it started with its default settings.\n\n"
                "The old file was kept, unchanged, as:\n" +
                    kept.getFullPathName(),
                "OK", window.get());
    }

    void shutdown() override
    {
        // The window saves its position and the holder the device set-up as they go.
        autosave = nullptr;
        window = nullptr;
        settings->saveIfNeeded();
        playHead = nullptr;
        settings = nullptr;
    }

    void systemRequestedQuit() override
    {
        if (window != nullptr)
            window->pluginHolder->savePluginState();

        if (juce::ModalComponentManager::getInstance()->cancelAllModalComponents())
        {
            juce::Timer::callAfterDelay (100,
                                         []
                                         {
                                             if (auto* app = juce::JUCEApplicationBase::getInstance())
                                                 app->systemRequestedQuit();
                                         });
            return;
        }
        quit();
    }

private:
    void askForTempo()
    {
        auto* dialog = new ui::FocusedDialog ("Tempo for Auto sync",
                                              "Beats per minute, 20 to 999. \"Auto\" sync runs at this tempo "
                                              "unless a JACK transport gives one.",
                                              juce::MessageBoxIconType::NoIcon, window.get());
        dialog->addTextEditor (
            "tempo", juce::String (settings->getDoubleValue (tempoKey, JackTransportPlayHead::defaultTempoBpm)));
        dialog->addButton ("OK", 1, juce::KeyPress (juce::KeyPress::returnKey));
        dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
        ui::FocusedDialog::show (*dialog, dialog->getTextEditor ("tempo"),
                                 [this, safe = juce::Component::SafePointer<juce::AlertWindow> (dialog)] (int result)
                                 {
                                     if (result == 1 && safe != nullptr)
                                         setTempo (safe->getTextEditorContents ("tempo"));
                                 });
    }

    void setTempo (const juce::String& text)
    {
        const auto bpm = text.getDoubleValue();
        if (!(bpm > 0.0) || !std::isfinite (bpm))
        {
            // Not a tempo: the old one stays, and the user is told why nothing changed.
            juce::AlertWindow::showMessageBoxAsync (
                juce::MessageBoxIconType::WarningIcon, "Tempo not changed",
                "\"" + text.trim() + "\" is not a tempo. Type the beats per minute, from 20 to 999.", "OK",
                window.get());
            return;
        }
        const auto legal = juce::jlimit (JackTransportPlayHead::minTempoBpm, JackTransportPlayHead::maxTempoBpm, bpm);
        playHead->setTempo (legal);
        settings->setValue (tempoKey, legal);
    }

    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<JackTransportPlayHead> playHead;
    std::unique_ptr<AppWindow> window;
    std::unique_ptr<Autosave> autosave;
};
} // namespace
} // namespace br

juce::JUCEApplicationBase* juce_CreateApplication()
{
    return new br::StandaloneApp();
}
