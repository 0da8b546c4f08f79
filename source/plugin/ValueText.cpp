#include "plugin/ValueText.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

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
    // from_chars, not the framework's reader: it ignores the host's locale, rounds
    // exactly however many digits are typed, and says when a number is out of range
    // instead of giving infinity (or, past a thousand digits, a wrong finite value).
    const auto kept = text.retainCharacters ("0123456789.,-").replaceCharacter (',', '.').toStdString();
    const auto* begin = kept.data();
    double value = 0.0;
    const auto [end, error] = std::from_chars (begin, begin + kept.size(), value, std::chars_format::fixed);

    if (error == std::errc::invalid_argument)
        return 0.0;

    if (error == std::errc::result_out_of_range || ! std::isfinite (value))
    {
        // Too large when a non-zero digit comes before the point, else too small.
        const bool negative = kept[0] == '-';
        bool large = false;
        for (auto* c = begin + (negative ? 1 : 0); c < end && *c != '.'; ++c)
            large = large || *c != '0';
        value = large ? DBL_MAX : 0.0;
        return negative ? -value : value;
    }
    return value;
}

double parseBpm (const juce::String& text) { return parseNumber (text) / 60.0; }

juce::String formatGain (double db) { return juce::String (db, 1); }

juce::String formatWhole (double value)
{
    // nearbyint rounds in the current mode, which is to-nearest-even unless someone
    // changed it.
    return juce::String ((juce::int64) std::nearbyint (value));
}

Format formatOf (TextKind kind) noexcept
{
    switch (kind)
    {
        case TextKind::hertz: return formatRate;
        case TextKind::percent:
        case TextKind::degrees: return formatWhole;
        case TextKind::decibels: return formatGain;
        case TextKind::syncName:
        case TextKind::xFactorName:
        case TextKind::waveformName:
        case TextKind::phaseName:
        case TextKind::onOff: break;
    }
    return nullptr;
}

juce::String tempoHzText (float baseHz) { return formatRate ((double) baseHz); }

juce::String tempoBpmText (float baseHz) { return formatBpm ((double) baseHz); }
} // namespace br::valueText
