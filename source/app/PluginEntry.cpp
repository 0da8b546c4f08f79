#include "plugin/BrellumProcessor.h"

// The one symbol every JUCE format wrapper (standalone, LV2, VST3) asks for.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new BrellumProcessor(); }
