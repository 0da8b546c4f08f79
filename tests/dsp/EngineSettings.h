#pragma once
// The engine settings the engine tests and the benchmark run: one list, so that a
// path the reference comparison covers is also checked across block sizes and
// instruction sets, and timed.

#include "dsp/EngineTypes.h"

namespace br::test
{
struct EngineSetting
{
    const char* name;                   // also the benchmark's name
    void (*change) (dsp::BlockParams&); // from the defaults
    bool mono = false;
    bool transportPlaying = false; // Auto sync with the host's transport running
};

/** Every waveform; offsets on each shape's path (the sine's from cosine and sign,
    the others' shifted phases); FM from none to the 15 ms cap, with reads below one
    sample of delay; turns within 89 degrees and full ones; audio-rate LFOs; gain,
    mix, mono and tempo sync. */
inline const EngineSetting engineSettings[]{
    {"defaults", [] (dsp::BlockParams&) {}},
    {"square", [] (dsp::BlockParams& p) { p[Param::waveform] = 0; }},
    {"triangle", [] (dsp::BlockParams& p) { p[Param::waveform] = 1; }},
    {"sawUp", [] (dsp::BlockParams& p) { p[Param::waveform] = 2; }},
    {"sawDown", [] (dsp::BlockParams& p) { p[Param::waveform] = 3; }},
    {"fullFm", [] (dsp::BlockParams& p) { p[Param::fmDepth] = 100; }},
    {"allStagesOff", [] (dsp::BlockParams& p) { p[Param::amOn] = p[Param::fmOn] = p[Param::rotOn] = 0.0f; }},
    {"mono", [] (dsp::BlockParams&) {}, true},
    {"sineAmAt90FmAt270",
     [] (dsp::BlockParams& p)
     {
         p[Param::amPhase] = 1;
         p[Param::fmPhase] = 3;
     }},
    {"sineAmAt90FmAt180FullTurnsFullFm",
     [] (dsp::BlockParams& p)
     {
         p[Param::amPhase] = 1;
         p[Param::fmPhase] = 2;
         p[Param::rotRange] = 360;
         p[Param::rotCenter] = -120;
         p[Param::fmDepth] = 100;
         p[Param::rate] = 7;
     }},
    {"triangleAmAt180FmAt90",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 1;
         p[Param::amPhase] = 2;
         p[Param::fmPhase] = 1;
     }},
    {"triangleAmAt90",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 1;
         p[Param::amPhase] = 1;
     }},
    // The heaviest kind of setting: an offset shape the sine phasor cannot give, the
    // vibrato at its cap and turns beyond the narrow range.
    {"slowTriangleAmAt90FullFmWideTurns",
     [] (dsp::BlockParams& p)
     {
         p[Param::rate] = 0.35f;
         p[Param::waveform] = 1;
         p[Param::amDepth] = 30;
         p[Param::amPhase] = 1;
         p[Param::fmDepth] = 100;
         p[Param::rotRange] = 220;
     }},
    {"squareX8AmAt270",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 0;
         p[Param::xFactor] = 9;
         p[Param::amPhase] = 3;
     }},
    {"fastSawUp",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 2;
         p[Param::rate] = 9;
     }},
    {"fullDepthsFastSine",
     [] (dsp::BlockParams& p)
     {
         p[Param::rate] = 7.5f;
         p[Param::amDepth] = 100;
         p[Param::fmDepth] = 100;
         p[Param::rotRange] = 360;
         p[Param::rotCenter] = -180;
     }},
    // Reads below one sample of delay.
    {"fastSquareX16",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 0;
         p[Param::rate] = 40;
         p[Param::xFactor] = 12;
     }},
    {"audioRateSquareX100",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 0;
         p[Param::rate] = 40.0f;
         p[Param::xFactor] = 15;
         p[Param::fmDepth] = 100;
     }},
    // Whole eighths or 32nds of a cycle per sample, so the phase lands on 1.0.
    {"squareAt6000Hz",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 0;
         p[Param::rate] = 60.0f;
         p[Param::xFactor] = 15;
         p[Param::amPhase] = 2;
     }},
    {"slowFmAtTheCapGainAndMix",
     [] (dsp::BlockParams& p)
     {
         p[Param::rate] = 0.05f;
         p[Param::fmDepth] = 100;
         p[Param::gain] = -7.5f;
         p[Param::mix] = 63.3f;
         p[Param::rotCenter] = 33;
     }},
    {"allStagesOffMix40GainMinus6",
     [] (dsp::BlockParams& p)
     {
         p[Param::amOn] = p[Param::fmOn] = p[Param::rotOn] = 0.0f;
         p[Param::mix] = 40;
         p[Param::gain] = -6;
     }},
    {"monoSawDown", [] (dsp::BlockParams& p) { p[Param::waveform] = 3; }, true},
    {"monoSquareFullFm",
     [] (dsp::BlockParams& p)
     {
         p[Param::waveform] = 0;
         p[Param::fmDepth] = 100;
         p[Param::rate] = 3;
     },
     true},
    {"autoX3TransportPlaying",
     [] (dsp::BlockParams& p)
     {
         p[Param::sync] = 1;
         p[Param::xFactor] = 6;
         p[Param::waveform] = 2;
     },
     false, true},
};

/** The settings `setting` makes of the defaults. */
inline dsp::BlockParams paramsOf (const EngineSetting& setting)
{
    auto p = dsp::defaultBlockParams();
    setting.change (p);
    return p;
}
} // namespace br::test
