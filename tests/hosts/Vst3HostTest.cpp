#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
/** Scans and instantiates our built VST3 bundle as a host would. */
std::unique_ptr<juce::AudioPluginInstance> loadVst3 (juce::PluginDescription& description)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, juce::File (BR_VST3_PATH).getFullPathName());
    if (found.size() != 1)
        return {};
    description = *found[0];
    juce::String error;
    return format.createInstanceFromDescription (description, 48000.0, 512, error);
}
} // namespace

TEST (Vst3Host, ScansWithOurIdentityAndShowsTheProductParametersByName)
{
    juce::PluginDescription description;
    auto instance = loadVst3 (description);
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (description.name, "Quorvane");
    EXPECT_EQ (description.manufacturerName, "Tarnwick Audio");
    EXPECT_EQ (description.version, "1.1.1");
    EXPECT_EQ (description.category, "Fx|Modulation");
    EXPECT_FALSE (description.isInstrument);

    const juce::StringArray expected { "Sync",         "Rate",           "x Factor",        "Waveform",
                                       "AM Depth",     "AM On",          "AM Phase",        "Rotation Center",
                                       "Rotation On",  "Rotation Range", "FM Depth",        "FM On",
                                       "FM Phase",     "Gain",           "Mix" };
    const auto& params = instance->getParameters();
    // The wrapper adds its own bypass and program parameters after ours.
    ASSERT_EQ (params.size(), 17);
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ (params[i]->getName (100), expected[i]) << "index " << i;
    juce::StringArray wrapperNames { params[15]->getName (100), params[16]->getName (100) };
    EXPECT_TRUE (wrapperNames.contains ("Bypass")) << wrapperNames.joinIntoString (", ");
    EXPECT_TRUE (wrapperNames.contains ("Program")) << wrapperNames.joinIntoString (", ");
    EXPECT_NE (instance->getBypassParameter(), nullptr);
}
