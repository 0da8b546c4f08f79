"""Writes a corrected copy of JUCE 7.0.5's LV2 client for our LV2 plug-in.

The unity file juce_audio_plugin_client_LV2.cpp includes "LV2/juce_LV2_Client.cpp" by a
quoted relative path, so a copy earlier on the include path would not be seen: the
corrected client and a copy of the unity file are written side by side, and the build
compiles that copy instead of JUCE's.

Two faults of the client, both met in Ardour and jalv:
- the song position is read only from time:beat, which those hosts never send (they send
  time:bar and time:barBeat), and it is forgotten after every block, while hosts send a
  time:Position only when the transport starts, stops, relocates or changes tempo. A
  tempo-synced LFO then runs free of the beat grid, and no two renders sound alike.
- a patch:Get is ignored, so a host that asks for the parameter values (Ardour does when
  it builds its generic editor) shows 0 for every value it did not write itself.
Every replacement must match exactly once, so a different JUCE fails the build loudly.
Usage: patch_lv2_client.py <JUCE modules folder> <output folder>"""
import pathlib
import sys

import juce_patch

modules, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
unity, text = juce_patch.read_client(modules, 'LV2', 'LV2/juce_LV2_Client.cpp')

replacements = [
    # patch:Get: flag the values asked for, so that the next run() writes them out as
    # patch:Set, the path that already reports the plug-in's own parameter changes.
    ("    struct Options\n    {\n        bool parameterValue, gestureBegin, gestureEnd;\n",
     "    /*  A host's patch:Get asks for the current value of one parameter, or of all of them\n"
     "        when it names no property. Lock-free: called on the audio thread. */\n"
     "    void requestValues (Optional<LV2_URID> property) noexcept\n"
     "    {\n"
     "        for (size_t index = 0; index < indexToUridMap.size(); ++index)\n"
     "            if (! property.hasValue() || *property == indexToUridMap[index])\n"
     "                stateCache.setBits (index, newClientValue);\n"
     "    }\n\n"
     "    struct Options\n    {\n        bool parameterValue, gestureBegin, gestureEnd;\n"),

    # The position is no longer dropped after each block: it is carried forward instead.
    ("    void invalidate() { info = nullopt; }\n",
     "    /*  Hosts send a time:Position only when the transport starts, stops, relocates or\n"
     "        changes tempo. In between, the position moves on by itself: the frame at the\n"
     "        transport speed, the beat at the tempo times the speed. A negative count moves\n"
     "        it back. Until a host has sent a position there is none. */\n"
     "    void advance (double samples)\n"
     "    {\n"
     "        if (! info.hasValue() || speed == 0.0 || samples == 0.0)\n"
     "            return;\n\n"
     "        const auto moved = samples * speed;\n\n"
     "        if (info->getTimeInSamples().hasValue())\n"
     "        {\n"
     "            framePosition += moved;\n"
     "            info->setTimeInSamples ((int64_t) std::llround (framePosition));\n"
     "            info->setTimeInSeconds (framePosition / sampleRate);\n"
     "        }\n\n"
     "        const auto ppq = info->getPpqPosition();\n"
     "        const auto bpm = info->getBpm();\n\n"
     "        if (! ppq.hasValue() || ! bpm.hasValue())\n"
     "            return;\n\n"
     "        // time:beatsPerMinute counts beats of time:beatUnit, the position counts quarter notes.\n"
     "        const auto quarters = *ppq + moved * *bpm / 60.0 / sampleRate * quarterNotesPerBeat;\n"
     "        info->setPpqPosition (quarters);\n\n"
     "        const auto barStart = info->getPpqPositionOfLastBarStart();\n\n"
     "        if (! barStart.hasValue() || beatsPerBar <= 0.0)\n"
     "            return;\n\n"
     "        const auto barLength = beatsPerBar * quarterNotesPerBeat;\n"
     "        const auto barsPassed = std::floor ((quarters - *barStart) / barLength);\n\n"
     "        if (barsPassed != 0.0)\n"
     "        {\n"
     "            info->setPpqPositionOfLastBarStart (*barStart + barsPassed * barLength);\n\n"
     "            if (const auto bar = info->getBarCount())\n"
     "                info->setBarCount (*bar + (int64_t) barsPassed);\n"
     "        }\n"
     "    }\n"),

    ("        const LV2_Atom* atomBar            = nullptr;\n",
     "        const LV2_Atom* atomBar            = nullptr;\n"
     "        const LV2_Atom* atomBarBeat        = nullptr;\n"),
    ("                                        { mLV2_TIME__bar,               &atomBar },\n",
     "                                        { mLV2_TIME__bar,               &atomBar },\n"
     "                                        { mLV2_TIME__barBeat,           &atomBarBeat },\n"),

    # Ardour and jalv give the bar (from 0) and the beat within it (from 0, fractional),
    # never time:beat: the position in quarter notes is derived from those.
    ("        info->setBpm (parser.parseNumericAtom<float> (atomBeatsPerMinute));\n"
     "        info->setPpqPosition (parser.parseNumericAtom<double> (atomBeat));\n"
     "        info->setIsPlaying (parser.parseNumericAtom<float> (atomSpeed).orFallback (0.0f) != 0.0f);\n"
     "        info->setBarCount (parser.parseNumericAtom<int64_t> (atomBar));\n\n"
     "        if (const auto parsed = parser.parseNumericAtom<int64_t> (atomFrame))\n"
     "        {\n"
     "            info->setTimeInSamples (*parsed);\n"
     "            info->setTimeInSeconds ((double) *parsed / sampleRate);\n"
     "        }\n",
     "        quarterNotesPerBeat = 4.0 / (denominator.hasValue() && *denominator > 0 ? *denominator : 4);\n"
     "        beatsPerBar = numerator.orFallback (0.0f);\n"
     "        speed = parser.parseNumericAtom<double> (atomSpeed).orFallback (0.0);\n\n"
     "        const auto bar     = parser.parseNumericAtom<int64_t> (atomBar);\n"
     "        const auto barBeat = parser.parseNumericAtom<double> (atomBarBeat);\n"
     "        auto ppq           = parser.parseNumericAtom<double> (atomBeat);\n\n"
     "        if (! ppq.hasValue() && bar.hasValue() && barBeat.hasValue() && beatsPerBar > 0.0)\n"
     "            ppq = ((double) *bar * beatsPerBar + *barBeat) * quarterNotesPerBeat;\n\n"
     "        info->setBpm (parser.parseNumericAtom<float> (atomBeatsPerMinute));\n"
     "        info->setPpqPosition (ppq);\n"
     "        info->setIsPlaying (speed != 0.0);\n"
     "        info->setBarCount (bar);\n\n"
     "        if (ppq.hasValue() && barBeat.hasValue())\n"
     "            info->setPpqPositionOfLastBarStart (*ppq - *barBeat * quarterNotesPerBeat);\n\n"
     "        if (const auto parsed = parser.parseNumericAtom<int64_t> (atomFrame))\n"
     "        {\n"
     "            framePosition = (double) *parsed;\n"
     "            info->setTimeInSamples (*parsed);\n"
     "            info->setTimeInSeconds ((double) *parsed / sampleRate);\n"
     "        }\n\n"
     "        // The block is processed whole: the event tells where the transport is at its\n"
     "        // own offset, so the block starts that many samples earlier.\n"
     "        advance (-(double) event->time.frames);\n"),

    ("    Optional<PositionInfo> info;\n    double sampleRate;\n",
     "    Optional<PositionInfo> info;\n    double sampleRate;\n"
     "    double speed = 0.0, framePosition = 0.0, quarterNotesPerBeat = 1.0, beatsPerBar = 0.0;\n"),
    ("    X (LV2_TIME__bar)\n   #undef X\n",
     "    X (LV2_TIME__bar)\n    X (LV2_TIME__barBeat)\n   #undef X\n"),

    ("        midi.clear();\n        playHead.invalidate();\n",
     "        midi.clear();\n"),
    ("            playHead.readNewInfo (event);\n",
     "            playHead.readNewInfo (event);\n"
     "            answerPatchGet (event);\n"),
    ("        for (auto i = 0, end = processor->getTotalNumOutputChannels(); i < end; ++i)\n"
     "        {\n"
     "            const auto src = audio.getReadPointer (i);\n",
     "        playHead.advance ((double) numSteps);\n\n"
     "        for (auto i = 0, end = processor->getTotalNumOutputChannels(); i < end; ++i)\n"
     "        {\n"
     "            const auto src = audio.getReadPointer (i);\n"),

    ("    LV2_URID map (StringRef uri) const { return mapFeature.map (mapFeature.handle, uri); }\n",
     "    void answerPatchGet (const LV2_Atom_Event* event) noexcept\n"
     "    {\n"
     "        if (event->body.type != patchSetHelper.mLV2_ATOM__Object)\n"
     "            return;\n\n"
     "        const auto* object = reinterpret_cast<const LV2_Atom_Object*> (&event->body);\n\n"
     "        if (object->body.otype != mLV2_PATCH__Get)\n"
     "            return;\n\n"
     "        const LV2_Atom* subject  = nullptr;\n"
     "        const LV2_Atom* property = nullptr;\n"
     "        LV2_Atom_Object_Query query[] { { patchSetHelper.mLV2_PATCH__subject,  &subject },\n"
     "                                        { patchSetHelper.mLV2_PATCH__property, &property },\n"
     "                                        LV2_ATOM_OBJECT_QUERY_END };\n"
     "        lv2_atom_object_query (object, query);\n\n"
     "        if (! patchSetHelper.isPlugin (subject))\n"
     "            return;\n\n"
     "        if (property == nullptr)\n"
     "            parameters.requestValues (nullopt);\n"
     "        else if (property->type == patchSetHelper.mLV2_ATOM__URID)\n"
     "            parameters.requestValues (reinterpret_cast<const LV2_Atom_URID*> (property)->body);\n"
     "    }\n\n"
     "    LV2_URID map (StringRef uri) const { return mapFeature.map (mapFeature.handle, uri); }\n"),
    ("    X (LV2_PATCH__Set)\n",
     "    X (LV2_PATCH__Get)\n    X (LV2_PATCH__Set)\n"),
]
text = juce_patch.apply(text, replacements, "juce_LV2_Client.cpp")
juce_patch.write_client(output, 'LV2', 'LV2/juce_LV2_Client.cpp', unity, text)
