#include "hosts/HostSupport.h"
#include "hosts/RealtimeTrap.h"

#include <iostream>
#include <map>
#include <optional>

using namespace br::host;

namespace
{
/** Heap and lock calls inside the audio callback that come from JUCE's format wrappers
    rather than from the product, each tied to the wrapper function that makes it. The
    wrappers hold the processor's callback lock around processBlock (uncontended unless
    the host changes the processor's set-up) and notify parameter listeners under the
    framework's listener lock when the host moves a parameter. Anything else inside the
    plug-in fails. */
struct KnownCall
{
    const char* what;
    TrapKind kind;
    std::optional<Format> format; // none: both
    const char* callSite;         // the plug-in function that makes the call
    const char* via = "";         // something further in on the stack, when the site is not enough
};

const KnownCall knownCalls[] {
    { "VST3 wrapper: callback lock around processBlock", TrapKind::lock, Format::vst3,
      "juce::JuceVST3Component::process" },
    { "LV2 wrapper: callback lock around processBlock", TrapKind::lock, Format::lv2, "LV2PluginInstance::run" },
    { "parameter listeners notified of a host change", TrapKind::lock, std::nullopt,
      "juce::AudioProcessorParameter::sendValueChangedMessageToListeners" },
    { "parameter tree passing a host change to its listeners", TrapKind::lock, std::nullopt,
      "juce::AudioProcessorValueTreeState::ParameterAdapter::parameterValueChanged" },
    // A module loaded with dlopen gets its thread-local block on each thread's first
    // use; the VST3 wrapper keeps a thread-local flag while it applies host changes.
    { "VST3 wrapper: first thread-local use on this audio thread", TrapKind::allocation, Format::vst3,
      "juce::JuceVST3Component::process", "__tls_get_addr" },
};

const char* kindName (TrapKind kind)
{
    return kind == TrapKind::allocation ? "allocation" : kind == TrapKind::release ? "release" : "lock";
}

/** The innermost plug-in frame that is not a lock or heap helper: where the call is made. */
std::string callSite (const TrappedCall& call)
{
    for (const auto& frame : call.pluginFrames)
        if (frame.rfind ("juce::CriticalSection::", 0) != 0 && frame.rfind ("juce::GenericScopedLock", 0) != 0
            && frame.rfind ("juce::HeapBlock", 0) != 0 && frame.rfind ("operator new", 0) != 0)
            return frame;
    return call.pluginFrames.empty() ? std::string() : call.pluginFrames.front();
}

const KnownCall* knownCallFor (Format format, const TrappedCall& call)
{
    const auto site = callSite (call);
    for (const auto& known : knownCalls)
        if (known.kind == call.kind && (! known.format || *known.format == format)
            && site.find (known.callSite) != std::string::npos && call.stack.find (known.via) != std::string::npos)
            return &known;
    return nullptr;
}

/** A fixed tempo and a rolling transport, so that "Auto" sync has something to follow. */
struct RollingTransport : juce::AudioPlayHead
{
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setBpm (90.0);
        info.setIsPlaying (true);
        info.setTimeInSamples (samples);
        info.setPpqPosition ((double) samples / 48000.0 * 1.5);
        info.setTimeSignature (TimeSignature {});
        return info;
    }
    juce::int64 samples = 0;
};

struct Scenario
{
    const char* what;
    /** On the audio thread before each block, unarmed: what the host does there. */
    std::function<void (juce::AudioPluginInstance&, int block, std::mt19937&)> beforeBlock;
    /** On the message thread before audio starts. */
    std::function<void (juce::AudioPluginInstance&)> setUp = {};
    bool monoInput = false;
};

class RealtimeSafety : public testing::TestWithParam<Format>
{
protected:
    /** Runs the scenario with the trap armed around each processBlock and fails on every
        call that is neither the host's own nor listed above. */
    void expectNoUnknownCalls (const Scenario& scenario)
    {
        SCOPED_TRACE (scenario.what);
        auto instance = load (format);
        if (scenario.monoInput)
            ASSERT_TRUE (instance->setBusesLayout ({ { juce::AudioChannelSet::mono() }, { juce::AudioChannelSet::stereo() } }));
        RollingTransport transport;
        instance->setPlayHead (&transport);
        if (scenario.setUp)
            scenario.setUp (*instance);
        instance->prepareToPlay (48000.0, 256);

        std::mt19937 random (17);
        auto audio = whiteNoise (2, 256, random);
        juce::MidiBuffer midi;
        clearTrappedCalls();
        std::thread audioThread ([&]
        {
            for (int block = 0; block < 200; ++block)
            {
                if (scenario.beforeBlock)
                    scenario.beforeBlock (*instance, block, random);
                ScopedRealtimeTrap trap;
                instance->processBlock (audio, midi);
                transport.samples += 256;
            }
        });
        audioThread.join();
        ASSERT_FALSE (trapOverflowed()) << trappedCallCount() << " calls";
        const auto calls = trappedCalls (binaryOf (format));
        instance->releaseResources();
        instance->setPlayHead (nullptr);

        std::map<std::string, int> seen;
        int pluginCalls = 0;
        for (const auto& call : calls)
        {
            if (call.pluginFrames.empty())
                continue; // the host's own work around the call
            ++pluginCalls;
            if (auto* known = knownCallFor (format, call))
            {
                ++seen[known->what];
                continue;
            }
            const auto key = std::string (kindName (call.kind)) + " in " + callSite (call);
            if (seen[key]++ == 0)
                ADD_FAILURE() << "unexpected " << key << " inside the audio callback:\n" << call.stack;
        }
        for (const auto& [what, count] : seen)
            std::cout << "    " << scenario.what << ": " << what << " x" << count << "\n";
        std::cout << std::flush;

        // The trap must see what it is there to see: the wrapper's lock, once a block.
        EXPECT_GE (pluginCalls, 200) << "the trap saw no calls from the plug-in; is the interposition broken?";
    }

    Format format = GetParam();
};

void automateEveryParameter (juce::AudioPluginInstance& instance, int, std::mt19937& random)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    for (auto* p : productParameters (instance))
        p->setValue (unit (random));
}
} // namespace

TEST (RealtimeTrap, SeesAllocationsMadeInsideTheCLibrary)
{
    EXPECT_TRUE (trapSeesForeignAllocations());
}

TEST_P (RealtimeSafety, SteadyProcessing)
{
    expectNoUnknownCalls ({ "steady processing", {} });
}

TEST_P (RealtimeSafety, HostAutomatesEveryParameterEveryBlock)
{
    expectNoUnknownCalls ({ "automation", automateEveryParameter });
}

TEST_P (RealtimeSafety, TempoSyncFollowsTheHostTransport)
{
    expectNoUnknownCalls ({ "tempo sync", {},
                            [] (juce::AudioPluginInstance& instance)
                            { setFromText (*parameterNamed (instance, "Sync"), "Auto"); } });
}

TEST_P (RealtimeSafety, HostSwitchesBypass)
{
    expectNoUnknownCalls ({ "bypass switching",
                            [] (juce::AudioPluginInstance& instance, int block, std::mt19937&)
                            {
                                if (block % 20 == 10)
                                    instance.getBypassParameter()->setValue ((block / 20) % 2 == 0 ? 1.0f : 0.0f);
                            } });
}

TEST_P (RealtimeSafety, MonoInputToStereoOutput)
{
    if (format == Format::lv2)
        GTEST_SKIP() << "the LV2 ports are fixed to stereo";
    expectNoUnknownCalls ({ "mono in, stereo out", {}, {}, true });
}

INSTANTIATE_TEST_SUITE_P (Formats, RealtimeSafety, allFormats(), printFormat);
