"""Writes a corrected copy of JUCE 7.0.5's juce_VST3Common.h for our VST3 wrapper.

Two faults of the VST3 client's buffer mapping, both hit on every host:
- each block copies a channel mapping (it holds a std::vector): an allocation and a free
  on the audio thread per block;
- a block longer than the size announced in setupProcessing is copied into a scratch
  buffer sized for the announced block: a heap overrun. A well-behaved host never does
  this; when one does, the scratch buffer grows instead (the only allocation on that path).
Every replacement must match exactly once, so a different JUCE fails the build loudly."""
import pathlib
import sys

import juce_patch

source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
text = source.read_text(encoding='utf-8')

replacements = [
    ("    void clear() { channelCounter = 0; }\n",
     "    void clear() { channelCounter = 0; }\n\n"
     "    int getNumChannels() const { return buffer.getNumChannels(); }\n"
     "    int getNumSamples() const  { return buffer.getNumSamples(); }\n"),
    ("        scratchBuffer.clear();\n        channels.clear();\n",
     "        scratchBuffer.clear();\n        channels.clear();\n\n"
     "        if ((int) data.numSamples > scratchBuffer.getNumSamples())\n"
     "            scratchBuffer.setSize (jmax (1, scratchBuffer.getNumChannels()), (int) data.numSamples);\n"),
    ("            const auto mapping = map[busIndex];\n",
     "            const auto& mapping = map[busIndex];\n"),
]
juce_patch.write(target, juce_patch.apply(text, replacements, "juce_VST3Common.h"))
