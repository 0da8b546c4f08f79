#include "hosts/HostSupport.h"

#include <stdexcept>

namespace br::host
{
namespace
{
struct Formats
{
    juce::VST3PluginFormat vst3;
    std::unique_ptr<juce::LV2PluginFormat> lv2;
    std::unique_ptr<juce::PluginDescription> vst3Description, lv2Description;
};

std::unique_ptr<Formats>& formats()
{
    static std::unique_ptr<Formats> instance;
    if (instance == nullptr)
        instance = std::make_unique<Formats>();
    return instance;
}

// The host's own parameters, which the product does not declare.
const juce::StringArray wrapperParameterNames { "Bypass", "Program", "Enabled", "Free Wheeling" };

juce::File vst3Bundle() { return juce::File (BR_VST3_PATH); }
juce::File lv2Bundle() { return juce::File (BR_LV2_BUNDLE); }

constexpr const char* privateDataMagic = "JUCEPrivateData";

/** The LV2 host state is a Turtle document; the product blob sits in it as the JUCE
    base-64 text of the "StateString" property. Returns the range of that literal. */
juce::Range<int> stateStringLiteral (const juce::String& turtle)
{
    const auto key = turtle.indexOf ("StateString");
    if (key < 0)
        return {};
    const auto open = turtle.indexOfChar (key, '"');
    if (open < 0)
        return {};
    const auto close = turtle.indexOfChar (open + 1, '"');
    if (close < 0)
        return {};
    return { open + 1, close };
}
} // namespace

const char* formatName (Format format) { return format == Format::vst3 ? "VST3" : "LV2"; }

std::string printFormat (const testing::TestParamInfo<Format>& info)
{
    return info.param == Format::vst3 ? "Vst3" : "Lv2";
}

juce::File binaryOf (Format format)
{
    if (format == Format::vst3)
        return vst3Bundle().getChildFile ("Contents/x86_64-linux/Quorvane.so");
    return lv2Bundle().getChildFile ("libQuorvane.so");
}

juce::PluginDescription describe (Format format)
{
    auto& f = *formats();
    if (format == Format::vst3)
    {
        if (f.vst3Description == nullptr)
        {
            juce::OwnedArray<juce::PluginDescription> found;
            f.vst3.findAllTypesForFile (found, vst3Bundle().getFullPathName());
            if (found.size() != 1)
                throw std::runtime_error ("the VST3 bundle holds " + std::to_string (found.size()) + " plug-ins");
            f.vst3Description = std::make_unique<juce::PluginDescription> (*found[0]);
        }
        return *f.vst3Description;
    }

    if (f.lv2Description == nullptr)
    {
        if (f.lv2 == nullptr)
            f.lv2 = std::make_unique<juce::LV2PluginFormat>();
        f.lv2->searchPathsForPlugins (juce::FileSearchPath (lv2Bundle().getParentDirectory().getFullPathName()), false, false);
        juce::OwnedArray<juce::PluginDescription> found;
        f.lv2->findAllTypesForFile (found, lv2Uri);
        if (found.size() != 1)
            throw std::runtime_error ("the LV2 world holds no plug-in " + std::string (lv2Uri));
        f.lv2Description = std::make_unique<juce::PluginDescription> (*found[0]);
    }
    return *f.lv2Description;
}

std::unique_ptr<juce::AudioPluginInstance> load (Format format, double sampleRate, int blockSize)
{
    const auto description = describe (format);
    auto& f = *formats();
    juce::AudioPluginFormat& hostFormat = format == Format::vst3 ? static_cast<juce::AudioPluginFormat&> (f.vst3)
                                                                 : static_cast<juce::AudioPluginFormat&> (*f.lv2);
    juce::String error;
    auto instance = hostFormat.createInstanceFromDescription (description, sampleRate, blockSize, error);
    if (instance == nullptr)
        throw std::runtime_error ("cannot instantiate the " + std::string (formatName (format)) + ": " + error.toStdString());
    return instance;
}

void releaseFormats() { formats().reset(); }

std::vector<juce::AudioProcessorParameter*> productParameters (juce::AudioPluginInstance& instance)
{
    std::vector<juce::AudioProcessorParameter*> result;
    for (auto* p : instance.getParameters())
        if (! wrapperParameterNames.contains (p->getName (100)) && p != instance.getBypassParameter())
            result.push_back (p);
    return result;
}

juce::AudioProcessorParameter* parameterNamed (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* p : instance.getParameters())
        if (p->getName (100) == name)
            return p;
    return nullptr;
}

void setFromText (juce::AudioProcessorParameter& parameter, const juce::String& text)
{
    parameter.setValueNotifyingHost (parameter.getValueForText (text));
}

//==============================================================================
juce::MemoryBlock hostState (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock block;
    instance.getStateInformation (block);
    return block;
}

juce::MemoryBlock productState (Format format, juce::AudioPluginInstance& instance)
{
    const auto host = hostState (instance);
    if (format == Format::vst3)
    {
        const auto head = juce::AudioProcessor::getXmlFromBinary (host.getData(), (int) host.getSize());
        if (head == nullptr || head->getChildByName ("IComponent") == nullptr)
            return {};
        juce::MemoryBlock component;
        component.fromBase64Encoding (head->getChildByName ("IComponent")->getAllSubText());

        // The wrapper appends its own bypass flag behind the product's blob:
        // int64 0, a value tree, int64 size of that tree, "JUCEPrivateData".
        const auto magicLength = std::strlen (privateDataMagic);
        auto size = component.getSize();
        const auto* bytes = static_cast<const char*> (component.getData());
        if (size >= magicLength + 16 && std::memcmp (bytes + size - magicLength, privateDataMagic, magicLength) == 0)
        {
            juce::int64 privateSize = 0;
            std::memcpy (&privateSize, bytes + size - magicLength - 8, 8);
            size -= (size_t) privateSize + magicLength + 16;
        }
        return juce::MemoryBlock (bytes, size);
    }

    const auto turtle = host.toString();
    const auto literal = stateStringLiteral (turtle);
    if (literal.isEmpty())
        return {};
    juce::MemoryBlock blob;
    blob.fromBase64Encoding (turtle.substring (literal.getStart(), literal.getEnd()));
    return blob;
}

void setProductState (Format format, juce::AudioPluginInstance& instance, const juce::MemoryBlock& blob)
{
    if (format == Format::vst3)
    {
        juce::XmlElement head ("VST3PluginState");
        head.createNewChildElement ("IComponent")->addTextElement (blob.toBase64Encoding());
        juce::MemoryBlock host;
        juce::AudioProcessor::copyXmlToBinary (head, host);
        instance.setStateInformation (host.getData(), (int) host.getSize());
        return;
    }

    // LV2 has no blob of its own: the state is a Turtle document that names each
    // property, so the product blob replaces the one the instance wrote itself.
    auto turtle = hostState (instance).toString();
    const auto literal = stateStringLiteral (turtle);
    if (literal.isEmpty())
        throw std::runtime_error ("the LV2 state holds no StateString property");
    turtle = turtle.replaceSection (literal.getStart(), literal.getLength(), blob.toBase64Encoding());
    instance.setStateInformation (turtle.toRawUTF8(), (int) turtle.getNumBytesAsUTF8());
}

std::unique_ptr<juce::XmlElement> productXml (const juce::MemoryBlock& blob)
{
    return juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());
}

juce::MemoryBlock productBlobFromXml (const juce::XmlElement& xml)
{
    juce::MemoryBlock blob;
    juce::AudioProcessor::copyXmlToBinary (xml, blob);
    return blob;
}

//==============================================================================
std::vector<float> normalisedValues (juce::AudioPluginInstance& instance)
{
    std::vector<float> values;
    for (auto* p : productParameters (instance))
        values.push_back (p->getValue());
    return values;
}

void processInBlocks (juce::AudioPluginInstance& instance,
                      juce::AudioBuffer<float>& audio,
                      const std::function<int()>& nextBlockSize,
                      const std::function<void (int)>& beforeBlock)
{
    juce::MidiBuffer midi;
    for (int start = 0; start < audio.getNumSamples();)
    {
        const auto size = juce::jmin (nextBlockSize(), audio.getNumSamples() - start);
        if (beforeBlock)
            beforeBlock (start);
        juce::AudioBuffer<float> view (audio.getArrayOfWritePointers(), audio.getNumChannels(), start, size);
        instance.processBlock (view, midi);
        start += size; // a zero-length block is a legal call; the next size moves on
    }
}

juce::AudioBuffer<float> whiteNoise (int channels, int samples, std::mt19937& random, float level)
{
    std::uniform_real_distribution<float> uniform (-level, level);
    juce::AudioBuffer<float> buffer (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, uniform (random));
    return buffer;
}

juce::AudioBuffer<float> sine (int channels, int samples, double frequencyHz, double sampleRate, float level)
{
    juce::AudioBuffer<float> buffer (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, level * (float) std::sin (juce::MathConstants<double>::twoPi * frequencyHz * i / sampleRate));
    return buffer;
}

void letHostCatchUp (juce::AudioPluginInstance& instance)
{
    instance.prepareToPlay (48000.0, 512);
    juce::AudioBuffer<float> audio (juce::jmax (2, instance.getTotalNumOutputChannels()), 512);
    audio.clear();
    juce::MidiBuffer midi;
    instance.processBlock (audio, midi);
    instance.releaseResources();
    pumpMessages (5);
}

AudioThread::AudioThread (juce::AudioPluginInstance& i, int size)
    : instance (i), blockSize (size)
{
    thread = std::thread ([this]
    {
        const auto channels = juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels());
        juce::AudioBuffer<float> audio (channels, blockSize);
        juce::MidiBuffer midi;
        double phase = 0.0;
        while (running.load())
        {
            for (int i = 0; i < blockSize; ++i)
            {
                const auto x = 0.3f * (float) std::sin (phase);
                phase = std::fmod (phase + juce::MathConstants<double>::twoPi * 220.0 / 48000.0, juce::MathConstants<double>::twoPi);
                for (int c = 0; c < channels; ++c)
                    audio.setSample (c, i, x);
            }
            instance.processBlock (audio, midi);
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < blockSize; ++i)
                    if (! std::isfinite (audio.getSample (c, i)))
                        unclean.store (true);
            blocks.fetch_add (1);
            // About four times real time: busy enough to meet the message thread's work,
            // idle enough to leave the other core to it.
            std::this_thread::sleep_for (std::chrono::microseconds (blockSize * 1000000 / 48000 / 4));
        }
    });
}

AudioThread::~AudioThread()
{
    running.store (false);
    thread.join();
}

void AudioThread::waitForBlocks (int count) const
{
    const auto target = blocks.load() + count;
    while (blocks.load() < target)
        pumpMessages (2);
}

std::unique_ptr<juce::AudioProcessorEditor> openEditor (juce::AudioPluginInstance& instance)
{
    std::unique_ptr<juce::AudioProcessorEditor> editor (instance.createEditorIfNeeded());
    if (editor != nullptr)
    {
        editor->setTopLeftPosition (20, 20);
        editor->addToDesktop (0);
        editor->setVisible (true);
    }
    return editor;
}

void closeEditor (std::unique_ptr<juce::AudioProcessorEditor>& editor)
{
    if (editor == nullptr)
        return;
    editor->setVisible (false);
    pumpMessages (30);
    editor->removeFromDesktop();
    pumpMessages (10);
    editor.reset();
}

void pumpMessages (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

juce::File scratchDirectory()
{
    static const auto directory = []
    {
        auto d = juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile ("scratch");
        d.createDirectory();
        return d;
    }();
    return directory;
}
} // namespace br::host
