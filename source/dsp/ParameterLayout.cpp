#include "dsp/ParameterLayout.h"
#include "dsp/Parameters.h"

#include <cmath>

namespace br
{
namespace
{
// juce::roundToInt rounds halves up; the grids here are symmetric around 0, so
// halves go away from zero to keep -0.125 and 0.125 mirror images.
float roundHalfAway (float x) { return std::round (x); }

juce::NormalisableRange<float> logRange (float start, float end)
{
    return { start,
             end,
             [] (float s, float e, float p) { return s * std::pow (e / s, p); },
             [] (float s, float e, float v) { return std::log (v / s) / std::log (e / s); },
             [] (float s, float e, float v) { return snapLog (v, s, e); } };
}

juce::NormalisableRange<float> linearRange (float start, float end, float resolution)
{
    return { start,
             end,
             [] (float s, float e, float p) { return s + (e - s) * p; },
             [] (float s, float e, float v) { return (v - s) / (e - s); },
             [resolution] (float s, float e, float v) { return snapLinear (v, s, e, resolution); } };
}

juce::ParameterID pid (const char* id) { return { id, 1 }; }

std::unique_ptr<juce::AudioParameterFloat> percent (const char* id, const char* name, float defaultValue)
{
    return std::make_unique<juce::AudioParameterFloat> (
        pid (id), name, linearRange (0.0f, 100.0f, 10.0f), defaultValue,
        juce::AudioParameterFloatAttributes().withLabel ("%").withStringFromValueFunction (
            [] (float v, int) { return wholeNumberText (v); }));
}

std::unique_ptr<juce::AudioParameterFloat> degrees (const char* id, const char* name, float min, float max,
                                                    float defaultValue)
{
    return std::make_unique<juce::AudioParameterFloat> (
        pid (id), name, juce::NormalisableRange<float> (min, max, 1.0f), defaultValue,
        juce::AudioParameterFloatAttributes().withLabel ("deg").withStringFromValueFunction (
            [] (float v, int) { return wholeNumberText (v); }));
}

juce::StringArray makeXFactorNames()
{
    juce::StringArray names;
    for (auto factor : xFactors)
        names.add ("x" + juce::String (factor, 2));
    return names;
}
} // namespace

float snapLog (float value, float start, float end)
{
    return juce::jlimit (start, end, roundHalfAway (value * 100.0f) / 100.0f);
}

float snapLinear (float value, float start, float end, float resolution)
{
    return juce::jlimit (start, end, roundHalfAway (value * resolution) / resolution);
}

juce::String wholeNumberText (float value)
{
    // Ties go to the even neighbour (12.5 -> "12", 13.5 -> "14"), as std::nearbyint does
    // in the default rounding mode.
    return juce::String (static_cast<long long> (std::nearbyint (static_cast<double> (value))));
}

juce::String twoDecimalsText (float value) { return juce::String (static_cast<double> (value), 2); }
juce::String oneDecimalText (float value) { return juce::String (static_cast<double> (value), 1); }

const juce::StringArray& allParameterIds()
{
    static const juce::StringArray ids = []
    {
        juce::StringArray list;
        for (auto* id : parameterIds)
            list.add (id);
        return list;
    }();
    return ids;
}

const juce::StringArray& syncNames()
{
    static const juce::StringArray names { "Manual", "Auto" };
    return names;
}

const juce::StringArray& waveformNames()
{
    static const juce::StringArray names { "Square", "Triangle", "Saw Up", "Saw Down", "Sine" };
    return names;
}

const juce::StringArray& phaseNames()
{
    static const juce::StringArray names { "0", "90", "180", "270" };
    return names;
}

const juce::StringArray& xFactorNames()
{
    static const juce::StringArray names = makeXFactorNames();
    return names;
}

juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout()
{
    using Float = juce::AudioParameterFloat;
    using Choice = juce::AudioParameterChoice;
    using Bool = juce::AudioParameterBool;

    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add (std::make_unique<Choice> (pid ("sync"), "Sync", syncNames(), 0));
    layout.add (std::make_unique<Float> (
        pid ("rate"), "Rate", logRange (0.01f, 60.0f), 0.2f,
        juce::AudioParameterFloatAttributes().withLabel ("Hz").withStringFromValueFunction (
            [] (float v, int) { return twoDecimalsText (v); })));
    layout.add (std::make_unique<Choice> (pid ("xFactor"), "x Factor", xFactorNames(), 3));
    layout.add (std::make_unique<Choice> (pid ("waveform"), "Waveform", waveformNames(), 4));
    layout.add (percent ("amDepth", "AM Depth", 50.0f));
    layout.add (std::make_unique<Bool> (pid ("amOn"), "AM On", true));
    layout.add (std::make_unique<Choice> (pid ("amPhase"), "AM Phase", phaseNames(), 0));
    layout.add (degrees ("rotCenter", "Rotation Center", -180.0f, 180.0f, 0.0f));
    layout.add (std::make_unique<Bool> (pid ("rotOn"), "Rotation On", true));
    layout.add (degrees ("rotRange", "Rotation Range", 1.0f, 360.0f, 90.0f));
    layout.add (percent ("fmDepth", "FM Depth", 50.0f));
    layout.add (std::make_unique<Bool> (pid ("fmOn"), "FM On", true));
    layout.add (std::make_unique<Choice> (pid ("fmPhase"), "FM Phase", phaseNames(), 0));
    layout.add (std::make_unique<Float> (
        pid ("gain"), "Gain", linearRange (-12.0f, 12.0f, 10.0f), 0.0f,
        juce::AudioParameterFloatAttributes().withLabel ("dB").withStringFromValueFunction (
            [] (float v, int) { return oneDecimalText (v); })));
    layout.add (percent ("mix", "Mix", 100.0f));
    return layout;
}
} // namespace br
