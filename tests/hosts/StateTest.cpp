#include "hosts/HostSupport.h"

using namespace br::host;

namespace
{
/** A host's view of a value stays as the host sent it until the plug-in reports the
    value it snapped to; an LV2 plug-in reports it only after a state load. */
void showSnappedValues (juce::AudioPluginInstance& instance)
{
    const auto state = hostState (instance);
    instance.setStateInformation (state.getData(), (int) state.getSize());
    letHostCatchUp (instance);
}

void randomiseParameters (juce::AudioPluginInstance& instance, std::mt19937& random)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    for (auto* p : productParameters (instance))
        p->setValueNotifyingHost (unit (random));
    letHostCatchUp (instance);
}

/** One line per parameter, as a host's generic editor lists them. */
std::string parameterTexts (juce::AudioPluginInstance& instance)
{
    std::string texts;
    for (auto* p : productParameters (instance))
        texts += (p->getName (100) + " = " + p->getText (p->getValue(), 100) + "\n").toStdString();
    return texts;
}

std::string hexDiff (const juce::MemoryBlock& a, const juce::MemoryBlock& b)
{
    const auto size = juce::jmin (a.getSize(), b.getSize());
    size_t i = 0;
    while (i < size && a[i] == b[i])
        ++i;
    return "sizes " + std::to_string (a.getSize()) + " and " + std::to_string (b.getSize()) + ", first difference at byte "
           + std::to_string (i) + "\n  " + a.toString().substring ((int) i - 40, (int) i + 60).toStdString() + "\n  "
           + b.toString().substring ((int) i - 40, (int) i + 60).toStdString();
}

#define EXPECT_SAME_BYTES(a, b) EXPECT_TRUE ((a) == (b)) << hexDiff ((a), (b))

/** A product state with set-up B live and a parked set-up A that differs from it. */
std::unique_ptr<juce::XmlElement> withSetupBLive (const juce::XmlElement& state)
{
    auto xml = std::make_unique<juce::XmlElement> (state);
    xml->setAttribute ("activeSetup", 1);
    xml->setAttribute ("presetName", "Helicopter");
    xml->setAttribute ("presetIndex", 13);
    xml->setAttribute ("modified", "1");
    if (auto* old = xml->getChildByName ("OtherSetup"))
        xml->removeChildElement (old, true);
    auto* other = xml->createNewChildElement ("OtherSetup");
    other->setAttribute ("presetName", "Rotary Fast");
    other->setAttribute ("presetIndex", 7);
    other->setAttribute ("modified", "0");
    if (auto* live = xml->getChildByName ("Parameters"))
    {
        auto* parked = new juce::XmlElement (*live);
        for (auto* param : parked->getChildWithTagNameIterator ("PARAM"))
            if (param->getStringAttribute ("id") == "rotRange")
                param->setAttribute ("value", 140.0);
        other->addChildElement (parked);
    }
    return xml;
}

class State : public testing::TestWithParam<Format>
{
protected:
    /** get -> set -> get on the same instance and on a fresh one gives the same bytes. */
    void expectRoundTripIsExact (juce::AudioPluginInstance& source)
    {
        const auto first = hostState (source);
        source.setStateInformation (first.getData(), (int) first.getSize());
        letHostCatchUp (source);
        EXPECT_SAME_BYTES (hostState (source), first);

        auto fresh = load (format);
        fresh->setStateInformation (first.getData(), (int) first.getSize());
        letHostCatchUp (*fresh);
        EXPECT_SAME_BYTES (hostState (*fresh), first);
        EXPECT_SAME_BYTES (productState (format, *fresh), productState (format, source));
        EXPECT_EQ (parameterTexts (*fresh), parameterTexts (source));
    }

    Format format = GetParam();
    std::unique_ptr<juce::AudioPluginInstance> instance = load (format);
    std::mt19937 random { 5 };
};
} // namespace

TEST_P (State, IsTheProductsOwnDocument)
{
    const auto xml = productXml (productState (format, *instance));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "BrellumState");
    EXPECT_NE (xml->getChildByName ("Parameters"), nullptr);
    EXPECT_NE (xml->getChildByName ("OtherSetup"), nullptr);
}

TEST_P (State, GetSetGetIsByteIdenticalWhenFresh)
{
    expectRoundTripIsExact (*instance);
}

TEST_P (State, GetSetGetIsByteIdenticalAfterRandomEdits)
{
    for (int round = 0; round < 5; ++round)
    {
        SCOPED_TRACE ("round " + std::to_string (round));
        randomiseParameters (*instance, random);
        expectRoundTripIsExact (*instance);
    }
}

TEST_P (State, GetSetGetIsByteIdenticalAfterAProgramChange)
{
    randomiseParameters (*instance, random);
    instance->setCurrentProgram (7);
    letHostCatchUp (*instance);
    EXPECT_EQ (instance->getCurrentProgram(), 7);
    expectRoundTripIsExact (*instance);
}

TEST_P (State, GetSetGetIsByteIdenticalWithSetupBLive)
{
    randomiseParameters (*instance, random);
    const auto xml = productXml (productState (format, *instance));
    ASSERT_NE (xml, nullptr);
    setProductState (format, *instance, productBlobFromXml (*withSetupBLive (*xml)));
    letHostCatchUp (*instance);

    const auto restored = productXml (productState (format, *instance));
    ASSERT_NE (restored, nullptr);
    EXPECT_EQ (restored->getTagName(), "BrellumState");
    EXPECT_EQ (restored->getStringAttribute ("activeSetup"), "1");
    EXPECT_EQ (restored->getStringAttribute ("presetName"), "Helicopter");
    ASSERT_NE (restored->getChildByName ("OtherSetup"), nullptr);
    EXPECT_EQ (restored->getChildByName ("OtherSetup")->getStringAttribute ("presetName"), "Rotary Fast");
    expectRoundTripIsExact (*instance);
}

TEST_P (State, RestoresEachParameterOnItsOwn)
{
    const auto count = productParameters (*instance).size();
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    for (size_t i = 0; i < count; ++i)
    {
        auto source = load (format);
        auto* p = productParameters (*source)[i];
        SCOPED_TRACE (p->getName (100).toStdString());
        // Far from the default, so a value that falls back to it shows.
        p->setValueNotifyingHost (p->getDefaultValue() < 0.5f ? 0.8f + 0.2f * unit (random) : 0.2f * unit (random));
        letHostCatchUp (*source);

        const auto state = hostState (*source);
        auto target = load (format);
        target->setStateInformation (state.getData(), (int) state.getSize());
        letHostCatchUp (*target);
        // An LV2 host keeps showing the value it sent until the plug-in reports a change,
        // so only VST3 shows the snapped values on both sides.
        if (format == Format::vst3)
            EXPECT_EQ (parameterTexts (*target), parameterTexts (*source));
        // The values themselves, in the parameter's units, as the product stores them.
        const auto sourceXml = productXml (productState (format, *source));
        const auto targetXml = productXml (productState (format, *target));
        ASSERT_TRUE (sourceXml != nullptr && targetXml != nullptr);
        EXPECT_EQ (targetXml->toString(), sourceXml->toString());
    }
}

TEST_P (State, GarbageChangesNothing)
{
    randomiseParameters (*instance, random);
    showSnappedValues (*instance);
    const auto before = hostState (*instance);
    const auto textsBefore = parameterTexts (*instance);

    const auto validXml = productXml (productState (format, *instance));
    ASSERT_NE (validXml, nullptr);
    juce::XmlElement otherRoot (*validXml);
    otherRoot.setTagName ("SomeOtherPlugin");

    juce::MemoryBlock wrongMagic = productBlobFromXml (*validXml);
    static_cast<char*> (wrongMagic.getData())[0] ^= 0x55;
    juce::MemoryBlock zeroLength = productBlobFromXml (*validXml);
    std::memset (static_cast<char*> (zeroLength.getData()) + 4, 0, 4);
    juce::MemoryBlock notXml = productBlobFromXml (*validXml);
    for (size_t i = 8; i + 1 < notXml.getSize(); ++i)
        notXml[i] = (char) ('a' + i % 26);
    juce::MemoryBlock randomBytes (700);
    for (size_t i = 0; i < randomBytes.getSize(); ++i)
        randomBytes[i] = (char) (random() & 0xff);

    const std::pair<const char*, juce::MemoryBlock> productCases[] {
        { "empty blob", juce::MemoryBlock() },
        { "eight bytes", juce::MemoryBlock (productBlobFromXml (*validXml).getData(), 8) },
        { "wrong magic number", wrongMagic },
        { "length field of zero", zeroLength },
        { "text that is not XML", notXml },
        { "another root element", productBlobFromXml (otherRoot) },
        { "random bytes", randomBytes },
    };
    for (const auto& [what, blob] : productCases)
    {
        SCOPED_TRACE (std::string ("product blob: ") + what);
        setProductState (format, *instance, blob);
        letHostCatchUp (*instance);
        EXPECT_EQ (parameterTexts (*instance), textsBefore);
        EXPECT_SAME_BYTES (hostState (*instance), before);
    }

    if (format == Format::vst3)
    {
        // Straight to the host's hook, as a damaged project file would arrive.
        SCOPED_TRACE ("host state: random bytes");
        instance->setStateInformation (randomBytes.getData(), (int) randomBytes.getSize());
        letHostCatchUp (*instance);
        EXPECT_EQ (parameterTexts (*instance), textsBefore);
        EXPECT_SAME_BYTES (hostState (*instance), before);
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, State, allFormats(), printFormat);

//==============================================================================
namespace
{
/** Runs a shell command to completion; returns its output, or nullopt when it failed. */
std::optional<juce::String> run (const juce::String& command, int timeoutMs = 20000)
{
    juce::ChildProcess process;
    if (! process.start (juce::StringArray { "bash", "-c", command }))
        return std::nullopt;
    const auto output = process.readAllProcessOutput();
    if (! process.waitForProcessToFinish (timeoutMs) || process.getExitCode() != 0)
        return std::nullopt;
    return output;
}

juce::File settingsFile()
{
    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".config/Quorvane.settings");
}

void writeFilterState (const juce::MemoryBlock& blob)
{
    juce::XmlElement properties ("PROPERTIES");
    auto* value = properties.createNewChildElement ("VALUE");
    value->setAttribute ("name", "filterState");
    value->setAttribute ("val", blob.toBase64Encoding());
    settingsFile().getParentDirectory().createDirectory();
    ASSERT_TRUE (properties.writeTo (settingsFile()));
}

juce::MemoryBlock readFilterState()
{
    juce::MemoryBlock blob;
    if (auto xml = juce::XmlDocument::parse (settingsFile()))
        for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
            if (value->getStringAttribute ("name") == "filterState")
                blob.fromBase64Encoding (value->getStringAttribute ("val"));
    return blob;
}

/** Starts the built app, waits for its window and closes it with its own close button,
    which is when the app writes its state into the settings file. */
void runStandaloneUntilClosed()
{
    juce::ChildProcess app;
    ASSERT_TRUE (app.start (juce::StringArray { BR_STANDALONE_PATH }, 0));
    // The window may be replaced while the wrapper sets itself up, so it is looked up
    // again until its geometry can be read. The wrapper draws its own title bar; the
    // close button sits at its right end.
    ASSERT_TRUE (run ("for i in $(seq 150); do "
                      "w=$(xdotool search --name '^Quorvane$' | head -1) && [ -n \"$w\" ] && sleep 0.5 && "
                      "g=$(xdotool getwindowgeometry --shell \"$w\") && break; sleep 0.1; done; "
                      "[ -n \"$g\" ] || exit 1; eval \"$g\"; "
                      "xdotool mousemove $((X + WIDTH - 20)) $((Y + 14)) sleep 0.2 mousedown 1 sleep 0.1 mouseup 1")
                     .has_value())
        << "the app showed no window";
    EXPECT_TRUE (app.waitForProcessToFinish (15000)) << "the app did not quit on its close button";
    app.kill();
}
} // namespace

TEST (StateExchange, Vst3StateGoesThroughTheStandaloneSettingsIntoLv2AndBack)
{
    std::mt19937 random (9);
    auto vst3 = load (Format::vst3);
    randomiseParameters (*vst3, random);
    const auto fromVst3 = productState (Format::vst3, *vst3);
    ASSERT_GT (fromVst3.getSize(), 8u);

    // The app reads "filterState" at start-up and writes it again when closed.
    writeFilterState (fromVst3);
    runStandaloneUntilClosed();
    const auto fromApp = readFilterState();
    EXPECT_SAME_BYTES (fromApp, fromVst3);

    auto lv2 = load (Format::lv2);
    setProductState (Format::lv2, *lv2, fromApp);
    letHostCatchUp (*lv2);
    const auto fromLv2 = productState (Format::lv2, *lv2);
    EXPECT_SAME_BYTES (fromLv2, fromVst3);

    auto backInVst3 = load (Format::vst3);
    setProductState (Format::vst3, *backInVst3, fromLv2);
    letHostCatchUp (*backInVst3);
    EXPECT_SAME_BYTES (productState (Format::vst3, *backInVst3), fromVst3);
    EXPECT_EQ (parameterTexts (*backInVst3), parameterTexts (*vst3));
}
