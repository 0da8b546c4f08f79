#include "processor/BrellumProcessor.h"

juce::AudioProcessorEditor* BrellumProcessor::createEditor()
{
    return new juce::GenericAudioProcessorEditor (*this);
}
