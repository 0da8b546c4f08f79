#include "plugin/BrellumProcessor.h"
#include "plugin/ParameterLayout.h"

namespace
{
constexpr double fallbackSampleRate = 44100.0;
}

BrellumProcessor::BrellumProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      parameters (*this, &undoManager, "Parameters", br::createParameterLayout()),
      presetManager (parameters)
{
    const auto& ids = br::allParameterIds();
    for (int i = 0; i < br::numParams; ++i)
    {
        rawValues[static_cast<size_t> (i)] = parameters.getRawParameterValue (ids[i]);
        jassert (rawValues[static_cast<size_t> (i)] != nullptr);
    }

    for (const auto& id : ids)
        parameters.addParameterListener (id, this);

    presetManager.onChange = [this]
    {
        modified.store (false);
        undoHistoryReset.reset();
    };

    // Set-up B starts as a copy of A.
    copySetupToOther();
}

BrellumProcessor::~BrellumProcessor()
{
    for (const auto& id : br::allParameterIds())
        parameters.removeParameterListener (id, this);
}

const juce::String BrellumProcessor::getName() const { return "Quorvane"; }

void BrellumProcessor::prepareToPlay (double sampleRate, int)
{
    engine.prepare (sampleRate > 0.0 ? sampleRate : fallbackSampleRate);
}

void BrellumProcessor::releaseResources()
{
    // The engine keeps its delay lines: a host that releases and resumes without a new
    // prepare must still get processed audio, and the next prepare resizes anyway.
}

br::dsp::BlockParams BrellumProcessor::loadBlockParams() const noexcept
{
    br::dsp::BlockParams params;
    for (size_t i = 0; i < rawValues.size(); ++i)
        params.values[i] = rawValues[i]->load (std::memory_order_relaxed);
    return params;
}

br::dsp::HostTiming BrellumProcessor::readHostTiming() const
{
    br::dsp::HostTiming timing;
    if (auto* host = getPlayHead())
    {
        if (const auto position = host->getPosition())
        {
            if (const auto bpm = position->getBpm(); bpm.hasValue() && *bpm > 0.0)
            {
                timing.bpm = *bpm;
                timing.bpmValid = true;
            }
            if (const auto ppq = position->getPpqPosition())
            {
                timing.ppqPosition = *ppq;
                timing.ppqValid = true;
            }
            timing.playing = position->getIsPlaying();
        }
    }
    return timing;
}

void BrellumProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    runEngine (buffer, false);
}

void BrellumProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    runEngine (buffer, true);
}

void BrellumProcessor::runEngine (juce::AudioBuffer<float>& buffer, bool bypassed) noexcept
{
    juce::ScopedNoDenormals noDenormals;

    const auto numSamples = buffer.getNumSamples();
    const auto totalIn = getTotalNumInputChannels();
    const auto totalOut = juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels());
    if (buffer.getNumChannels() == 0)
        return;

    // A mono input reaches every output before processing, so mono-in/stereo-out is
    // processed as a stereo pair of two copies.
    for (int channel = totalIn; channel < totalOut; ++channel)
        buffer.copyFrom (channel, 0, buffer, 0, 0, numSamples);

    const auto timing = readHostTiming();
    const auto params = loadBlockParams();

    if (numSamples <= 0 || ! engine.isPrepared())
        return;

    br::dsp::AudioView view;
    view.left = buffer.getWritePointer (0);
    view.right = getTotalNumOutputChannels() > 1 && buffer.getNumChannels() > 1 ? buffer.getWritePointer (1) : nullptr;
    view.numSamples = numSamples;
    engine.process (params, timing, view, bypassed);
}

double BrellumProcessor::getTailLengthSeconds() const { return 0.03; }
bool BrellumProcessor::acceptsMidi() const { return false; }
bool BrellumProcessor::producesMidi() const { return false; }
bool BrellumProcessor::isMidiEffect() const { return false; }

bool BrellumProcessor::hasEditor() const { return true; }

bool BrellumProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto isMonoOrStereo = [] (const juce::AudioChannelSet& set)
    { return set == juce::AudioChannelSet::mono() || set == juce::AudioChannelSet::stereo(); };

    const auto& in = layouts.getMainInputChannelSet();
    const auto& out = layouts.getMainOutputChannelSet();
    return isMonoOrStereo (in) && isMonoOrStereo (out) && in.size() <= out.size();
}

void BrellumProcessor::parameterChanged (const juce::String&, float)
{
    if (! applyingState.load())
        modified.store (true);
}
