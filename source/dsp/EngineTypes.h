#pragma once
#include "dsp/Parameters.h"

#include <cstddef>

namespace br::dsp
{
/** The fifteen parameter values of one block, each in its own units (Hz, %, degrees,
    dB; choices as their index, switches 0 or 1), indexed by `Param`. The processor
    fills it once per block from the parameter tree's atomics. */
struct BlockParams
{
    std::array<float, numParams> values {};

    float operator[] (Param p) const noexcept { return values[static_cast<std::size_t> (paramIndex (p))]; }
    float& operator[] (Param p) noexcept { return values[static_cast<std::size_t> (paramIndex (p))]; }
};

/** The settings of a fresh instance, from the parameter table. */
constexpr BlockParams defaultBlockParams() noexcept
{
    BlockParams p;
    for (const auto& info : parameterTable)
        p[info.param] = info.defaultValue;
    return p;
}

/** What the host told us about its position for this block; every field is
    meaningful only when its flag says so. */
struct HostTiming
{
    double bpm = 0.0;
    bool bpmValid = false;     // a tempo was given and it is greater than 0
    double ppqPosition = 0.0;  // in quarter notes; 0 when not given
    bool ppqValid = false;
    bool playing = false;
};

/** Channel pointers of one block, processed in place. `right` is null for mono. */
struct AudioView
{
    float* left = nullptr;
    float* right = nullptr;
    int numSamples = 0;
};
} // namespace br::dsp
