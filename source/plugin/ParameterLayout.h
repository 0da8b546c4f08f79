#pragma once
#include "dsp/Parameters.h"

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

/** The whole parameter set, built from `parameterTable` in its order, each with version hint 1. */
juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();
} // namespace br
