#pragma once
#include <juce_core/juce_core.h>

#include <utility>
#include <vector>

namespace br
{
/** One built-in preset. A preset sets every parameter: the ones named in `values`
    take those values (in the parameter's own units), all others their defaults, so
    loading it never inherits anything from the preset loaded before. */
struct FactoryPreset
{
    juce::String name;
    std::vector<std::pair<juce::String, float>> values;
};

/** The twenty built-in presets, in program order; entry 0 ("Full Reset") is the
    default. Built once on first use (thread-safe) and never changed. */
const std::vector<FactoryPreset>& factoryPresets();
} // namespace br
