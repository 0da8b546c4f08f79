// What one refresh tick of the open editor costs on the message thread: the refresh,
// and the drawing of every area it marks, into an image the size of the window, as the
// window's repaint does it. The telemetry comes from the processor running the default
// settings for one tick of audio (1600 samples at 48 kHz) before each frame:
//   - "stopped": no audio, nothing moves;
//   - "silence": a silent input, the LFO sweeps the needle and the two modulation meters;
//   - "sine": a 440 Hz sine at -6 dB, so the level meter moves too;
//   - "full": the whole window drawn, as when it opens or changes size.
// At 100 % and 200 % interface size. An idle window draws 30 of these a second, so
// 100 us per frame is 0.3 % of a core.
#include "editor/PluginEditor.h"
#include "support/RepaintRecorder.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int samplesPerTick = 1600;
constexpr int ticksRecorded = 300; // ten seconds: two cycles of the default 0.2 Hz sweep

enum class Scene
{
    stopped,
    silence,
    sine,
    full
};

/** What the audio thread publishes, taken after each tick of audio. */
struct Telemetry
{
    float amGain, fmValue, rotAngle, baseHz, peakL, peakR;
};

std::vector<Telemetry> record (BrellumProcessor& processor, Scene scene)
{
    processor.prepareToPlay (sampleRate, samplesPerTick);
    juce::AudioBuffer<float> buffer (2, samplesPerTick);
    juce::MidiBuffer midi;
    std::vector<Telemetry> ticks;
    auto& engine = processor.engine;
    double phase = 0.0;
    for (int t = 0; t < ticksRecorded; ++t)
    {
        buffer.clear();
        if (scene == Scene::sine)
            for (int i = 0; i < samplesPerTick; ++i, phase += 440.0 / sampleRate)
                for (int c = 0; c < 2; ++c)
                    buffer.setSample (c, i, 0.5f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * phase));
        if (scene != Scene::stopped)
            processor.processBlock (buffer, midi);
        ticks.push_back ({ engine.amGain.load(), engine.fmValue.load(), engine.rotAngle.load(), engine.baseHz.load(),
                           engine.peakL.exchange (0.0f), engine.peakR.exchange (0.0f) });
    }
    return ticks;
}

void frame (benchmark::State& state, Scene scene)
{
    const auto scale = (float) state.range (0) / 100.0f;
    BrellumProcessor processor;
    const auto ticks = record (processor, scene);
    BrellumEditor editor (processor);
    editor.setInterfaceScale (scale);
    editor.setVisible (true);

    // The X11 window draws into an image with alpha wherever the server offers one.
    juce::Image window (juce::Image::ARGB, editor.getWidth(), editor.getHeight(), true, juce::SoftwareImageType());
    {
        juce::Graphics g (window);
        editor.paintEntireComponent (g, true);
    }

    auto& engine = processor.engine;
    size_t tick = 0;
    for (auto _ : state)
    {
        const auto& now = ticks[tick];
        tick = (tick + 1) % ticks.size();
        engine.amGain.store (now.amGain);
        engine.fmValue.store (now.fmValue);
        engine.rotAngle.store (now.rotAngle);
        engine.baseHz.store (now.baseHz);
        engine.peakL.store (now.peakL);
        engine.peakR.store (now.peakR);

        auto marked = br::test::areasMarkedBy (editor, [&] { editor.refresh(); });
        if (scene == Scene::full)
            marked = editor.getLocalBounds();

        if (! marked.isEmpty())
        {
            juce::Graphics g (window);
            g.reduceClipRegion (marked);
            editor.paintEntireComponent (g, true);
        }
        benchmark::DoNotOptimize (window.getPixelAt (0, 0));
    }
}

void interfaceSizes (benchmark::internal::Benchmark* b) { b->Arg (100)->Arg (200)->Unit (benchmark::kMicrosecond); }

BENCHMARK_CAPTURE (frame, stopped, Scene::stopped)->Apply (interfaceSizes);
BENCHMARK_CAPTURE (frame, silence, Scene::silence)->Apply (interfaceSizes);
BENCHMARK_CAPTURE (frame, sine, Scene::sine)->Apply (interfaceSizes);
BENCHMARK_CAPTURE (frame, full, Scene::full)->Apply (interfaceSizes);

/** Components need the framework's message thread; the benchmarks run on it. */
const juce::ScopedJuceInitialiser_GUI gui;
} // namespace
