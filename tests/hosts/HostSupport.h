#pragma once
#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

/*  What every validator check shares: loading our built plug-in binaries the way a
    host does, reaching the product's own state blob inside each format's envelope,
    and driving audio through an instance. Message thread only unless a function says
    otherwise. */
namespace br::host
{
enum class Format
{
    vst3,
    lv2
};

const char* formatName (Format);
inline void PrintTo (Format f, std::ostream* os) { *os << formatName (f); }
/** Lets the parameterised tests read as "Vst3" and "Lv2" in test names. */
std::string printFormat (const testing::TestParamInfo<Format>& info);
/** Both formats, for INSTANTIATE_TEST_SUITE_P. */
inline auto allFormats() { return testing::Values (Format::vst3, Format::lv2); }

constexpr const char* lv2Uri = "https://tarnwick.audio/plugins/quorvane";

/** The built shared object of a format (for nm and the real-time checks). */
juce::File binaryOf (Format);

/** Scans the built binary (once per process) and describes it as a host sees it. */
juce::PluginDescription describe (Format);

/** A fresh instance of the built binary; never null (a failure throws, so the test fails
    with the host's error text). */
std::unique_ptr<juce::AudioPluginInstance> load (Format, double sampleRate = 48000.0, int blockSize = 512);

/** The product's parameters in host order, without the wrappers' own (VST3 bypass and
    program). Found by name, so a wrapper reordering them would show as a failure
    elsewhere, not here. */
std::vector<juce::AudioProcessorParameter*> productParameters (juce::AudioPluginInstance&);
juce::AudioProcessorParameter* parameterNamed (juce::AudioPluginInstance&, const juce::String& name);

/** Sets a parameter from the text a user would type (value in the parameter's own units,
    or a choice name), as a host's generic editor does. */
void setFromText (juce::AudioProcessorParameter&, const juce::String& text);

//==============================================================================
/** The product's own state blob (the "VC2!" envelope around "BrellumState"), taken out
    of the format's host state; empty when it cannot be found. */
juce::MemoryBlock productState (Format, juce::AudioPluginInstance&);
/** Hands a product state blob to the instance wrapped as that format's host would. */
void setProductState (Format, juce::AudioPluginInstance&, const juce::MemoryBlock& blob);
/** The XML inside a product blob, or null. */
std::unique_ptr<juce::XmlElement> productXml (const juce::MemoryBlock& blob);
juce::MemoryBlock productBlobFromXml (const juce::XmlElement&);

juce::MemoryBlock hostState (juce::AudioPluginInstance&);

//==============================================================================
/** Normalised values of every product parameter, read through the host's view. */
std::vector<float> normalisedValues (juce::AudioPluginInstance&);

/** Processes `input` (channels x samples) through the instance in blocks whose sizes
    come from `nextBlockSize`, calling `beforeBlock` with the block's start sample. */
void processInBlocks (juce::AudioPluginInstance&,
                      juce::AudioBuffer<float>& audio,
                      const std::function<int()>& nextBlockSize,
                      const std::function<void (int startSample)>& beforeBlock = {});

juce::AudioBuffer<float> whiteNoise (int channels, int samples, std::mt19937& random, float level = 0.5f);
juce::AudioBuffer<float> sine (int channels, int samples, double frequencyHz, double sampleRate, float level = 0.5f);

/** The LV2 host learns parameter values from the plug-in's output port, so it sees a
    restored state or a loaded program only after a block has run; VST3 hosts read them
    at once. Running a silent block either way keeps the two formats alike. Leaves the
    instance released. */
void letHostCatchUp (juce::AudioPluginInstance&);

/** Drives an instance's audio callback from its own thread, as an audio device does,
    with a continuous sine in, until destroyed. Every output block is checked for
    numbers that are not finite. */
class AudioThread
{
public:
    explicit AudioThread (juce::AudioPluginInstance&, int blockSize = 256);
    ~AudioThread();

    int blocksProcessed() const noexcept { return blocks.load(); }
    bool sawUncleanOutput() const noexcept { return unclean.load(); }
    /** Blocks until the callback has run at least `count` more times. */
    void waitForBlocks (int count) const;

private:
    juce::AudioPluginInstance& instance;
    const int blockSize;
    std::atomic<bool> running { true }, unclean { false };
    std::atomic<int> blocks { 0 };
    std::thread thread;
};

/** Opens the instance's editor in its own window on the desktop, as a host does. */
std::unique_ptr<juce::AudioProcessorEditor> openEditor (juce::AudioPluginInstance&);
/** Hides the editor and lets the window system settle before deleting it. JUCE's host
    side embeds an LV2 editor through an XEmbedComponent that answers window events with
    asynchronous calls not guarded against its own deletion; closing it with such a call
    still queued crashes the host (a JUCE 7.0.5 fault of the hosting code, not of the
    plug-in), so the queue is drained first. */
void closeEditor (std::unique_ptr<juce::AudioProcessorEditor>&);

/** Runs the message loop for a while, so that asynchronous host and plug-in work lands. */
void pumpMessages (int milliseconds);

/** Directory for files a test writes; removed by the test main at exit. */
juce::File scratchDirectory();

/** Drops the plug-in formats (and with them every cached module) before JUCE shuts down. */
void releaseFormats();
} // namespace br::host
