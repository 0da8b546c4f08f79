#pragma once
#include "plugin/BrellumProcessor.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

class BrellumEditor;

namespace br::fuzz
{
/** What we promise about one input to a reader, checked on that input. The fuzz
    targets abort on a broken promise; the regression test replays every input kept
    under tests/fuzz/regressions through the same checks. Each check returns an empty
    string when every promise holds, else what broke. Message thread. */

/** The live set-up as the user sees it: values, preset identity, modified flag. */
struct LiveSetup
{
    std::map<juce::String, float> values;
    PresetIdentity identity;
    bool modified = false;

    bool operator== (const LiveSetup& other) const
    {
        return values == other.values && identity.name == other.identity.name && identity.index == other.identity.index
               && identity.file == other.identity.file && modified == other.modified;
    }
    bool operator!= (const LiveSetup& other) const { return ! operator== (other); }
};

LiveSetup liveSetupOf (BrellumProcessor& processor);

/** setStateInformation with any bytes: a blob that is not a state changes nothing; an
    accepted one leaves every parameter finite and in range, the set-up index 0 or 1,
    the scale in 0.5 .. 2.5 and names within the limit; the state written afterwards
    reads back to the same bytes, both set-ups stay usable, and audio processed with
    the restored settings is finite. */
class StateChecker
{
public:
    StateChecker();
    std::string check (const std::uint8_t* data, std::size_t size);

private:
    BrellumProcessor processor;
    juce::MemoryBlock baseline;
    bool dirty = false; // an accepted input changed the processor since the baseline
    juce::AudioBuffer<float> audio { 2, 64 };
    juce::MidiBuffer midi;
};

/** PresetManager::loadFile on a file holding any bytes, inside `presetFolder`: false
    changes nothing and is the answer exactly when the XML reader or the format rejects
    the bytes; true leaves every parameter finite and in range, names the preset by its
    limited "name" attribute (or the file name) at its place in the list, and a save of
    what was loaded loads back the same values. Also, what the XML reader accepts is
    within its limits, and the framework's writing of it reads back the same. */
class PresetFileChecker
{
public:
    explicit PresetFileChecker (const juce::File& presetFolder);
    std::string check (const std::uint8_t* data, std::size_t size);

private:
    juce::File folder;
    BrellumProcessor processor;
    LiveSetup before;
    bool dirty = true; // a load changed the processor since `before` was taken
};

/** Any bytes typed, as UTF-8, into the editor's number boxes (Hz, BPM, gain, mix): the
    reading is finite and agrees with an exact decimal reading of the kept characters;
    committed to a box it leaves every parameter finite and in range, the box showing
    its parameter's value, at the typed value when that lies in the range; and what a
    box then shows, typed again, shows the same. */
class TypedNumberChecker
{
public:
    TypedNumberChecker();
    ~TypedNumberChecker();
    std::string check (const std::uint8_t* data, std::size_t size);

private:
    BrellumProcessor processor;
    std::unique_ptr<BrellumEditor> editor;
};
} // namespace br::fuzz
