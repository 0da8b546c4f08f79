#include "editor/ValueText.h"

#include <cmath>

namespace br::valueText
{
juce::String formatRate (double hz) { return juce::String (hz, 2); }

juce::String formatBpm (double hz)
{
    const auto bpm = hz * 60.0;
    return juce::String (bpm, bpm >= 1000.0 ? 1 : 2);
}

double parseNumber (const juce::String& text)
{
    return text.retainCharacters ("0123456789.,-").replaceCharacter (',', '.').getDoubleValue();
}

double parseBpm (const juce::String& text) { return parseNumber (text) / 60.0; }

juce::String formatGain (double db) { return juce::String (db, 1); }

juce::String formatMix (double percent)
{
    // nearbyint rounds in the current mode, which is to-nearest-even unless someone
    // changed it; the parameter's own text rounds the same way, so the two agree.
    return juce::String ((juce::int64) std::nearbyint (percent));
}

juce::String tempoHzText (float baseHz) { return formatRate ((double) baseHz); }

juce::String tempoBpmText (float baseHz) { return formatBpm ((double) baseHz); }
} // namespace br::valueText
