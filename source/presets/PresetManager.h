#pragma once
#include "presets/FactoryPresets.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <functional>
#include <optional>

namespace br
{
/** Which preset is current: its display name, its combined index (0 … F-1 factory,
    F and above the user presets in sorted order, -1 none) and, for a user preset,
    the file it was loaded from or saved to (empty otherwise, and after a restore:
    states do not carry paths; see currentUserFile). */
struct PresetIdentity
{
    juce::String name;
    int index = -1;
    juce::File file;
};

/** The single place that knows about presets: the factory table and the user preset
    files, the user preset folder (moving a folder left by an older product name into
    place), loading, saving, deleting and stepping, and the identity of the current
    preset.

    Threads. Operations run on the message thread, except that the processor's program
    and state hooks may call `loadFactory`, `applyState`, `captureState`,
    `setCurrent` and `current` from whatever thread the host uses. The identity is
    guarded by a lock of its own, which is only ever held for copying fields, never while
    parameters are set, files are touched or callbacks run: a host thread waiting for
    it can never wait on the message thread in turn. Parameter values go through the
    parameter tree's atomics. Nothing here is for the audio thread. Failures are
    silent: a false result or nothing happens, and a failed load or save changes
    nothing. */
class PresetManager
{
public:
    /** Run after every successful load or save (never otherwise), on the thread that
        did it. The processor clears its "modified" flag and its undo history here. */
    std::function<void()> onChange;

    /** Starts with "Full Reset", index 0: what a fresh parameter tree holds. */
    explicit PresetManager (juce::AudioProcessorValueTreeState& parameterTree);

    static int numFactoryPresets() { return int (factoryPresets().size()); }

    /** Music folder/"Quorvane"/"Presets", not created. If "Quorvane" does not exist yet,
        a legacy product folder ("Vostle" before "Brellum") is first renamed to it; a
        failed rename is ignored and that folder stays a legacy source. */
    static juce::File userDirectory();
    /** The legacy preset folders that exist: "Vostle"/"Presets", then "Brellum"/"Presets". */
    static juce::Array<juce::File> legacyDirectories();

    /** The ".brlm" files directly inside the user folder, then those of the legacy
        folders whose names (ignoring case) are not taken yet, sorted by name ignoring
        case; names equal but for case are ordered by path, so positions are stable
        from one listing to the next. Reads the folders afresh; never opens a file. */
    juce::Array<juce::File> getUserPresets() const;

    /** Name at a combined index: factory names below F (any negative index gives
        "Full Reset"), then the user list's file names; empty past the end. */
    juce::String getPresetName (int index) const;

    /** Set every parameter: named values win, all others go to their defaults.
        Non-finite values count as missing, finite ones are limited to the range.
        Identity and onChange are left alone. */
    void applyValues (const FactoryPreset& preset);
    /** Same, from a parameter block (any child whose "id" names a parameter; the last
        one wins; a child without "value" gives 0 in the parameter's units). */
    void applyState (const juce::ValueTree& tree);
    /** The parameter block as the parameter tree's copyState() would give it (same
        children, order and values) but read from the parameters' atomics, so it never
        flushes into the undo manager and is safe on any thread. */
    juce::ValueTree captureState() const;
    /** A parameter block that applyState reads exactly as it reads `tree`: one child
        per parameter that `tree` gives a value (the value applyState would take, not
        yet limited), in the parameter tree's order, and nothing else. A block kept
        for later (the parked set-up) is kept in this form, so whatever a document
        carried besides the values cannot grow the state written next. Any thread. */
    juce::ValueTree normaliseState (const juce::ValueTree& tree) const;

    /** Preset names are display text. Longer ones are cut to this many characters
        where they come in (files, states), so that a state, which carries two of them
        escaped, always stays far inside what the state reader accepts. */
    static constexpr int maxNameLength = 1024;
    static juce::String limitName (const juce::String& name);

    /** Ignores an index outside the factory table (no callback). */
    void loadFactory (int index);
    void loadDefaults() { loadFactory (0); }
    /** False, changing nothing, when the file is unreadable, not a preset (root
        "BrellumPreset", any case) or has no "Parameters" block. */
    bool loadFile (const juce::File& file);
    /** Writes to a temporary file beside the target and renames it over the target:
        a failed save leaves an existing file intact and returns false, changing
        nothing. Creates missing folders. Replaces an existing file without asking. */
    bool saveToFile (const juce::File& file);
    /** Deletes an existing file that lies inside the user or a legacy preset folder;
        false otherwise. Deleting the current preset sets the index to -1 and keeps the
        name. No callback. */
    bool deleteUser (const juce::File& file);
    /** Loads the preset `offset` places away in the combined list, wrapping around;
        from index -1 it loads the first factory preset. An unreadable file stops the
        step where it is. */
    void step (int offset);

    //==========================================================================
    // For the preset bar's save button and "Delete" item. The position of a user
    // preset is fixed when it is loaded or saved; files added or removed behind our
    // back shift the list, and the file at that position can then be another preset.
    // Writes and deletes therefore act only on the current preset's own file.

    /** The current user preset's own file, or an empty File. The current index must be
        a user position, and the file at that position in a fresh listing must be
        - exactly (case-sensitive path) the file the preset was loaded from or saved
          to, when that is known;
        - otherwise (a restored state carries no path) named exactly as the preset,
          without its extension: across a restart the preset's own file still stands
          there under that name, while a file that has taken its position since
          carries another one. */
    juce::File currentUserFile() const;

    enum class QuickSave
    {
        saved,     // written over currentUserFile()
        needsName, // no verified file: ask for a name (the save-as dialog)
        failed     // the write failed; nothing changed
    };
    /** The save button: overwrite the current user preset's own file, or say that a
        name is needed. Never writes any other file. */
    QuickSave quickSave();

    /** The delete item: deletes currentUserFile() and returns true, or returns false
        and deletes nothing. The caller then loads the defaults. */
    bool deleteCurrent();

    //==========================================================================
    /** A consistent copy of the identity; any thread. */
    PresetIdentity current() const;
    juce::String getCurrentName() const { return current().name; }
    int getCurrentIndex() const { return current().index; }
    /** Replaces the identity as a set-up switch or a restored state says, without
        touching parameters or running onChange. The name is limited (limitName). */
    void setCurrent (const PresetIdentity& identity);

    /** The parameter tree's type ("Parameters"): the tag of every parameter block. */
    const juce::Identifier& getStateType() const noexcept { return stateType; }

private:
    void setParameter (juce::RangedAudioParameter& parameter, double value);
    /** The value applyState takes for `id` from `tree`, if the tree gives one. */
    static std::optional<double> valueIn (const juce::ValueTree& tree, const juce::String& id);
    void finishLoad (const PresetIdentity& identity);
    int indexInList (const juce::File& file) const;

    juce::AudioProcessorValueTreeState& parameters;
    /** Guards `identity`. A leaf: nothing else is ever taken while it is held. */
    mutable juce::CriticalSection lock;
    PresetIdentity identity;

    // Fixed at construction: the parameter tree's children in its own order, with the
    // atomics their values are read from.
    struct Slot
    {
        juce::String id;
        std::atomic<float>* value = nullptr;
    };
    std::vector<Slot> slots;
    juce::Identifier stateType, paramType { "PARAM" };

    JUCE_DECLARE_NON_COPYABLE (PresetManager)
};
} // namespace br
