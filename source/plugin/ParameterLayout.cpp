#include "plugin/ParameterLayout.h"
#include "plugin/ValueText.h"

#include <cmath>

namespace br
{
namespace
{
// juce::roundToInt rounds halves up; the grids here are symmetric around 0, so
// halves go away from zero to keep -0.125 and 0.125 mirror images.
float roundHalfAway (float x) { return std::round (x); }

/** The value nearest to v on a grid of `resolution` steps per unit, within start..end. */
float snapToGrid (float v, float start, float end, float resolution)
{
    return juce::jlimit (start, end, roundHalfAway (v * resolution) / resolution);
}

juce::NormalisableRange<float> logRange (float start, float end, float resolution)
{
    return { start,
             end,
             [] (float s, float e, float p) { return s * std::pow (e / s, p); },
             [] (float s, float e, float v) { return std::log (v / s) / std::log (e / s); },
             [resolution] (float s, float e, float v) { return snapToGrid (v, s, e, resolution); } };
}

juce::NormalisableRange<float> linearRange (float start, float end, float resolution)
{
    return { start,
             end,
             [] (float s, float e, float p) { return s + (e - s) * p; },
             [] (float s, float e, float v) { return (v - s) / (e - s); },
             [resolution] (float s, float e, float v) { return snapToGrid (v, s, e, resolution); } };
}

juce::NormalisableRange<float> rangeOf (const ParamInfo& info)
{
    // The custom ranges snap to 1 / step: 100 steps per Hz for 0.01, 10 per unit for 0.1.
    switch (info.mapping)
    {
        case Mapping::logarithmic: return logRange (info.min, info.max, 1.0f / info.step);
        case Mapping::linear: return linearRange (info.min, info.max, 1.0f / info.step);
        case Mapping::wholeSteps:
        case Mapping::choice:
        case Mapping::toggle: break;
    }
    return { info.min, info.max, info.step };
}

const char* labelOf (TextKind kind)
{
    switch (kind)
    {
        case TextKind::hertz: return "Hz";
        case TextKind::percent: return "%";
        case TextKind::degrees: return "deg";
        case TextKind::decibels: return "dB";
        case TextKind::syncName:
        case TextKind::xFactorName:
        case TextKind::waveformName:
        case TextKind::phaseName:
        case TextKind::onOff: break;
    }
    return "";
}

const juce::StringArray& choiceNames (TextKind kind)
{
    switch (kind)
    {
        case TextKind::syncName: return syncNames();
        case TextKind::xFactorName: return xFactorNames();
        case TextKind::waveformName: return waveformNames();
        case TextKind::phaseName:
        case TextKind::onOff:
        case TextKind::hertz:
        case TextKind::percent:
        case TextKind::degrees:
        case TextKind::decibels: break;
    }
    jassert (kind == TextKind::phaseName);
    return phaseNames();
}

std::unique_ptr<juce::RangedAudioParameter> makeParameter (const ParamInfo& info)
{
    const juce::ParameterID id { info.id, 1 };

    if (info.mapping == Mapping::choice)
        return std::make_unique<juce::AudioParameterChoice> (id, info.name, choiceNames (info.text),
                                                             static_cast<int> (info.defaultValue));

    if (info.mapping == Mapping::toggle)
        return std::make_unique<juce::AudioParameterBool> (id, info.name, info.defaultValue != 0.0f);

    const auto format = valueText::formatOf (info.text);
    jassert (format != nullptr);
    return std::make_unique<juce::AudioParameterFloat> (
        id, info.name, rangeOf (info), info.defaultValue,
        juce::AudioParameterFloatAttributes().withLabel (labelOf (info.text)).withStringFromValueFunction (
            [format] (float v, int) { return format (static_cast<double> (v)); }));
}

template <typename Names>
juce::StringArray listOf (const Names& names)
{
    juce::StringArray list;
    for (auto* name : names)
        list.add (name);
    return list;
}

juce::StringArray makeXFactorNames()
{
    juce::StringArray names;
    for (auto factor : xFactors)
        names.add ("x" + juce::String (factor, 2));
    return names;
}
} // namespace

const juce::StringArray& allParameterIds()
{
    static const juce::StringArray ids = []
    {
        juce::StringArray list;
        for (const auto& info : parameterTable)
            list.add (info.id);
        return list;
    }();
    return ids;
}

const juce::StringArray& syncNames()
{
    static const juce::StringArray names = listOf (syncChoices);
    return names;
}

const juce::StringArray& waveformNames()
{
    static const juce::StringArray names = listOf (waveformChoices);
    return names;
}

const juce::StringArray& phaseNames()
{
    static const juce::StringArray names = listOf (phaseChoices);
    return names;
}

const juce::StringArray& xFactorNames()
{
    static const juce::StringArray names = makeXFactorNames();
    return names;
}

juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    for (const auto& info : parameterTable)
        layout.add (makeParameter (info));
    return layout;
}
} // namespace br
