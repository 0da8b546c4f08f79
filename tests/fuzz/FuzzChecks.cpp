#include "fuzz/FuzzChecks.h"
#include "editor/PluginEditor.h"
#include "plugin/ParameterLayout.h"
#include "plugin/ValueText.h"
#include "presets/SafeXml.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <sstream>

namespace br::fuzz
{
namespace
{
constexpr juce::uint32 stateMagic = 0x21324356;

juce::MemoryBlock stateOf (BrellumProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

void restore (BrellumProcessor& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), int (block.getSize()));
}

/** Collects what broke, one line each. */
class Problems
{
public:
    template <typename... Parts>
    void add (Parts&&... parts)
    {
        (text << ... << parts);
        text << '\n';
    }

    std::string str() const { return text.str(); }

private:
    std::ostringstream text;
};

void checkParameters (BrellumProcessor& processor, Problems& problems, const char* when)
{
    for (const auto& id : allParameterIds())
    {
        const auto value = processor.parameters.getRawParameterValue (id)->load();
        const auto& range = processor.parameters.getParameter (id)->getNormalisableRange();

        if (! std::isfinite (value) || value < range.start || value > range.end)
            problems.add (when, ": \"", id, "\" is ", value, ", outside ", range.start, " .. ", range.end);
    }
}

void checkIdentity (const PresetIdentity& identity, Problems& problems, const char* when)
{
    if (identity.name.length() > PresetManager::maxNameLength)
        problems.add (when, ": a name of ", identity.name.length(), " characters");
}

/** Levels of elements, texts left out. */
int depthOf (const juce::XmlElement& element)
{
    int deepest = 0;
    for (auto* child : element.getChildIterator())
        if (! child->isTextElement())
            deepest = std::max (deepest, depthOf (*child));
    return deepest + 1;
}

int widestOf (const juce::XmlElement& element)
{
    int widest = element.getNumAttributes();
    for (auto* child : element.getChildIterator())
        widest = std::max (widest, widestOf (*child));
    return widest;
}

/** Same tags, same attributes in the same order, same elements below; texts left out,
    since the framework's writer runs neighbouring ones together. */
bool sameElements (const juce::XmlElement& a, const juce::XmlElement& b)
{
    if (a.getTagName() != b.getTagName() || a.getNumAttributes() != b.getNumAttributes())
        return false;

    for (int i = 0; i < a.getNumAttributes(); ++i)
        if (a.getAttributeName (i) != b.getAttributeName (i) || a.getAttributeValue (i) != b.getAttributeValue (i))
            return false;

    juce::Array<const juce::XmlElement*> left, right;
    for (auto* child : a.getChildIterator())
        if (! child->isTextElement())
            left.add (child);
    for (auto* child : b.getChildIterator())
        if (! child->isTextElement())
            right.add (child);

    if (left.size() != right.size())
        return false;

    for (int i = 0; i < left.size(); ++i)
        if (! sameElements (*left[i], *right[i]))
            return false;

    return true;
}

/** The state reader's own acceptance rule, restated: envelope, XML reader, root tag. */
bool isAcceptedState (const std::uint8_t* data, std::size_t size)
{
    if (size <= 8 || size > std::size_t (std::numeric_limits<int>::max()) || juce::ByteOrder::littleEndianInt (data) != stateMagic)
        return false;

    const auto length = int (juce::ByteOrder::littleEndianInt (data + 4));
    if (length <= 0)
        return false;

    const auto document = parseXmlSafely (data + 8, std::min (size - 8, std::size_t (length)));
    return document != nullptr && document->getTagName().equalsIgnoreCase ("BrellumState");
}

/** The typed-number reading, restated by other means: the kept characters' longest
    leading "-digits.digits" read by the C library in long double, in the "C" locale,
    then brought into the double range the way the reader promises. */
double referenceReading (const juce::String& text)
{
    // Like every string function of the framework, this stops at the first character
    // that decodes to 0, which a malformed UTF-8 sequence can do before the last byte.
    std::string kept;
    for (auto p = text.getCharPointer();;)
    {
        const auto c = p.getAndAdvance();
        if (c == 0)
            break;
        if ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == ',')
            kept += c == ',' ? '.' : char (c);
    }

    std::size_t end = kept.empty() || kept[0] != '-' ? 0 : 1;
    std::size_t digits = 0;
    bool point = false;
    for (; end < kept.size(); ++end)
    {
        if (kept[end] == '.' && ! point)
            point = true;
        else if (kept[end] >= '0' && kept[end] <= '9')
            ++digits;
        else
            break;
    }
    if (digits == 0)
        return 0.0;

    static const auto cLocale = newlocale (LC_ALL_MASK, "C", nullptr);
    const auto value = strtold_l (kept.substr (0, end).c_str(), nullptr, cLocale);
    if (std::abs (value) > (long double) DBL_MAX)
        return value < 0 ? -DBL_MAX : DBL_MAX;
    return std::abs (value) < (long double) DBL_MIN ? 0.0 * double (value) : double (value);
}

bool sameReading (double a, double b)
{
    return a == b || std::abs (a - b) <= 1.0e-15 * std::max (std::abs (a), std::abs (b)) || std::abs (a - b) <= DBL_MIN;
}
} // namespace

LiveSetup liveSetupOf (BrellumProcessor& processor)
{
    LiveSetup live;
    for (const auto& id : allParameterIds())
        live.values[id] = processor.parameters.getRawParameterValue (id)->load();
    live.identity = processor.presetManager.current();
    live.modified = processor.modified.load();
    return live;
}

//==============================================================================
StateChecker::StateChecker()
{
    processor.prepareToPlay (48000.0, audio.getNumSamples());

    // Nothing at its starting value, so that a change of anything shows.
    processor.setCurrentProgram (15);
    processor.selectSetup (1);
    processor.parameters.getParameter ("mix")->setValueNotifyingHost (0.3f);
    processor.parameters.getParameter ("rate")->setValueNotifyingHost (0.7f);
    processor.presetManager.setCurrent ({ "Baseline", 21, {} });
    processor.uiScale.store (1.25f);
    baseline = stateOf (processor);

    restore (processor, baseline);
    jassert (stateOf (processor) == baseline);
}

std::string StateChecker::check (const std::uint8_t* data, std::size_t size)
{
    Problems problems;

    // Most inputs are turned away; only an accepted one needs the baseline put back.
    if (dirty)
    {
        restore (processor, baseline);
        dirty = false;
    }

    processor.setStateInformation (data, int (std::min (size, std::size_t (std::numeric_limits<int>::max()))));
    const auto after = stateOf (processor);

    if (! isAcceptedState (data, size))
    {
        if (after != baseline)
            problems.add ("a blob the reader turns away changed the state");
        return problems.str();
    }

    dirty = true;
    checkParameters (processor, problems, "restored");
    checkIdentity (processor.presetManager.current(), problems, "restored");
    checkIdentity (processor.otherSetup().preset, problems, "restored, parked");

    const auto setup = processor.activeSetup.load();
    const auto scale = processor.uiScale.load();
    if (setup != 0 && setup != 1)
        problems.add ("set-up index ", setup);
    if (! (scale >= 0.5f && scale <= 2.5f))
        problems.add ("scale ", scale);
    if (processor.applyingState.load() != 0)
        problems.add ("the applying guard is left at ", processor.applyingState.load());

    // What we write we read back, byte for byte (from the baseline, so that a state
    // turned away cannot pass for one read back).
    if (after.getSize() > XmlLimits().maxBytes)
        problems.add ("the state written is ", after.getSize(), " bytes long");
    restore (processor, baseline);
    restore (processor, after);
    if (stateOf (processor) != after)
        problems.add ("the state written afterwards does not read back to itself");

    // Both set-ups stay usable: the parked one can be made live, and back.
    const auto live = liveSetupOf (processor);
    const auto liveSetup = processor.activeSetup.load();
    processor.selectSetup (1 - liveSetup);
    checkParameters (processor, problems, "parked set-up made live");
    processor.selectSetup (liveSetup);
    if (liveSetupOf (processor) != live)
        problems.add ("two set-up switches did not bring the live set-up back");

    // And the settings make finite audio.
    for (int channel = 0; channel < audio.getNumChannels(); ++channel)
        for (int i = 0; i < audio.getNumSamples(); ++i)
            audio.setSample (channel, i, std::sin (0.1f * float (i + 7 * channel)));
    processor.processBlock (audio, midi);
    bool finite = true;
    for (int channel = 0; channel < audio.getNumChannels(); ++channel)
        for (int i = 0; i < audio.getNumSamples(); ++i)
            finite = finite && std::isfinite (audio.getSample (channel, i));
    if (! finite)
        problems.add ("non-finite output");

    return problems.str();
}

//==============================================================================
PresetFileChecker::PresetFileChecker (const juce::File& presetFolder) : folder (presetFolder)
{
    folder.createDirectory();
}

std::string PresetFileChecker::check (const std::uint8_t* data, std::size_t size)
{
    Problems problems;
    auto& manager = processor.presetManager;

    if (dirty)
    {
        manager.loadFactory (7);
        processor.parameters.getParameter ("mix")->setValueNotifyingHost (0.05f);
        before = liveSetupOf (processor);
        dirty = false;
    }

    const auto file = folder.getChildFile ("Fuzzed.brlm");
    if (! file.replaceWithData (data, size))
        return "could not write the input file";

    const auto document = size <= XmlLimits().maxBytes ? parseXmlSafely (data, size) : nullptr;

    // The reader: what it accepts is within the limits, and what the framework writes
    // of it reads back to the same elements and attribute values (as text may grow
    // when escaped, past the limits, those are lifted for the second reading).
    if (document != nullptr)
    {
        if (depthOf (*document) > XmlLimits().maxDepth)
            problems.add ("the reader accepted ", depthOf (*document), " levels");
        if (widestOf (*document) > XmlLimits().maxAttributesPerElement)
            problems.add ("the reader accepted ", widestOf (*document), " attributes on one element");

        const auto written = document->toString().toStdString();
        XmlLimits lifted;
        lifted.maxBytes = lifted.maxAttributeBytes = written.size();
        const auto again = parseXmlSafely (written.data(), written.size(), lifted);
        if (again == nullptr || ! sameElements (*document, *again))
            problems.add ("what the framework wrote of an accepted document reads back otherwise");
    }
    const auto accepted = document != nullptr && document->getTagName().equalsIgnoreCase ("BrellumPreset")
                          && firstChildNamed (*document, "Parameters") != nullptr;
    const auto loaded = manager.loadFile (file);

    if (loaded != accepted)
        problems.add (loaded ? "loaded a file the format rejects" : "refused a file the format accepts");

    if (! loaded)
    {
        if (liveSetupOf (processor) != before)
            problems.add ("a refused file changed the processor");
        return problems.str();
    }

    dirty = true;
    checkParameters (processor, problems, "loaded");
    const auto identity = manager.current();
    checkIdentity (identity, problems, "loaded");
    const auto expectedName = PresetManager::limitName (document->hasAttribute ("name") ? document->getStringAttribute ("name")
                                                                                        : juce::String ("Fuzzed"));
    if (identity.name != expectedName)
        problems.add ("loaded under the name \"", identity.name.substring (0, 40), "\"");
    if (identity.index != PresetManager::numFactoryPresets())
        problems.add ("loaded at index ", identity.index);
    if (processor.modified.load())
        problems.add ("a load left the preset marked modified");

    // What we save from it loads back to the same values.
    const auto values = liveSetupOf (processor).values;
    const auto again = folder.getChildFile ("Again.brlm");
    if (! manager.saveToFile (again))
        problems.add ("could not save what was loaded");
    manager.loadDefaults();
    if (! manager.loadFile (again) || liveSetupOf (processor).values != values)
        problems.add ("a saved copy did not load back the same values");
    again.deleteFile();

    return problems.str();
}

//==============================================================================
TypedNumberChecker::TypedNumberChecker() : editor (std::make_unique<BrellumEditor> (processor)) {}

TypedNumberChecker::~TypedNumberChecker() = default;

std::string TypedNumberChecker::check (const std::uint8_t* data, std::size_t size)
{
    Problems problems;
    const auto text = juce::String::fromUTF8 (reinterpret_cast<const char*> (data),
                                              int (std::min (size, std::size_t (1 << 20))));

    const auto reading = valueText::parseNumber (text);
    const auto expected = referenceReading (text);
    if (! std::isfinite (reading) || ! std::isfinite (valueText::parseBpm (text)))
        problems.add ("a non-finite reading: ", reading);
    else if (! sameReading (reading, expected))
        problems.add ("read ", reading, " where the exact reading is ", expected);

    struct Box
    {
        br::ui::ValueBox& box;
        const char* id;
    };
    for (const auto& [box, id] : { Box { editor->hzBox, "rate" }, Box { editor->bpmBox, "rate" },
                                   Box { editor->gainBox, "gain" }, Box { editor->mixBox, "mix" } })
    {
        // What the box does when its field is committed.
        const auto typed = box.valueFromText (text);
        box.setValue (typed, juce::sendNotificationSync);
        checkParameters (processor, problems, id);

        const auto value = processor.parameters.getRawParameterValue (id)->load();
        const auto& range = processor.parameters.getParameter (id)->getNormalisableRange();
        const auto differs = [value] (double other) { return std::abs (other - value) > 1.0e-6 * std::max (1.0f, std::abs (value)); };
        if (differs (box.getValue()))
            problems.add (id, ": the box holds ", box.getValue(), " but the parameter ", value);
        if (typed >= range.start && typed <= range.end && differs (range.snapToLegalValue (float (typed))))
            problems.add (id, ": typed ", typed, " became ", value);

        const auto shown = box.textFromValue (box.getValue());
        box.setValue (box.valueFromText (shown), juce::sendNotificationSync);
        if (box.textFromValue (box.getValue()) != shown)
            problems.add (id, ": shows \"", shown, "\", which typed again shows \"", box.textFromValue (box.getValue()), "\"");
    }
    return problems.str();
}
} // namespace br::fuzz
