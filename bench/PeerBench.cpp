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
    std::string program;    // factory program to load by name; empty keeps the defaults
    bool stagesOff = false; // AM, FM and rotation switched off: what every setting pays
    enum class Role
    {
        ours,
        calf,
        leslie,
        copy
    } role = Role::ours;
};

const char* const leslieUri = "http://drobilla.net/plugins/mda/Leslie";
const char* const copyUri = "http://lv2plug.in/plugins/eg-amp";

/** The peers, and the floor any plug-in pays in this host: a copy of the input
    (the LV2 example amplifier at its default 0 dB; Debian's lv2-examples). */
const std::vector<Candidate> peers{
    {"Calf Pulsator", "http://calf.sourceforge.net/plugins/Pulsator", "", false, Candidate::Role::calf},
    {"Calf Rotary Speaker", "http://calf.sourceforge.net/plugins/RotarySpeaker", "", false, Candidate::Role::calf},
    {"Calf Multi Chorus", "http://calf.sourceforge.net/plugins/MultiChorus", "", false, Candidate::Role::calf},
    {"mda Leslie", leslieUri, "", false, Candidate::Role::leslie},
    {"copy (eg-amp, 0 dB, mono)", copyUri, "", false, Candidate::Role::copy},
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
    Candidate candidate;
    std::unique_ptr<juce::AudioPluginInstance> instance;
    juce::AudioBuffer<float> buffer;
    std::vector<std::vector<double>> nsPerFrame; // per block size, one entry per round
    double changeDb = 0.0;                       // level of (output - input) against the input, after warm-up
};

/** By name: the order of an LV2 plug-in's programs in JUCE's host differs from one
    instance to the next. */
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

/** Switches off the parameters named `names` (on/off switches), as a user would. */
void switchOff (juce::AudioPluginInstance& instance, const std::vector<juce::String>& names)
{
    for (auto* parameter : instance.getParameters())
        if (std::find (names.begin(), names.end(), parameter->getName (64).trim()) != names.end())
            parameter->setValueNotifyingHost (0.0f);
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

int argumentAfter (const juce::StringArray& args, const char* flag, int fallback)
{
    const int i = args.indexOf (flag);
    return i >= 0 && i + 1 < args.size() ? args[i + 1].getIntValue() : fallback;
}

std::vector<int> listAfter (const juce::StringArray& args, const char* flag, std::vector<int> fallback)
{
    const int i = args.indexOf (flag);
    if (i < 0 || i + 1 >= args.size())
        return fallback;
    juce::StringArray items;
    items.addTokens (args[i + 1], ",", "");
    std::vector<int> values;
    for (const auto& item : items)
        if (const int v = std::min (item.getIntValue(), maximumBlockSize); v > 0)
            values.push_back (v);
    return values.empty() ? fallback : values;
}
} // namespace

int main (int argc, char** argv)
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);
    if (args.contains ("--help"))
    {
        std::printf ("peer_bench [--rounds N] [--seconds S] [--blocks B,B,..] [--block B] [--bundle-dir DIR]\n"
                     "           [--only NAMES]\n"
                     "  Median thread CPU time per stereo frame at 48 kHz over N interleaved rounds\n"
                     "  (default 5) of S seconds of material (default 8), for Quorvane's defaults, every\n"
                     "  factory program and all stages off, beside the peers and a plug-in that copies\n"
                     "  its input. Block sizes (up to 512): default 1,16,64,512; --block B for one.\n"
                     "  DIR holds Quorvane.lv2 (default: this build's); NAMES (comma-separated) keep\n"
                     "  the plug-ins whose label contains one of them.\n");
        return 0;
    }
    const int rounds = std::max (1, argumentAfter (args, "--rounds", 5));
    const int seconds = std::max (1, argumentAfter (args, "--seconds", 8));
    std::vector<int> blockSizes = listAfter (args, "--blocks", {1, 16, 64, 512});
    if (const int one = argumentAfter (args, "--block", 0); one > 0)
        blockSizes = {std::min (one, maximumBlockSize)};
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

    const auto instantiate = [&] (const Candidate& candidate) -> std::unique_ptr<juce::AudioPluginInstance>
    {
        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, juce::String (candidate.uri));
        if (found.isEmpty())
        {
            std::printf ("skipped %-30s not installed (%s)\n", candidate.label.c_str(), candidate.uri.c_str());
            return nullptr;
        }
        juce::String error;
        auto instance = format.createInstanceFromDescription (*found[0], sampleRate, maximumBlockSize, error);
        if (instance == nullptr)
            std::printf ("skipped %-30s %s\n", candidate.label.c_str(), error.toRawUTF8());
        return instance;
    };

    // Ours: the defaults, every factory program (asked of the plug-in itself, so a
    // new one is measured without a change here) and the floor of all stages off.
    std::vector<Candidate> candidates{{"Quorvane defaults", ourUri}};
    if (auto probe = instantiate (candidates.front()))
        for (int i = 0; i < probe->getNumPrograms(); ++i)
        {
            const auto name = probe->getProgramName (i).trim().toStdString();
            candidates.push_back ({"Quorvane \"" + name + "\"", ourUri, name});
        }
    candidates.push_back ({"Quorvane all stages off", ourUri, "", true});
    candidates.insert (candidates.end(), peers.begin(), peers.end());

    const auto material = makeMaterial (seconds * static_cast<int> (sampleRate));

    std::vector<Loaded> loaded;
    for (const auto& candidate : candidates)
    {
        const auto named = [&] (const juce::String& part)
        { return juce::String (candidate.label).containsIgnoreCase (part); };
        // The peers that the ratios are taken against always run.
        const bool reference = candidate.role == Candidate::Role::leslie || candidate.role == Candidate::Role::copy;
        if (!only.isEmpty() && !reference && std::none_of (only.begin(), only.end(), named))
            continue;
        auto instance = instantiate (candidate);
        if (instance == nullptr)
            continue;

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
            std::printf ("skipped %-30s no program named \"%s\"\n", candidate.label.c_str(), candidate.program.c_str());
            continue;
        }
        if (candidate.stagesOff)
            switchOff (*instance, {"AM On", "FM On", "Rotation On"});

        Loaded entry;
        entry.candidate = candidate;
        const int channels =
            std::max ({2, instance->getTotalNumInputChannels(), instance->getTotalNumOutputChannels()});
        entry.buffer.setSize (channels, maximumBlockSize);
        entry.instance = std::move (instance);
        entry.nsPerFrame.resize (blockSizes.size());
        entry.changeDb = warmUpAndMeasureChange (entry, material, 4.0);
        loaded.push_back (std::move (entry));
    }

    const auto ourBinary = mappedPathContaining ("libQuorvane.so");
    std::printf ("Quorvane binary: %s\n", ourBinary.empty() ? "(not loaded)" : ourBinary.c_str());
    std::printf ("%d rounds of %d s stereo at %.0f Hz; thread CPU time, median per plug-in; "
                 "FTZ/DAZ on\n\n",
                 rounds, seconds, sampleRate);

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

    const auto medianOf = [&] (Candidate::Role role, size_t b, bool cheapest)
    {
        double best = 0.0;
        for (const auto& entry : loaded)
            if (entry.candidate.role == role)
            {
                const double ns = median (entry.nsPerFrame[b]);
                best = best == 0.0 ? ns : (cheapest ? std::min (best, ns) : std::max (best, ns));
            }
        return best;
    };

    for (size_t b = 0; b < blockSizes.size(); ++b)
    {
        const double leslie = medianOf (Candidate::Role::leslie, b, true);
        const double copy = medianOf (Candidate::Role::copy, b, true);
        const double cheapestCalf = medianOf (Candidate::Role::calf, b, true);
        std::printf ("block %-4d %-34s %9s %8s %10s %11s %9s %9s\n", blockSizes[b], "", "ns/frame", "% of RT",
                     "change dB", "above copy", "Leslie/x", "Calf/x");
        double worstLeslieRatio = 0.0, worstCalfRatio = 0.0;
        std::string worstLeslie, worstCalf;
        for (const auto& entry : loaded)
        {
            const auto& c = entry.candidate;
            const double ns = median (entry.nsPerFrame[b]);
            std::printf ("           %-34s %9.2f %7.3f%% %10.1f", c.label.c_str(), ns, 100.0 * ns / budgetNsPerFrame,
                         entry.changeDb);
            std::printf (copy > 0.0 ? " %11.2f" : " %11s", copy > 0.0 ? ns - copy : 0.0);
            if (c.role == Candidate::Role::ours)
            {
                const double toLeslie = leslie / ns, toCalf = cheapestCalf / ns;
                leslie > 0.0 ? std::printf (" %8.2fx", toLeslie) : std::printf (" %9s", "-");
                cheapestCalf > 0.0 ? std::printf (" %8.2fx", toCalf) : std::printf (" %9s", "-");
                if (!c.stagesOff && leslie > 0.0 && (worstLeslie.empty() || toLeslie < worstLeslieRatio))
                    worstLeslieRatio = toLeslie, worstLeslie = c.label;
                if (!c.stagesOff && cheapestCalf > 0.0 && (worstCalf.empty() || toCalf < worstCalfRatio))
                    worstCalfRatio = toCalf, worstCalf = c.label;
            }
            std::printf ("\n");
        }
        if (!worstLeslie.empty())
            std::printf ("           lowest Leslie/x: %.2fx (%s)\n", worstLeslieRatio, worstLeslie.c_str());
        if (!worstCalf.empty())
            std::printf ("           lowest Calf/x:   %.2fx (%s)\n", worstCalfRatio, worstCalf.c_str());
        std::printf ("\n");
    }
    std::printf ("above copy: ns/frame beyond the plug-in that copies its input, in the same host.\n"
                 "Leslie/x, Calf/x: mda Leslie's time, and the cheapest Calf peer's, divided by ours (above 1: ours "
                 "is cheaper).\n"
                 "change dB: level of output minus input against the input, after warm-up.\n");

    // Instances go before the format: they hold the lilv world's plug-in data.
    loaded.clear();
    return 0;
}
