// Cost of the modulation engine per stereo frame, against the real-time budget.
// 48 kHz leaves 20.8 us per frame; the engine should take a small share of it.
#include "EngineSettings.h"
#include "dsp/ModEngine.h"

#include <benchmark/benchmark.h>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace
{
using br::dsp::AudioView;
using br::dsp::BlockParams;
using br::dsp::HostTiming;
using br::dsp::ModEngine;

constexpr double sampleRate = 48000.0;

/** Flush-to-zero and denormals-are-zero for the scope, as juce::ScopedNoDenormals does. */
struct DenormalsOff
{
#if defined(__SSE__)
    DenormalsOff() : saved (_mm_getcsr())
    {
        _mm_setcsr (saved | 0x8040);
    }
    ~DenormalsOff()
    {
        _mm_setcsr (saved);
    }
    unsigned int saved;
#endif
};

constexpr int framesPerRun = 8192; // each iteration processes this many frames in blocks

void processFrames (benchmark::State& state, const br::test::EngineSetting& setting, bool bypassed)
{
    const int blockSize = static_cast<int> (state.range (0));
    ModEngine engine;
    engine.prepare (sampleRate);
    const auto params = br::test::paramsOf (setting);
    const HostTiming timing;
    const bool mono = setting.mono;

    std::vector<float> sourceLeft (framesPerRun), sourceRight (framesPerRun);
    std::mt19937 rng (7);
    std::uniform_real_distribution<float> noise (-0.5f, 0.5f);
    for (size_t i = 0; i < sourceLeft.size(); ++i)
    {
        sourceLeft[i] = noise (rng);
        sourceRight[i] = noise (rng);
    }
    std::vector<float> left (framesPerRun), right (framesPerRun);

    // As in the plug-in, denormals are flushed (the processor holds ScopedNoDenormals).
    const DenormalsOff denormalsOff;

    for (auto _ : state)
    {
        // Fresh input each round: processing the output again and again would let
        // the tremolo pull it down into denormal range. The copy costs about 0.1 ns a frame.
        std::copy (sourceLeft.begin(), sourceLeft.end(), left.begin());
        std::copy (sourceRight.begin(), sourceRight.end(), right.begin());
        for (int start = 0; start < framesPerRun; start += blockSize)
        {
            const int n = std::min (blockSize, framesPerRun - start);
            engine.process (params, timing, {left.data() + start, mono ? nullptr : right.data() + start, n}, bypassed);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed (state.iterations() * framesPerRun);
    const double frames = static_cast<double> (state.iterations()) * framesPerRun;
    state.counters["ns_per_frame"] =
        benchmark::Counter (frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Processing time per second of audio: 1 ms here is 0.1 % of one core's real-time budget.
    state.counters["cpu_per_audio_second"] =
        benchmark::Counter (frames / sampleRate, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

/** Every shared engine setting, and the defaults once more under bypass, each at
    several host block sizes. */
[[maybe_unused]] const bool registered = []
{
    const auto add = [] (const std::string& name, const br::test::EngineSetting& setting, bool bypassed)
    {
        auto* b = benchmark::RegisterBenchmark (("processFrames/" + name).c_str(),
                                                [&setting, bypassed] (benchmark::State& state)
                                                { processFrames (state, setting, bypassed); });
        for (int size : {1, 16, 64, 512, 4096})
            b->Arg (size);
    };
    for (const auto& setting : br::test::engineSettings)
        add (setting.name, setting, false);
    add ("bypassed", br::test::engineSettings[0], true);
    return true;
}();
} // namespace
