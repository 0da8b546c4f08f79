#include "plugin/BrellumProcessor.h"

// The host's programs are the factory presets; user presets are not programs.

int BrellumProcessor::getNumPrograms() { return br::PresetManager::numFactoryPresets(); }

int BrellumProcessor::getCurrentProgram()
{
    const auto index = presetManager.getCurrentIndex();
    return juce::isPositiveAndBelow (index, getNumPrograms()) ? index : 0;
}

void BrellumProcessor::setCurrentProgram (int index)
{
    const ApplyingScope applying (*this);
    presetManager.loadFactory (index);
    parameterEcho.post();
}

void BrellumProcessor::ParameterEcho::handleAsyncUpdate()
{
    const ApplyingScope applying (processor);
    for (auto* parameter : processor.getParameters())
        parameter->sendValueChangedMessageToListeners (parameter->getValue());
}

const juce::String BrellumProcessor::getProgramName (int index)
{
    return juce::isPositiveAndBelow (index, getNumPrograms()) ? presetManager.getPresetName (index) : juce::String();
}

void BrellumProcessor::changeProgramName (int, const juce::String&) {}
