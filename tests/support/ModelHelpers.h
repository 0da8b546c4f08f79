#pragma once
#include "plugin/BrellumProcessor.h"
#include "plugin/ParameterLayout.h"
#include "support/FuzzSeeds.h"

#include <map>

namespace br::test
{
/** Parameter values in their own units, keyed by id. */
using Values = std::map<juce::String, float>;

/** What the engine would read: the parameter tree's atomics. */
inline Values valuesOf (BrellumProcessor& processor)
{
    Values values;
    for (const auto& id : allParameterIds())
        values[id] = processor.parameters.getRawParameterValue (id)->load();
    return values;
}

inline void setValue (BrellumProcessor& processor, const juce::String& id, float value)
{
    auto* parameter = processor.parameters.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

inline void setValues (BrellumProcessor& processor, const Values& values)
{
    for (const auto& [id, value] : values)
        setValue (processor, id, value);
}

/** A legal value off the default for every parameter, so a leftover shows. */
inline Values unusualValues()
{
    return { { "sync", 1.0f },     { "rate", 7.5f },    { "xFactor", 9.0f },  { "waveform", 2.0f },
             { "amDepth", 12.3f }, { "amOn", 0.0f },    { "amPhase", 3.0f },  { "rotCenter", -45.0f },
             { "rotOn", 0.0f },    { "rotRange", 33.0f }, { "fmDepth", 77.7f }, { "fmOn", 0.0f },
             { "fmPhase", 2.0f },  { "gain", -6.5f },   { "mix", 42.0f } };
}

/** The default of one parameter in its own units, as the tree holds it. */
inline float defaultOf (BrellumProcessor& processor, const juce::String& id)
{
    auto* parameter = processor.parameters.getParameter (id);
    return parameter->convertFrom0to1 (parameter->getDefaultValue());
}

inline juce::String paramXml (const juce::String& id, const juce::String& value)
{
    return "<PARAM id=\"" + id + "\" value=\"" + value + "\"/>";
}

/** A preset file's text with the given "PARAM" children. */
inline juce::String presetText (const juce::String& params, const juce::String& rootAttributes = " name=\"x\"",
                                const juce::String& rootTag = "BrellumPreset")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + rootTag + rootAttributes + ">\n  <Parameters>" + params
           + "</Parameters>\n</" + rootTag + ">\n";
}

/** Text in the framework's state envelope, laid out as copyXmlToBinary does it. */
inline juce::MemoryBlock envelope (const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt (int (text.getNumBytesAsUTF8()));
    out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    out.writeByte (0);
    return out.getMemoryBlock();
}

inline juce::MemoryBlock stateOf (BrellumProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

/** setStateInformation with the block; every block also becomes a fuzzing seed. */
inline void restore (BrellumProcessor& processor, const juce::MemoryBlock& block)
{
    recordFuzzSeed ("state", block);
    processor.setStateInformation (block.getData(), int (block.getSize()));
}

/** The XML text inside a state blob (without the envelope). */
inline juce::String textOf (const juce::MemoryBlock& block)
{
    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, int (block.getSize()) - 9);
}
} // namespace br::test
