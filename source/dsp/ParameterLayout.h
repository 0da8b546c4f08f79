#pragma once
#include <juce_audio_processors/juce_audio_processors.h>

namespace br
{
/** The fifteen ids in host order. Built once, thread-safely, on first use. */
const juce::StringArray& allParameterIds();

const juce::StringArray& syncNames();
const juce::StringArray& waveformNames();
const juce::StringArray& phaseNames();
/** "x0.25" ... "x100.00": the choice names of "xFactor". */
const juce::StringArray& xFactorNames();

/** The whole parameter set, in `allParameterIds()` order, each with version hint 1. */
juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

/** Value texts shared with the editor, so the host and our boxes always agree. */
juce::String wholeNumberText (float value);
juce::String twoDecimalsText (float value);
juce::String oneDecimalText (float value);

/** Snapping rules of the custom ranges, exposed for tests and typed entry. */
float snapLog (float value, float start, float end);
float snapLinear (float value, float start, float end, float resolution);
} // namespace br
