#include "presets/FactoryPresets.h"
#include "support/ModelHelpers.h"

#include <gtest/gtest.h>

#include <set>

using namespace br::test;

TEST (FactoryPresets, EveryPresetSetsAllFifteenParametersWhateverWasLoadedBefore)
{
    const auto& presets = br::factoryPresets();
    ASSERT_EQ (presets.size(), 20u);

    for (size_t i = 0; i < presets.size(); ++i)
    {
        SCOPED_TRACE (presets[i].name);

        BrellumProcessor processor;
        setValues (processor, unusualValues());
        processor.presetManager.loadFactory (int (i));

        const auto values = valuesOf (processor);
        for (const auto& id : br::allParameterIds())
        {
            SCOPED_TRACE (id);
            auto expected = defaultOf (processor, id);
            for (const auto& [presetId, value] : presets[i].values)
                if (presetId == id)
                    expected = value;

            // The tree keeps the unsnapped round trip through the normalised range, a
            // few ulps away from the listed value on the logarithmic "rate".
            EXPECT_FLOAT_EQ (values.at (id), expected);
        }
    }
}

TEST (FactoryPresets, GentleTremoloAfterRingModBellDropsItsMultiplierAndMix)
{
    BrellumProcessor processor;
    processor.presetManager.loadFactory (14);
    processor.presetManager.loadFactory (1);

    EXPECT_EQ (valuesOf (processor).at ("xFactor"), 3.0f);
    EXPECT_EQ (valuesOf (processor).at ("mix"), 100.0f);
}

TEST (FactoryPresets, FullResetEqualsAFreshProcessor)
{
    BrellumProcessor fresh, used;
    setValues (used, unusualValues());
    used.presetManager.loadFactory (15);
    used.presetManager.loadFactory (0);

    EXPECT_EQ (valuesOf (used), valuesOf (fresh));
    for (const auto& id : br::allParameterIds())
    {
        SCOPED_TRACE (id);
        EXPECT_EQ (used.parameters.getParameter (id)->getValue(), fresh.parameters.getParameter (id)->getValue());
    }
    EXPECT_EQ (used.presetManager.getCurrentName(), "Full Reset");
    EXPECT_EQ (used.presetManager.getCurrentIndex(), 0);
}

TEST (FactoryPresets, NameKnownParametersOnceWithValuesThatNeedNoLimiting)
{
    BrellumProcessor processor;
    std::set<juce::String> names;

    for (const auto& preset : br::factoryPresets())
    {
        SCOPED_TRACE (preset.name);
        EXPECT_TRUE (names.insert (preset.name).second) << "duplicate name";

        std::set<juce::String> ids;
        for (const auto& [id, value] : preset.values)
        {
            SCOPED_TRACE (id);
            EXPECT_TRUE (ids.insert (id).second) << "named twice";
            auto* parameter = processor.parameters.getParameter (id);
            ASSERT_NE (parameter, nullptr);
            const auto& range = parameter->getNormalisableRange();
            EXPECT_GE (value, range.start);
            EXPECT_LE (value, range.end);
        }
    }
}
