#pragma once
#include "dsp/EngineTypes.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

/** The object every host drives: owns the parameters, the undo history and the audio
    engine, accepts mono and stereo layouts, and keeps the "modified" marker. */
class BrellumProcessor : public juce::AudioProcessor, public juce::AudioProcessorValueTreeState::Listener
{
public:
    BrellumProcessor();
    ~BrellumProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** Editor zoom, written by the editor and kept with the state. Message thread only. */
    float uiScale = 1.0f;
    juce::UndoManager undoManager;
    juce::AudioProcessorValueTreeState parameters;

    /** Set by any parameter change (on whatever thread makes it) unless `applyingState`. */
    std::atomic<bool> modified { false };
    /** True while the processor itself pushes stored values into the parameters. Atomic
        because hosts may change parameters from their own threads at the same time. */
    std::atomic<bool> applyingState { false };

private:
    /** The block's parameter values, loaded once per block from the tree's atomics. */
    br::dsp::BlockParams loadBlockParams() const noexcept;
    br::dsp::HostTiming readHostTiming() const;

    std::array<std::atomic<float>*, br::numParams> rawValues {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrellumProcessor)
};
