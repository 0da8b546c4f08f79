#include "editor/PluginEditor.h"

juce::AudioProcessorEditor* BrellumProcessor::createEditor() { return new BrellumEditor (*this); }
