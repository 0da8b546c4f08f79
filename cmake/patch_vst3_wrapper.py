"""Writes a corrected copy of JUCE 7.0.5's VST3 wrapper for our VST3 plug-in.

The unity file juce_audio_plugin_client_VST3.cpp includes "VST3/juce_VST3_Wrapper.cpp" by
a quoted relative path, so the corrected wrapper and a copy of the unity file are written
side by side, and the build compiles that copy instead of JUCE's. The wrapper's own
relative includes of the client's utility headers are turned into module includes, since
the copy does not sit beside them.

The fault: a host that restores a session first selects the last preset (Ardour does,
from its "last-preset-uri") and then sets the saved state. The preset's parameter changes
are kept by the wrapper to be reported to the host with the next processed block, which
comes after the state was set, and the host then writes the preset's values over the
restored ones: every edit made after choosing the preset is lost on reopening. Changes
still waiting when a state arrives are stale, so they are dropped there.
Every replacement must match exactly once, so a different JUCE fails the build loudly.
Usage: patch_vst3_wrapper.py <JUCE modules folder> <output folder>"""
import pathlib
import sys

import juce_patch

modules, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
unity, text = juce_patch.read_client(modules, 'VST3', 'VST3/juce_VST3_Wrapper.cpp')

replacements = [
    ("        FUnknownPtr<IBStream> stateRefHolder (state); // just in case the caller hasn't properly ref-counted the stream object\n\n"
     "        if (state->seek (0, IBStream::kIBSeekSet, nullptr) == kResultTrue)\n"
     "        {\n"
     "            if (! getHostType().isFruityLoops() && readFromMemoryStream (state))\n",
     "        FUnknownPtr<IBStream> stateRefHolder (state); // just in case the caller hasn't properly ref-counted the stream object\n\n"
     "        // Parameter changes not yet reported to the host (a preset the host chose just\n"
     "        // before restoring) would reach it after this state and overwrite it.\n"
     "        comPluginInstance->forAllChangedParameters ([] (Vst::ParamID, float) {});\n\n"
     "        if (state->seek (0, IBStream::kIBSeekSet, nullptr) == kResultTrue)\n"
     "        {\n"
     "            if (! getHostType().isFruityLoops() && readFromMemoryStream (state))\n"),
]
for header in ('juce_CheckSettingMacros.h', 'juce_IncludeSystemHeaders.h', 'juce_IncludeModuleHeaders.h',
               'juce_WindowsHooks.h', 'juce_LinuxMessageThread.h'):
    replacements.append(('#include "../utility/%s"\n' % header,
                         '#include <juce_audio_plugin_client/utility/%s>\n' % header))

text = juce_patch.apply(text, replacements, "juce_VST3_Wrapper.cpp")
if '#include "../' in text:
    sys.exit("juce_VST3_Wrapper.cpp does not look like JUCE 7.0.5's: it has relative includes this script does not know")
juce_patch.write_client(output, 'VST3', 'VST3/juce_VST3_Wrapper.cpp', unity, text)
