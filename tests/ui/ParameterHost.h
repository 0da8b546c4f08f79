#pragma once
#include "plugin/ParameterLayout.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace br::test
{
/** The product's real parameter set and an undo history, held by the least processor
    that can own them, so widget tests and the gallery bind to genuine parameters
    without the audio engine. */
class ParameterHost : public juce::AudioProcessor
{
public:
    ParameterHost() : state (*this, &undoManager, "Parameters", br::createParameterLayout()) {}

    juce::RangedAudioParameter& parameter (const juce::String& id) { return *state.getParameter (id); }

    /** The value in the parameter's own units (Hz, %, degrees, choice index). */
    float value (const juce::String& id) { return state.getRawParameterValue (id)->load(); }

    void setValue (const juce::String& id, float plainValue)
    {
        auto& p = parameter (id);
        p.setValueNotifyingHost (p.convertTo0to1 (plainValue));
    }

    juce::UndoManager undoManager;
    juce::AudioProcessorValueTreeState state;

    const juce::String getName() const override { return "ParameterHost"; }
    void prepareToPlay (double, int) override {}
    void releaseResources() override {}
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
    using juce::AudioProcessor::processBlock;
    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    juce::AudioProcessorEditor* createEditor() override { return nullptr; }
    bool hasEditor() const override { return false; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}
    void getStateInformation (juce::MemoryBlock&) override {}
    void setStateInformation (const void*, int) override {}
};
} // namespace br::test
