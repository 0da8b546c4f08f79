// What a musician sees in the DAW's CPU meter: Quorvane's LV2 build against the
// Debian-packaged LV2 plug-ins one would pick instead, all loaded through the same
// host code (JUCE's LV2 hosting) and fed the same material in the same blocks.
//
// Not a Google Benchmark: the peers are whole plug-ins with their own set-up, and
// the rounds must interleave them so that load from other programs on the machine
// falls on all of them alike. Reported, never asserted.
#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_events/juce_events.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int maximumBlockSize = 512;
constexpr double budgetNsPerFrame = 1.0e9 / sampleRate; // one frame of real time

const char* const ourUri = "https://tarnwick.audio/plugins/quorvane";

struct Candidate
{
    std::string label;
    std::string uri;
    std::string program; // factory program to load by name; empty keeps the defaults
    bool ours = false;
};

const std::vector<Candidate> candidates{
    {"Quorvane (defaults)", ourUri, "", true},
    {"Quorvane \"Rotary Fast\"", ourUri, "Rotary Fast", true},
    {"Quorvane \"Seasick\"", ourUri, "Seasick", true},
    {"Calf Pulsator", "http://calf.sourceforge.net/plugins/Pulsator", "", false},
    {"Calf Rotary Speaker", "http://calf.sourceforge.net/plugins/RotarySpeaker", "", false},
    {"Calf Multi Chorus", "http://calf.sourceforge.net/plugins/MultiChorus", "", false},
    {"mda Leslie", "http://drobilla.net/plugins/mda/Leslie", "", false},
};

/** Sixty seconds (by default) of stereo material that keeps every stage busy: a
    chord with a slow swell, different on the two sides, over quiet noise, never
    silent (silence would let a plug-in coast and the tremolo sink into denormals). */
juce::AudioBuffer<float> makeMaterial (int numFrames)
{
    juce::AudioBuffer<float> material (2, numFrames);
    std::mt19937 rng (20240611);
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
    const double partialsHz[]{110.0, 164.81, 220.0, 277.18, 329.63, 440.0};
    float* left = material.getWritePointer (0);
    float* right = material.getWritePointer (1);
    float lowLeft = 0.0f, lowRight = 0.0f;
    for (int i = 0; i < numFrames; ++i)
    {
        const double t = i / sampleRate;
        const double swell = 0.6 + 0.4 * std::sin (2.0 * juce::MathConstants<double>::pi * 0.07 * t);
        double l = 0.0, r = 0.0;
        for (size_t k = 0; k < std::size (partialsHz); ++k)
        {
            const double w = 2.0 * juce::MathConstants<double>::pi * partialsHz[k] * t;
            const double level = 0.06 / (1.0 + 0.3 * static_cast<double> (k));
            l += level * std::sin (w + 0.3 * static_cast<double> (k));
            r += level * std::sin (1.003 * w + 0.7 * static_cast<double> (k));
        }
        lowLeft += 0.1f * (noise (rng) - lowLeft);
        lowRight += 0.1f * (noise (rng) - lowRight);
        left[i] = static_cast<float> (swell * l) + 0.05f * lowLeft;
        right[i] = static_cast<float> (swell * r) + 0.05f * lowRight;
    }
    return material;
}

double threadCpuNanoseconds()
{
    timespec ts{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double> (ts.tv_sec) * 1.0e9 + static_cast<double> (ts.tv_nsec);
}

/** Where the loaded Quorvane binary lives, from the process's own map, so a stale
    copy installed under ~/.lv2 cannot pass itself off as the build under test. */
std::string mappedPathContaining (const std::string& needle)
{
    std::ifstream maps ("/proc/self/maps");
    std::string line;
    while (std::getline (maps, line))
    {
        const auto at = line.find ('/');
        if (at != std::string::npos && line.find (needle) != std::string::npos)
            return line.substr (at);
    }
    return {};
}

struct Loaded
{
    const Candidate* candidate = nullptr;
    std::unique_ptr<juce::AudioPluginInstance> instance;
    juce::AudioBuffer<float> buffer;
    std::vector<double> nsPerFrame[2]; // per block size, one entry per round
    double changeDb = 0.0;             // level of (output - input) against the input, after warm-up
};

bool selectProgram (juce::AudioPluginInstance& instance, const std::string& name)
{
    for (int i = 0; i < instance.getNumPrograms(); ++i)
    {
        if (instance.getProgramName (i).trim() == juce::String (name))
        {
            instance.setCurrentProgram (i);
            return true;
        }
    }
    return false;
}

/** Feeds `material` through the plug-in in blocks of `blockSize`, returning the
    thread CPU time per stereo frame. Thread time rather than wall time: on a shared
    machine it leaves out the time this thread spends descheduled. Out of line so a
    profiler can collect just the timed runs (callgrind --toggle-collect='*runOnce*'). */
[[gnu::noinline]] double runOnce (Loaded& loaded, const juce::AudioBuffer<float>& material, int blockSize)
{
    auto& plugin = *loaded.instance;
    auto& buffer = loaded.buffer;
    juce::MidiBuffer midi;
    const int numFrames = material.getNumSamples();
    const int channels = buffer.getNumChannels();

    const double start = threadCpuNanoseconds();
    for (int at = 0; at < numFrames; at += blockSize)
    {
        const int n = std::min (blockSize, numFrames - at);
        buffer.setSize (channels, n, false, false, true); // never reallocates: n <= the prepared size
        for (int ch = 0; ch < channels; ++ch)
            buffer.copyFrom (ch, 0, material, std::min (ch, 1), at, n);
        plugin.processBlock (buffer, midi);
        midi.clear();
    }
    return (threadCpuNanoseconds() - start) / numFrames;
}

/** Processes `seconds` of material untimed, so every plug-in starts the timed runs
    with its smoothers settled and its memory touched, and measures how much it
    changes the signal: a peer that passes audio through untouched would win for the
    wrong reason. */
double warmUpAndMeasureChange (Loaded& loaded, const juce::AudioBuffer<float>& material, double seconds)
{
    auto& plugin = *loaded.instance;
    auto& buffer = loaded.buffer;
    juce::MidiBuffer midi;
    const int numFrames = std::min (material.getNumSamples(), static_cast<int> (seconds * sampleRate));
    double inputEnergy = 0.0, changeEnergy = 0.0;
    for (int at = 0; at + maximumBlockSize <= numFrames; at += maximumBlockSize)
    {
        const int n = maximumBlockSize;
        buffer.setSize (buffer.getNumChannels(), n, false, false, true);
        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            buffer.copyFrom (ch, 0, material, std::min (ch, 1), at, n);
        plugin.processBlock (buffer, midi);
        midi.clear();
        if (at < numFrames / 2)
            continue;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < n; ++i)
            {
                const double x = material.getSample (ch, at + i);
                const double y = buffer.getSample (std::min (ch, buffer.getNumChannels() - 1), i);
                inputEnergy += x * x;
                changeEnergy += (y - x) * (y - x);
            }
    }
    return 10.0 * std::log10 ((changeEnergy + 1.0e-30) / (inputEnergy + 1.0e-30));
}

double median (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    const auto n = values.size();
    if (n == 0)
        return 0.0;
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

/** First word of the program name, to head a ratio column. */
std::string columnName (const Candidate& c)
{
    return c.program.empty() ? "default" : c.program.substr (0, c.program.find (' '));
}

int argumentAfter (const juce::StringArray& args, const char* flag, int fallback)
{
    const int i = args.indexOf (flag);
    return i >= 0 && i + 1 < args.size() ? args[i + 1].getIntValue() : fallback;
}
} // namespace

int main (int argc, char** argv)
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);
    if (args.contains ("--help"))
    {
        std::printf ("peer_bench [--rounds N] [--seconds S] [--block B] [--bundle-dir DIR] [--only NAMES]\n"
                     "  Median thread CPU time per stereo frame at 48 kHz, blocks of 512 and 64,\n"
                     "  over N interleaved rounds (default 7) of S seconds of material (default 60);\n"
                     "  B (up to 512) measures that block size alone.\n"
                     "  DIR holds Quorvane.lv2 (default: this build's); NAMES (comma-separated) keep\n"
                     "  the plug-ins whose label contains one of them.\n");
        return 0;
    }
    const int rounds = std::max (1, argumentAfter (args, "--rounds", 7));
    const int seconds = std::max (1, argumentAfter (args, "--seconds", 60));
    juce::String bundleDir = BR_LV2_BUNDLE_DIR;
    if (const int i = args.indexOf ("--bundle-dir"); i >= 0 && i + 1 < args.size())
        bundleDir = juce::File::getCurrentWorkingDirectory()
                        .getChildFile (args[i + 1])
                        .getFullPathName(); // lilv wants it absolute

    // "--only defaults,Leslie" narrows the run, for a profiler or a closer look.
    juce::StringArray only;
    if (const int i = args.indexOf ("--only"); i >= 0 && i + 1 < args.size())
        only.addTokens (args[i + 1], ",", "");

    // Nothing here draws. Without DISPLAY, JUCE (ours and the one inside our plug-in)
    // falls back to ":0.0", and Xlib ends the whole process when that server goes
    // away mid-run, as a test's virtual display does; a display that cannot exist
    // keeps every copy headless.
    if (const char* display = std::getenv ("DISPLAY"); display == nullptr || *display == '\0')
        setenv ("DISPLAY", ":65535", 1);

    const juce::ScopedJuceInitialiser_GUI juceRuntime; // hosting needs the message manager
    // As an audio thread in a DAW: denormals flushed for every plug-in alike.
    juce::FloatVectorOperations::disableDenormalisedNumberSupport (true);

    juce::LV2PluginFormat format;
    // Our build first on the path; the system folders are already loaded.
    format.searchPathsForPlugins (juce::FileSearchPath (bundleDir), false, false);

    const auto material = makeMaterial (seconds * static_cast<int> (sampleRate));

    std::vector<Loaded> loaded;
    for (const auto& candidate : candidates)
    {
        const auto named = [&] (const juce::String& part)
        { return juce::String (candidate.label).containsIgnoreCase (part); };
        if (!only.isEmpty() && std::none_of (only.begin(), only.end(), named))
            continue;
        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, juce::String (candidate.uri));
        if (found.isEmpty())
        {
            std::printf ("skipped %-26s not installed (%s)\n", candidate.label.c_str(), candidate.uri.c_str());
            continue;
        }
        juce::String error;
        auto instance = format.createInstanceFromDescription (*found[0], sampleRate, maximumBlockSize, error);
        if (instance == nullptr)
        {
            std::printf ("skipped %-26s %s\n", candidate.label.c_str(), error.toRawUTF8());
            continue;
        }

        // Stereo in and out wherever the plug-in offers it.
        instance->enableAllBuses();
        auto layout = instance->getBusesLayout();
        if (!layout.inputBuses.isEmpty())
            layout.inputBuses.getReference (0) = juce::AudioChannelSet::stereo();
        if (!layout.outputBuses.isEmpty())
            layout.outputBuses.getReference (0) = juce::AudioChannelSet::stereo();
        instance->setBusesLayout (layout);
        instance->prepareToPlay (sampleRate, maximumBlockSize);

        if (!candidate.program.empty() && !selectProgram (*instance, candidate.program))
        {
            std::printf ("skipped %-26s no program named \"%s\"\n", candidate.label.c_str(), candidate.program.c_str());
            continue;
        }

        Loaded entry;
        entry.candidate = &candidate;
        const int channels =
            std::max ({2, instance->getTotalNumInputChannels(), instance->getTotalNumOutputChannels()});
        entry.buffer.setSize (channels, maximumBlockSize);
        entry.instance = std::move (instance);
        entry.changeDb = warmUpAndMeasureChange (entry, material, 4.0);
        loaded.push_back (std::move (entry));
    }

    const auto ourBinary = mappedPathContaining ("libQuorvane.so");
    std::printf ("Quorvane binary: %s\n", ourBinary.empty() ? "(not loaded)" : ourBinary.c_str());
    std::printf ("%d rounds of %d s stereo at %.0f Hz; thread CPU time, median per plug-in; "
                 "FTZ/DAZ on\n\n",
                 rounds, seconds, sampleRate);

    std::vector<int> blockSizes{512, 64};
    if (const int only = argumentAfter (args, "--block", 0); only > 0)
        blockSizes = {std::min (only, maximumBlockSize)};
    for (int round = 0; round < rounds; ++round)
    {
        for (size_t b = 0; b < blockSizes.size(); ++b)
        {
            // A different plug-in goes first each round, so a burst of load from
            // elsewhere does not always hit the same one.
            for (size_t k = 0; k < loaded.size(); ++k)
            {
                auto& entry = loaded[(k + static_cast<size_t> (round)) % loaded.size()];
                entry.nsPerFrame[b].push_back (runOnce (entry, material, blockSizes[b]));
            }
        }
        std::fprintf (stderr, "round %d of %d done\n", round + 1, rounds);
    }

    std::vector<const Loaded*> ours;
    for (const auto& entry : loaded)
        if (entry.candidate->ours)
            ours.push_back (&entry);

    for (size_t b = 0; b < blockSizes.size(); ++b)
    {
        std::printf ("block %d      %-26s %9s %8s %10s", blockSizes[b], "", "ns/frame", "% of RT", "change dB");
        for (const auto* o : ours)
            std::printf ("  %-8s", ("/" + columnName (*o->candidate)).c_str());
        std::printf ("\n");
        for (const auto& entry : loaded)
        {
            const double ns = median (entry.nsPerFrame[b]);
            std::printf ("             %-26s %9.2f %7.3f%% %10.1f", entry.candidate->label.c_str(), ns,
                         100.0 * ns / budgetNsPerFrame, entry.changeDb);
            if (!entry.candidate->ours)
                for (const auto* o : ours)
                    std::printf ("  %7.2fx", ns / median (o->nsPerFrame[b]));
            std::printf ("\n");
        }
        std::printf ("\n");
    }
    std::printf ("Ratio columns: the peer's time divided by ours at that setting (above 1: ours is faster).\n"
                 "change dB: level of output minus input against the input, after warm-up.\n");

    // Instances go before the format: they hold the lilv world's plug-in data.
    loaded.clear();
    return 0;
}
