#include "plugin/BrellumProcessor.h"
#include "presets/SafeXml.h"

namespace
{
// The framework's binary envelope: magic, text length, UTF-8 text, one zero byte.
constexpr juce::uint32 stateMagic = 0x21324356;

const char* const stateTag = "BrellumState";
const char* const otherSetupTag = "OtherSetup";

constexpr double minScale = 0.5;
constexpr double maxScale = 2.5;

/** The envelope checks of AudioProcessor::getXmlFromBinary, with the text handed to the
    safe parser instead of the framework's. */
std::unique_ptr<juce::XmlElement> readEnvelope (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != stateMagic)
        return {};

    const auto length = static_cast<int> (juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4)));
    if (length <= 0)
        return {};

    return br::parseXmlSafely (juce::addBytesToPointer (data, 8), static_cast<size_t> (juce::jmin (sizeInBytes - 8, length)));
}

juce::String flag (bool value) { return value ? "1" : "0"; }
} // namespace

void BrellumProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    // Parameters come from their atomics, everything else is copied under the lock, so
    // a host thread may call this while the editor works.
    const auto liveState = presetManager.captureState();

    juce::XmlElement root (stateTag);
    ParkedSetup parkedCopy;

    {
        const juce::ScopedLock sl (parkedLock);
        const auto livePreset = presetManager.current();

        root.setAttribute ("presetName", livePreset.name);
        root.setAttribute ("presetIndex", livePreset.index);
        root.setAttribute ("modified", flag (modified.load()));
        root.setAttribute ("activeSetup", activeSetup.load());
        root.setAttribute ("uiScale", static_cast<double> (uiScale.load()));

        parkedCopy = parked;
    }

    root.addChildElement (liveState.createXml().release());

    auto* other = root.createNewChildElement (otherSetupTag);
    other->setAttribute ("presetName", parkedCopy.preset.name);
    other->setAttribute ("presetIndex", parkedCopy.preset.index);
    other->setAttribute ("modified", flag (parkedCopy.isModified));

    if (parkedCopy.state.isValid())
        if (auto xml = parkedCopy.state.createXml())
            other->addChildElement (xml.release());

    copyXmlToBinary (root, destData);
}

void BrellumProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto document = readEnvelope (data, sizeInBytes);

    if (document == nullptr || ! document->getTagName().equalsIgnoreCase (stateTag))
        return;

    const auto stateType = presetManager.getStateType().toString();

    if (const auto* block = br::firstChildNamed (*document, stateType))
    {
        const ApplyingScope applying (*this);
        presetManager.applyState (juce::ValueTree::fromXml (*block));
    }

    // A state carries no paths: the preset manager finds a restored user preset's file
    // again by its name and position.
    const br::PresetIdentity livePreset { document->getStringAttribute ("presetName", "Full Reset"),
                                          br::intAttribute (*document, "presetIndex", -1),
                                          {} };
    const auto wasModified = document->getBoolAttribute ("modified", false);
    const auto setup = br::intAttribute (*document, "activeSetup", 0) > 0 ? 1 : 0;
    const auto scale = juce::jlimit (minScale, maxScale, br::finiteDoubleAttribute (*document, "uiScale", 1.0));

    const auto* other = br::firstChildNamed (*document, otherSetupTag);
    juce::ValueTree otherState;

    // Kept as applyState will read it, without whatever else the document carried: it
    // goes into every state written from now on.
    if (other != nullptr)
        if (const auto* otherBlock = br::firstChildNamed (*other, stateType))
            otherState = presetManager.normaliseState (juce::ValueTree::fromXml (*otherBlock));

    {
        const juce::ScopedLock sl (parkedLock);
        presetManager.setCurrent (livePreset);
        modified.store (wasModified);
        activeSetup.store (setup);
        uiScale.store (static_cast<float> (scale));

        if (other != nullptr)
        {
            parked.preset = { br::PresetManager::limitName (other->getStringAttribute ("presetName")),
                              br::intAttribute (*other, "presetIndex", -1),
                              {} };
            parked.isModified = other->getBoolAttribute ("modified", false);

            if (otherState.isValid())
                parked.state = otherState;
        }
    }

    undoHistoryReset.reset();
}
