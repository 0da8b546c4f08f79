#pragma once
#include <array>

namespace br
{
/** Index of each of the fifteen parameters. The order is binding: hosts see the
    parameters with these indices, and every table keyed by parameter follows it. */
enum class Param : int
{
    sync,
    rate,
    xFactor,
    waveform,
    amDepth,
    amOn,
    amPhase,
    rotCenter,
    rotOn,
    rotRange,
    fmDepth,
    fmOn,
    fmPhase,
    gain,
    mix
};

constexpr int numParams = 15;

constexpr int paramIndex (Param p) noexcept { return static_cast<int> (p); }

/** The sixteen rate multipliers of "xFactor"; choice index i means xFactors[i]. */
constexpr std::array<double, 16> xFactors { 0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0,
                                                 6.0,  8.0, 12.0, 16.0, 24.0, 32.0, 50.0, 100.0 };

constexpr std::array<const char*, 2> syncChoices { "Manual", "Auto" };
constexpr std::array<const char*, 5> waveformChoices { "Square", "Triangle", "Saw Up", "Saw Down", "Sine" };
constexpr std::array<const char*, 4> phaseChoices { "0", "90", "180", "270" };

/** How a parameter's value maps to the host's 0..1 and which values it can take. */
enum class Mapping
{
    choice,      // an index 0..max
    toggle,      // 0 or 1
    logarithmic, // min x (max / min)^p, snapped to `step` (halves away from zero)
    linear,      // min + (max - min) x p, snapped to `step` (halves away from zero)
    wholeSteps   // linear over the framework's own grid of `step` from min
};

/** How a value reads as text, and so its unit. Choices read as their names. */
enum class TextKind
{
    syncName,
    xFactorName,
    waveformName,
    phaseName,
    onOff,    // the framework's own text
    hertz,    // two decimals, "Hz"
    percent,  // whole number, "%"
    degrees,  // whole number, "deg"
    decibels  // one decimal, "dB"
};

/** Everything a host, the state, the presets, the editor and the engine's tests know
    about one parameter. Values are in the parameter's own units. */
struct ParamInfo
{
    Param param;
    const char* id;   // as the host, the state and the preset files know it
    const char* name; // as hosts show it
    Mapping mapping;
    float min;
    float max;
    float defaultValue;
    float step;
    TextKind text;
};

template <typename Array>
constexpr float lastIndex (const Array& a) noexcept
{
    return static_cast<float> (a.size() - 1);
}

/** The parameter set, in `Param` order. */
constexpr std::array<ParamInfo, numParams> parameterTable { {
    { Param::sync, "sync", "Sync", Mapping::choice, 0.0f, lastIndex (syncChoices), 0.0f, 1.0f, TextKind::syncName },
    { Param::rate, "rate", "Rate", Mapping::logarithmic, 0.01f, 60.0f, 0.2f, 0.01f, TextKind::hertz },
    { Param::xFactor, "xFactor", "x Factor", Mapping::choice, 0.0f, lastIndex (xFactors), 3.0f, 1.0f,
      TextKind::xFactorName },
    { Param::waveform, "waveform", "Waveform", Mapping::choice, 0.0f, lastIndex (waveformChoices), 4.0f, 1.0f,
      TextKind::waveformName },
    { Param::amDepth, "amDepth", "AM Depth", Mapping::linear, 0.0f, 100.0f, 50.0f, 0.1f, TextKind::percent },
    { Param::amOn, "amOn", "AM On", Mapping::toggle, 0.0f, 1.0f, 1.0f, 1.0f, TextKind::onOff },
    { Param::amPhase, "amPhase", "AM Phase", Mapping::choice, 0.0f, lastIndex (phaseChoices), 0.0f, 1.0f,
      TextKind::phaseName },
    { Param::rotCenter, "rotCenter", "Rotation Center", Mapping::wholeSteps, -180.0f, 180.0f, 0.0f, 1.0f,
      TextKind::degrees },
    { Param::rotOn, "rotOn", "Rotation On", Mapping::toggle, 0.0f, 1.0f, 1.0f, 1.0f, TextKind::onOff },
    { Param::rotRange, "rotRange", "Rotation Range", Mapping::wholeSteps, 1.0f, 360.0f, 90.0f, 1.0f, TextKind::degrees },
    { Param::fmDepth, "fmDepth", "FM Depth", Mapping::linear, 0.0f, 100.0f, 50.0f, 0.1f, TextKind::percent },
    { Param::fmOn, "fmOn", "FM On", Mapping::toggle, 0.0f, 1.0f, 1.0f, 1.0f, TextKind::onOff },
    { Param::fmPhase, "fmPhase", "FM Phase", Mapping::choice, 0.0f, lastIndex (phaseChoices), 0.0f, 1.0f,
      TextKind::phaseName },
    { Param::gain, "gain", "Gain", Mapping::linear, -12.0f, 12.0f, 0.0f, 0.1f, TextKind::decibels },
    { Param::mix, "mix", "Mix", Mapping::linear, 0.0f, 100.0f, 100.0f, 0.1f, TextKind::percent },
} };

constexpr bool tableFollowsParamOrder()
{
    for (int i = 0; i < numParams; ++i)
        if (paramIndex (parameterTable[static_cast<std::size_t> (i)].param) != i)
            return false;
    return true;
}
static_assert (tableFollowsParamOrder(), "the parameter table must list the parameters in Param order");

constexpr const ParamInfo& specOf (Param p) noexcept { return parameterTable[static_cast<std::size_t> (paramIndex (p))]; }

/** The id of a parameter as the host, the state and the preset files know it. */
constexpr const char* idOf (Param p) noexcept { return specOf (p).id; }

constexpr float defaultOf (Param p) noexcept { return specOf (p).defaultValue; }
} // namespace br
