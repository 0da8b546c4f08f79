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

/** Parameter ids as the host, the state and the preset files know them, in `Param` order. */
constexpr std::array<const char*, numParams> parameterIds {
    "sync",     "rate",  "xFactor", "waveform", "amDepth", "amOn", "amPhase", "rotCenter",
    "rotOn",    "rotRange", "fmDepth", "fmOn",  "fmPhase", "gain", "mix",
};

/** The sixteen rate multipliers of "xFactor"; choice index i means xFactors[i]. */
constexpr std::array<double, 16> xFactors { 0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0,
                                                 6.0,  8.0, 12.0, 16.0, 24.0, 32.0, 50.0, 100.0 };

constexpr int paramIndex (Param p) noexcept { return static_cast<int> (p); }
} // namespace br
