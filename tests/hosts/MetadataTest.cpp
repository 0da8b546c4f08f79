#include "hosts/HostSupport.h"

using namespace br::host;

namespace
{
enum class Kind
{
    choice,
    toggle,
    continuous
};

struct ParameterCase
{
    const char* name;
    const char* unit;        // what a VST3 host shows beside the value
    const char* defaultText; // the product's own text of the default
    float plainDefault;      // in the parameter's units; choices by index
    Kind kind;
    int choices;
};

// In the order the host must list them.
const ParameterCase parameterCases[] {
    { "Sync", "", "Manual", 0.0f, Kind::choice, 2 },
    { "Rate", "Hz", "0.20", 0.2f, Kind::continuous, 0 },
    { "x Factor", "", "x1.00", 3.0f, Kind::choice, 16 },
    { "Waveform", "", "Sine", 4.0f, Kind::choice, 5 },
    { "AM Depth", "%", "50", 50.0f, Kind::continuous, 0 },
    { "AM On", "", "On", 1.0f, Kind::toggle, 2 },
    { "AM Phase", "", "0", 0.0f, Kind::choice, 4 },
    { "Rotation Center", "deg", "0", 0.0f, Kind::continuous, 0 },
    { "Rotation On", "", "On", 1.0f, Kind::toggle, 2 },
    { "Rotation Range", "deg", "90", 90.0f, Kind::continuous, 0 },
    { "FM Depth", "%", "50", 50.0f, Kind::continuous, 0 },
    { "FM On", "", "On", 1.0f, Kind::toggle, 2 },
    { "FM Phase", "", "0", 0.0f, Kind::choice, 4 },
    { "Gain", "dB", "0.0", 0.0f, Kind::continuous, 0 },
    { "Mix", "%", "100", 100.0f, Kind::continuous, 0 },
};

const juce::StringArray factoryProgramNames {
    "Full Reset",       "Gentle Tremolo",    "Deep Tremolo",     "Classic Vibrato", "Wide Auto-Pan",
    "Slow Stereo Drift", "Chorus Shimmer",   "Rotary Fast",      "Rotary Slow",     "Sync Chopper 1-16",
    "Sync Gate Pan 1-8", "Saw Swells 1-4",   "Sidechain Pump",   "Helicopter",      "Ring Mod Bell",
    "Seasick",          "Tape Warble",       "Spinning Top",     "Underwater",      "Stereo Widener",
};

struct ProgramCase
{
    int index;
    const char* parameter;
    const char* text; // the product's text once the program is loaded
};

// A program sets every parameter: listed ones to its values, the rest to defaults.
const ProgramCase programCases[] {
    { 9, "Sync", "Auto" },         { 9, "x Factor", "x4.00" },   { 9, "Waveform", "Square" },
    { 9, "AM Depth", "100" },      { 9, "FM On", "Off" },        { 9, "Rotation On", "Off" },
    { 9, "Rate", "0.20" },         { 14, "x Factor", "x50.00" }, { 14, "Mix", "70" },
    { 13, "Rotation Range", "200" }, { 13, "Rate", "12.00" },    { 0, "Mix", "100" },
    { 0, "x Factor", "x1.00" },
};

class Metadata : public testing::TestWithParam<Format>
{
protected:
    Format format = GetParam();
    std::unique_ptr<juce::AudioPluginInstance> instance = load (format);
};
} // namespace

TEST_P (Metadata, ListsTheFifteenProductParametersWithTheirNamesDefaultsAndSteps)
{
    const auto params = productParameters (*instance);
    ASSERT_EQ (params.size(), std::size (parameterCases));

    for (size_t i = 0; i < std::size (parameterCases); ++i)
    {
        const auto& c = parameterCases[i];
        SCOPED_TRACE (c.name);
        auto* p = parameterNamed (*instance, c.name);
        ASSERT_NE (p, nullptr);

        const auto expectedSteps = c.kind == Kind::continuous ? juce::AudioProcessor::getDefaultNumParameterSteps() : c.choices;
        EXPECT_EQ (p->getNumSteps(), expectedSteps);
        EXPECT_EQ (p->isDiscrete(), c.kind != Kind::continuous);

        if (format == Format::vst3)
        {
            // VST3 carries the product's order, units and texts unchanged.
            EXPECT_EQ (params[i]->getName (100), c.name);
            EXPECT_EQ (p->getLabel(), juce::String (c.unit));
            EXPECT_EQ (p->getText (p->getDefaultValue(), 100), juce::String (c.defaultText));
        }
        else if (c.kind == Kind::continuous)
        {
            // LV2 hosts write numbers themselves from the value in the parameter's units.
            EXPECT_FLOAT_EQ (p->getText (p->getDefaultValue(), 100).getFloatValue(), c.plainDefault);
        }
        else
        {
            // Choices and switches are shown by the labels of their scale points.
            EXPECT_EQ (p->getText (p->getDefaultValue(), 100), juce::String (c.defaultText));
        }
        EXPECT_FLOAT_EQ (p->getValueForText (c.defaultText), p->getDefaultValue());
        EXPECT_FLOAT_EQ (p->getValue(), p->getDefaultValue());
    }
}

TEST_P (Metadata, Vst3AddsOnlyTheWrappersBypassAndProgramParameters)
{
    if (format != Format::vst3)
        GTEST_SKIP() << "LV2 carries bypass as the lv2:enabled port, and programs as presets";

    const auto& all = instance->getParameters();
    ASSERT_EQ (all.size(), (int) std::size (parameterCases) + 2);
    juce::StringArray wrapperNames { all[15]->getName (100), all[16]->getName (100) };
    EXPECT_TRUE (wrapperNames.contains ("Bypass")) << wrapperNames.joinIntoString (", ");
    EXPECT_TRUE (wrapperNames.contains ("Program")) << wrapperNames.joinIntoString (", ");
    ASSERT_NE (instance->getBypassParameter(), nullptr);
    EXPECT_EQ (instance->getBypassParameter()->getName (100), "Bypass");
    if (auto* program = parameterNamed (*instance, "Program"))
        EXPECT_EQ (program->getNumSteps(), factoryProgramNames.size());
}

TEST_P (Metadata, TextToValueToTextGivesBackTheSameText)
{
    // value -> text -> value cannot hold where the text rounds (a depth of 33.3 % reads
    // "33"), but a text the product wrote must read back as the same text.
    std::mt19937 random (7);
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    for (auto* p : productParameters (*instance))
    {
        SCOPED_TRACE (p->getName (100).toStdString());
        std::vector<float> values { p->getDefaultValue(), 0.0f, 1.0f, 0.5f };
        for (int i = 0; i < 40; ++i)
            values.push_back (unit (random));

        for (const auto value : values)
        {
            const auto text = p->getText (value, 1024);
            const auto again = p->getText (p->getValueForText (text), 1024);
            EXPECT_EQ (again, text) << "from normalised " << value;
        }
    }
}

TEST_P (Metadata, OffersTheTwentyFactoryProgramsByName)
{
    ASSERT_EQ (instance->getNumPrograms(), factoryProgramNames.size());
    juce::StringArray names;
    for (int i = 0; i < instance->getNumPrograms(); ++i)
        names.add (instance->getProgramName (i));

    if (format == Format::vst3)
    {
        // VST3 programs are numbered: the numbers are the factory indices.
        EXPECT_EQ (names.joinIntoString (" | "), factoryProgramNames.joinIntoString (" | "));
    }
    else
    {
        // LV2 presets are a set the host orders as it likes.
        auto expected = factoryProgramNames;
        names.sort (false);
        expected.sort (false);
        EXPECT_EQ (names.joinIntoString (" | "), expected.joinIntoString (" | "));
    }
}

TEST_P (Metadata, LoadingAProgramSetsEveryParameterItNames)
{
    for (const auto& c : programCases)
    {
        const auto name = factoryProgramNames[c.index];
        SCOPED_TRACE (name + " / " + c.parameter);
        int program = 0;
        while (program < instance->getNumPrograms() && instance->getProgramName (program) != name)
            ++program;
        ASSERT_LT (program, instance->getNumPrograms());
        instance->setCurrentProgram (program);
        letHostCatchUp (*instance);
        // The plug-in took the program...
        const auto state = productXml (productState (format, *instance));
        ASSERT_NE (state, nullptr);
        EXPECT_EQ (state->getStringAttribute ("presetName"), name);
        // ...and the host was told the values it set.
        auto* p = parameterNamed (*instance, c.parameter);
        ASSERT_NE (p, nullptr);
        const auto shown = p->getText (p->getValue(), 100);
        if (format == Format::lv2 && ! p->isDiscrete())
            EXPECT_FLOAT_EQ (shown.getFloatValue(), juce::String (c.text).getFloatValue());
        else
            EXPECT_EQ (shown, juce::String (c.text));
    }
}

TEST_P (Metadata, CurrentProgramIsNeverMinusOne)
{
    EXPECT_EQ (instance->getCurrentProgram(), 0);
    for (int i = instance->getNumPrograms(); --i >= 0;)
    {
        instance->setCurrentProgram (i);
        letHostCatchUp (*instance);
        EXPECT_EQ (instance->getCurrentProgram(), i);
    }

    // An edit leaves no listed preset current; hosts still must get a valid index.
    setFromText (*parameterNamed (*instance, "Mix"), "42");
    letHostCatchUp (*instance);
    EXPECT_GE (instance->getCurrentProgram(), 0);
    EXPECT_LT (instance->getCurrentProgram(), juce::jmax (1, instance->getNumPrograms()));
}

TEST_P (Metadata, ReportsNoLatencyAndAThirtyMillisecondTail)
{
    instance->prepareToPlay (48000.0, 512);
    EXPECT_EQ (instance->getLatencySamples(), 0);
    if (format == Format::vst3)
        EXPECT_DOUBLE_EQ (instance->getTailLengthSeconds(), 0.03);
    // LV2 has no tail property: hosts keep running an effect while it has inputs.
    instance->releaseResources();
}

INSTANTIATE_TEST_SUITE_P (Formats, Metadata, allFormats(), printFormat);
