#pragma once
#include "dsp/EngineTypes.h"
#include "dsp/ModEngine.h"
#include "presets/PresetManager.h"

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
    /** Host bypass fades to the dry signal over 20 ms while the engine keeps running,
        so neither switching it on nor off clicks. */
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;
    using juce::AudioProcessor::processBlockBypassed;

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

    /** Editor zoom (0.5 to 2.5), written by the editor and kept with the state. Atomic
        because hosts may save or restore the state from their own threads. */
    std::atomic<float> uiScale { 1.0f };
    /** Message thread only: the state hooks hand their clearing over to it. */
    juce::UndoManager undoManager;
    juce::AudioProcessorValueTreeState parameters;
    /** Factory and user presets and the current preset's identity. */
    br::PresetManager presetManager;
    /** All signal processing and the display telemetry the editor reads. */
    br::dsp::ModEngine engine;

    /** Set by any parameter change (on whatever thread makes it) unless `applyingState`. */
    std::atomic<bool> modified { false };
    /** Non-zero while the processor itself pushes stored values into the parameters:
        the number of such operations under way. A count, not a flag, because a host
        thread may restore a state while the message thread switches set-ups, and the
        first to finish must not lift the other's guard. */
    std::atomic<int> applyingState { 0 };

    //==========================================================================
    // Set-ups A and B. The live one is the parameters with the preset manager's
    // identity and `modified`; the other is parked here, preset identity included.

    /** Which set-up is live: 0 = A, 1 = B, never anything else. */
    std::atomic<int> activeSetup { 0 };

    /** Makes set-up 0 or 1 live and parks the live one; the undo history is cleared.
        Any other index, or the live one, changes nothing. Message thread. */
    void selectSetup (int index);
    /** Overwrites the parked set-up with the live one; nothing else changes. Message thread. */
    void copySetupToOther();

    /** A set-up that is not live. The preset's file is the one its user preset was
        loaded from or saved to; it lives in memory only, states do not carry it. */
    struct ParkedSetup
    {
        juce::ValueTree state;
        br::PresetIdentity preset;
        bool isModified = false;
    };
    /** A consistent copy of the parked set-up; any thread. */
    ParkedSetup otherSetup() const;

private:
    /** Marks the parameter changes of the calling operation as the processor's own, so
        that they leave `modified` alone. */
    class ApplyingScope
    {
    public:
        explicit ApplyingScope (BrellumProcessor& p) : count (p.applyingState) { ++count; }
        ~ApplyingScope() { --count; }

    private:
        std::atomic<int>& count;
    };

    /** An async update that may be destroyed on a host thread while the message thread
        is about to run it: destruction waits until the callback cannot be running. */
    class MessageThreadUpdate : protected juce::AsyncUpdater
    {
    protected:
        /** To be called by the most derived destructor: once that has begun, a callback
            arriving would find no handler. */
        void cancelAndWait();
    };

    /** Clears the undo history after a load, save, switch or restore. On the message
        thread it first flushes pending parameter values into the tree, which would
        otherwise arrive a timer tick later as fresh undo steps of the load itself.
        Elsewhere it leaves both to the message thread: the undo manager is not
        thread-safe and the editor uses it. */
    class UndoHistoryReset : private MessageThreadUpdate
    {
    public:
        explicit UndoHistoryReset (BrellumProcessor& p) : processor (p) {}
        ~UndoHistoryReset() override { cancelAndWait(); }
        void reset();

    private:
        void handleAsyncUpdate() override;
        BrellumProcessor& processor;
    };

    /** Tells every listener (the host's wrapper included) the current parameter values
        again, from the message thread. VST3 hosts change programs inside a parameter
        callback, during which the framework drops the resulting value notifications, so
        the host would keep showing the previous program's values. */
    class ParameterEcho : private MessageThreadUpdate
    {
    public:
        explicit ParameterEcho (BrellumProcessor& p) : processor (p) {}
        ~ParameterEcho() override { cancelAndWait(); }
        void post() { triggerAsyncUpdate(); }

    private:
        void handleAsyncUpdate() override;
        BrellumProcessor& processor;
    };

    /** The block's parameter values, loaded once per block from the tree's atomics. */
    br::dsp::BlockParams loadBlockParams() const noexcept;
    br::dsp::HostTiming readHostTiming() const;
    void runEngine (juce::AudioBuffer<float>&, bool bypassed) noexcept;

    std::array<std::atomic<float>*, br::numParams> rawValues {};

    /** The live set-up as it would be parked, around a parameter block already taken
        (outside the lock: it reads only atomics). Call with `parkedLock` held, so that
        the identity and `modified` are read in the same step as the parked set-up. */
    ParkedSetup liveSetup (juce::ValueTree liveState) const;

    /** Guards `parked`, and makes a switch, a copy, a state save and a restore each one
        step for the others: the live identity, `modified` and `activeSetup` are read
        and written together with it. Taken by the message thread and by hosts' threads
        saving or restoring a state, never by the audio thread. Held only to copy
        fields; inside it the preset manager's own lock may be taken, never the reverse. */
    mutable juce::CriticalSection parkedLock;
    ParkedSetup parked;

    UndoHistoryReset undoHistoryReset { *this };
    ParameterEcho parameterEcho { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrellumProcessor)
};
