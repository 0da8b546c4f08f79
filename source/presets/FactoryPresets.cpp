#include "presets/FactoryPresets.h"
#include "dsp/Parameters.h"

namespace br
{
namespace
{
using P = Param;

/** A preset's values keyed by parameter, so that a preset cannot name one that does not exist. */
std::vector<std::pair<juce::String, float>> values (std::initializer_list<std::pair<Param, float>> list)
{
    std::vector<std::pair<juce::String, float>> byId;
    for (const auto& [param, value] : list)
        byId.emplace_back (idOf (param), value);
    return byId;
}
} // namespace

const std::vector<FactoryPreset>& factoryPresets()
{
    // Only what differs from the defaults is listed; "rotCenter" and "gain" stay at
    // theirs in every preset.
    static const std::vector<FactoryPreset> presets {
        { "Full Reset", {} },
        { "Gentle Tremolo",
          values ({ { P::rate, 4.5f },
                    { P::amDepth, 35.0f },
                    { P::fmOn, 0.0f },
                    { P::rotOn, 0.0f } }) },
        { "Deep Tremolo",
          values ({ { P::rate, 6.0f },
                    { P::waveform, 1.0f },
                    { P::amDepth, 100.0f },
                    { P::fmOn, 0.0f },
                    { P::rotOn, 0.0f } }) },
        { "Classic Vibrato",
          values ({ { P::rate, 5.5f },
                    { P::amOn, 0.0f },
                    { P::fmDepth, 45.0f },
                    { P::rotOn, 0.0f } }) },
        { "Wide Auto-Pan",
          values ({ { P::rate, 0.5f },
                    { P::amOn, 0.0f },
                    { P::fmOn, 0.0f },
                    { P::rotRange, 180.0f } }) },
        { "Slow Stereo Drift",
          values ({ { P::rate, 0.12f }, { P::amDepth, 10.0f }, { P::fmDepth, 15.0f }, { P::rotRange, 120.0f } }) },
        { "Chorus Shimmer",
          values ({ { P::rate, 0.8f },
                    { P::amOn, 0.0f },
                    { P::fmDepth, 70.0f },
                    { P::rotRange, 60.0f },
                    { P::mix, 50.0f } }) },
        { "Rotary Fast",
          values ({ { P::rate, 6.7f },
                    { P::amDepth, 30.0f },
                    { P::fmDepth, 35.0f },
                    { P::fmPhase, 1.0f },
                    { P::rotRange, 140.0f } }) },
        { "Rotary Slow",
          values ({ { P::rate, 0.8f },
                    { P::amDepth, 20.0f },
                    { P::fmDepth, 50.0f },
                    { P::fmPhase, 1.0f },
                    { P::rotRange, 120.0f } }) },
        { "Sync Chopper 1-16",
          values ({ { P::sync, 1.0f },
                    { P::xFactor, 7.0f },
                    { P::waveform, 0.0f },
                    { P::amDepth, 100.0f },
                    { P::fmOn, 0.0f },
                    { P::rotOn, 0.0f } }) },
        { "Sync Gate Pan 1-8",
          values ({ { P::sync, 1.0f },
                    { P::xFactor, 5.0f },
                    { P::waveform, 0.0f },
                    { P::amDepth, 80.0f },
                    { P::fmOn, 0.0f },
                    { P::rotRange, 180.0f } }) },
        { "Saw Swells 1-4",
          values ({ { P::sync, 1.0f },
                    { P::xFactor, 3.0f },
                    { P::waveform, 2.0f },
                    { P::amDepth, 90.0f },
                    { P::fmOn, 0.0f },
                    { P::rotRange, 40.0f } }) },
        { "Sidechain Pump",
          values ({ { P::sync, 1.0f },
                    { P::xFactor, 3.0f },
                    { P::waveform, 2.0f },
                    { P::amDepth, 85.0f },
                    { P::amPhase, 2.0f },
                    { P::fmOn, 0.0f },
                    { P::rotOn, 0.0f } }) },
        { "Helicopter",
          values ({ { P::rate, 12.0f },
                    { P::waveform, 0.0f },
                    { P::amDepth, 100.0f },
                    { P::fmDepth, 20.0f },
                    { P::rotRange, 200.0f } }) },
        { "Ring Mod Bell",
          values ({ { P::rate, 6.0f },
                    { P::xFactor, 14.0f },
                    { P::amDepth, 100.0f },
                    { P::fmOn, 0.0f },
                    { P::rotOn, 0.0f },
                    { P::mix, 70.0f } }) },
        { "Seasick",
          values ({ { P::rate, 0.35f },
                    { P::waveform, 1.0f },
                    { P::amDepth, 30.0f },
                    { P::amPhase, 1.0f },
                    { P::fmDepth, 100.0f },
                    { P::rotRange, 220.0f } }) },
        { "Tape Warble",
          values ({ { P::rate, 1.2f },
                    { P::amDepth, 8.0f },
                    { P::fmDepth, 30.0f },
                    { P::rotOn, 0.0f } }) },
        { "Spinning Top",
          values ({ { P::rate, 3.0f },
                    { P::waveform, 3.0f },
                    { P::amDepth, 40.0f },
                    { P::fmDepth, 25.0f },
                    { P::rotRange, 360.0f } }) },
        { "Underwater",
          values ({ { P::rate, 2.2f },
                    { P::amDepth, 40.0f },
                    { P::amPhase, 2.0f },
                    { P::fmDepth, 85.0f },
                    { P::fmPhase, 3.0f },
                    { P::rotRange, 90.0f } }) },
        { "Stereo Widener",
          values ({ { P::rate, 0.2f },
                    { P::amOn, 0.0f },
                    { P::fmDepth, 20.0f },
                    { P::rotRange, 30.0f },
                    { P::mix, 50.0f } }) },
    };
    return presets;
}
} // namespace br
