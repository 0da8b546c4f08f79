#pragma once
// Shared by the engine tests: settings, signals, float comparison and a look at the
// engine's private state.

#include "dsp/ModEngine.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace br::dsp
{
/** Read access to the engine's state for tests; the engine names it a friend. */
struct ModEngineInspector
{
    static double phase (const ModEngine& e) { return e.phase; }
    static double sampleRate (const ModEngine& e) { return e.sampleRate; }
    static double lastTempoBpm (const ModEngine& e) { return e.lastTempoBpm; }
    static float lfoAm (const ModEngine& e) { return e.lfoAm; }
    static float lfoFm (const ModEngine& e) { return e.lfoFm; }
    static float lfoBase (const ModEngine& e) { return e.lfoBase; }
    static size_t delayLength (const ModEngine& e) { return e.delayLeft.size(); }
    static size_t delayLengthRight (const ModEngine& e) { return e.delayRight.size(); }
    static int delayMask (const ModEngine& e) { return e.delayMask; }
    static const Ramp& fmDepthRamp (const ModEngine& e) { return e.fmDepthRamp; }
    static const Ramp& amDepthRamp (const ModEngine& e) { return e.amDepthRamp; }
    static bool wideVectors (const ModEngine& e) { return e.wideVectors; }
    static void setWideVectors (ModEngine& e, bool on) { e.wideVectors = on; }

    /** The delay the last processed sample was read at, in samples. */
    static double delaySamples (const ModEngine& e)
    {
        return (static_cast<double> (e.lfoFm) + 1.0) * static_cast<double> (e.fmDepthRamp.current);
    }
};
} // namespace br::dsp

namespace br::test
{
using Inspect = dsp::ModEngineInspector;

/** The settings of a fresh instance. */
inline dsp::BlockParams defaultParams() { return dsp::defaultBlockParams(); }

inline dsp::BlockParams stagesOff (dsp::BlockParams p)
{
    p[Param::amOn] = p[Param::fmOn] = p[Param::rotOn] = 0.0f;
    return p;
}

/** Full-scale uniform noise, the same for a given seed. */
inline std::vector<float> noise (size_t length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> v (length);
    for (auto& s : v)
        s = dist (rng);
    return v;
}

inline std::vector<float> sine (size_t length, double frequencyHz, double sampleRate, float amplitude = 1.0f)
{
    std::vector<float> v (length);
    for (size_t i = 0; i < length; ++i)
        v[i] = amplitude * static_cast<float> (std::sin (2.0 * 3.14159265358979323846 * frequencyHz *
                                                         static_cast<double> (i) / sampleRate));
    return v;
}

/** Distance in representable floats between a and b (0 = identical). */
inline std::int64_t ulpDistance (float a, float b)
{
    const auto ordered = [] (float f)
    {
        std::int32_t i;
        std::memcpy (&i, &f, sizeof (i));
        return i < 0 ? static_cast<std::int64_t> (INT32_MIN) - i : static_cast<std::int64_t> (i);
    };
    return std::llabs (ordered (a) - ordered (b));
}

/** Within `ulps` float ulps, or within `floor` absolutely. The floor covers values
    at a zero crossing, where the ulp shrinks to nothing while the reference's own
    sin (2 pi p) is off by about 1e-16 (sin (2 pi 0.5) is 1.2e-16, not 0). */
inline bool closeInUlps (float a, float b, int ulps, float floor)
{
    return ulpDistance (a, b) <= ulps || std::abs (a - b) <= floor;
}

/** Runs `engine` over the buffers in place, in blocks of the given sizes (the list
    repeats). */
inline void processInBlocks (dsp::ModEngine& engine, const dsp::BlockParams& params, const dsp::HostTiming& timing,
                             std::vector<float>& left, std::vector<float>* right, const std::vector<int>& blockSizes,
                             bool bypassed = false)
{
    size_t start = 0, k = 0;
    while (start < left.size())
    {
        const auto n = std::min (static_cast<size_t> (blockSizes[k++ % blockSizes.size()]), left.size() - start);
        engine.process (params, timing,
                        {left.data() + start, right != nullptr ? right->data() + start : nullptr, static_cast<int> (n)},
                        bypassed);
        start += n;
    }
}
} // namespace br::test
