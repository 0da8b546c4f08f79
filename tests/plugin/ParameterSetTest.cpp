#include "plugin/BrellumProcessor.h"
#include "plugin/ParameterLayout.h"

#include <gtest/gtest.h>

namespace
{
juce::RangedAudioParameter& param (BrellumProcessor& p, const char* id)
{
    auto* parameter = p.parameters.getParameter (id);
    EXPECT_NE (parameter, nullptr) << id;
    return *parameter;
}

/** Sets a parameter through its normalised value, the way a host does. */
float setAndRead (BrellumProcessor& p, const char* id, float value)
{
    auto& parameter = param (p, id);
    parameter.setValueNotifyingHost (parameter.convertTo0to1 (value));
    return p.parameters.getRawParameterValue (id)->load();
}
} // namespace

TEST (ParameterSet, HostSeesFifteenParametersInFixedOrderWithVersionHintOne)
{
    BrellumProcessor processor;
    const juce::StringArray expected { "sync",   "rate",     "xFactor", "waveform", "amDepth",
                                       "amOn",   "amPhase",  "rotCenter", "rotOn",  "rotRange",
                                       "fmDepth", "fmOn",    "fmPhase", "gain",     "mix" };
    EXPECT_EQ (br::allParameterIds(), expected);

    const auto& hostParams = processor.getParameters();
    ASSERT_EQ (hostParams.size(), 15);
    for (int i = 0; i < hostParams.size(); ++i)
    {
        auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*> (hostParams[i]);
        ASSERT_NE (withId, nullptr);
        EXPECT_EQ (withId->getParameterID(), expected[i]);
        EXPECT_EQ (withId->getVersionHint(), 1) << expected[i];
    }
}

TEST (ParameterSet, FreshInstanceHasTheDesignedDefaults)
{
    struct Default
    {
        const char* id;
        const char* name;
        float value;
        const char* text;
        const char* label;
    };
    const Default defaults[] {
        { "sync", "Sync", 0.0f, "Manual", "" },
        { "rate", "Rate", 0.2f, "0.20", "Hz" },
        { "xFactor", "x Factor", 3.0f, "x1.00", "" },
        { "waveform", "Waveform", 4.0f, "Sine", "" },
        { "amDepth", "AM Depth", 50.0f, "50", "%" },
        { "amOn", "AM On", 1.0f, nullptr, "" },
        { "amPhase", "AM Phase", 0.0f, "0", "" },
        { "rotCenter", "Rotation Center", 0.0f, "0", "deg" },
        { "rotOn", "Rotation On", 1.0f, nullptr, "" },
        { "rotRange", "Rotation Range", 90.0f, "90", "deg" },
        { "fmDepth", "FM Depth", 50.0f, "50", "%" },
        { "fmOn", "FM On", 1.0f, nullptr, "" },
        { "fmPhase", "FM Phase", 0.0f, "0", "" },
        { "gain", "Gain", 0.0f, "0.0", "dB" },
        { "mix", "Mix", 100.0f, "100", "%" },
    };

    BrellumProcessor processor;
    for (const auto& d : defaults)
    {
        SCOPED_TRACE (d.id);
        auto& p = param (processor, d.id);
        EXPECT_EQ (p.getName (100), d.name);
        EXPECT_EQ (p.getLabel(), d.label);
        EXPECT_FLOAT_EQ (processor.parameters.getRawParameterValue (d.id)->load(), d.value);
        EXPECT_FLOAT_EQ (p.convertFrom0to1 (p.getDefaultValue()), d.value);
        if (d.text != nullptr)
            EXPECT_EQ (p.getCurrentValueAsText(), d.text);
    }
}

TEST (ParameterSet, CustomRangesSnapToTheirGridAndLimits)
{
    struct SnapCase
    {
        const char* what;
        const char* id;
        float set;
        float stored;
        const char* text;
    };
    const SnapCase cases[] {
        { "rate to hundredths", "rate", 0.123f, 0.12f, "0.12" },
        { "rate below the range", "rate", 0.005f, 0.01f, "0.01" },
        { "rate above the range", "rate", 75.0f, 60.0f, "60.00" },
        { "rate default text", "rate", 0.2f, 0.2f, "0.20" },
        { "gain to tenths", "gain", 3.04f, 3.0f, "3.0" },
        { "gain below the range", "gain", -20.0f, -12.0f, "-12.0" },
        { "depth to tenths, whole-number text", "amDepth", 33.33f, 33.3f, "33" },
        { "half goes to even (down)", "amDepth", 12.5f, 12.5f, "12" },
        { "half goes to even (up)", "amDepth", 13.5f, 13.5f, "14" },
        { "mix to tenths", "mix", 52.46f, 52.5f, "52" },
        { "centre whole degrees", "rotCenter", 12.4f, 12.0f, "12" },
        { "centre negative", "rotCenter", -90.0f, -90.0f, "-90" },
        { "range never below 1", "rotRange", 0.0f, 1.0f, "1" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        BrellumProcessor processor;
        EXPECT_NEAR (setAndRead (processor, c.id, c.set), c.stored, 1.0e-5f);
        EXPECT_EQ (param (processor, c.id).getCurrentValueAsText(), c.text);
    }
}

TEST (ParameterSet, RateMapsLogarithmicallyWithTheDefaultNearAThird)
{
    BrellumProcessor processor;
    auto& rate = param (processor, "rate");
    EXPECT_NEAR (rate.getDefaultValue(), std::log (20.0) / std::log (6000.0), 1.0e-5);
    EXPECT_NEAR (rate.convertFrom0to1 (0.0f), 0.01f, 1.0e-6f);
    EXPECT_NEAR (rate.convertFrom0to1 (1.0f), 60.0f, 1.0e-3f);
    EXPECT_NEAR (rate.convertFrom0to1 (0.5f), 0.01f * std::sqrt (6000.0f), 0.01f);
}

TEST (ParameterSet, ChoiceNamesMatchTheirTables)
{
    const juce::StringArray xNames { "x0.25", "x0.50", "x0.75", "x1.00",  "x1.50",  "x2.00",  "x3.00",  "x4.00",
                                     "x6.00", "x8.00", "x12.00", "x16.00", "x24.00", "x32.00", "x50.00", "x100.00" };
    EXPECT_EQ (br::xFactorNames(), xNames);
    EXPECT_EQ (br::syncNames(), juce::StringArray ({ "Manual", "Auto" }));
    EXPECT_EQ (br::waveformNames(), juce::StringArray ({ "Square", "Triangle", "Saw Up", "Saw Down", "Sine" }));
    EXPECT_EQ (br::phaseNames(), juce::StringArray ({ "0", "90", "180", "270" }));

    BrellumProcessor processor;
    auto* xFactor = dynamic_cast<juce::AudioParameterChoice*> (&param (processor, "xFactor"));
    ASSERT_NE (xFactor, nullptr);
    EXPECT_EQ (xFactor->choices, xNames);
    auto& asParameter = static_cast<juce::AudioProcessorParameter&> (*xFactor);
    EXPECT_EQ (asParameter.getText (1.0f, 100), "x100.00");
    EXPECT_EQ (asParameter.getText (0.0f, 100), "x0.25");
}
