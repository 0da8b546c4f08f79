#pragma once
#include "dsp/Parameters.h"

#include <juce_core/juce_core.h>

/** The value texts of each unit, the same for the host's parameter texts and the
    editor's boxes, so the two always read alike; and how the editor reads typed text
    back. No unit is ever part of a text: the host shows the label beside it, the
    editor's captions carry it. */
namespace br::valueText
{
/** Hz with exactly two decimals: "0.20", "60.00". */
juce::String formatRate (double hz);

/** The rate as BPM (hz x 60): two decimals below 1000 BPM, one from 1000 BPM, decided
    on the unrounded value ("999.99", "1000.00" for 999.999, "1000.0" for 1000.002). */
juce::String formatBpm (double hz);

/** Typed text as a number. Only "0123456789.,-" are kept (spaces, units, "+" go), a
    comma counts as a decimal point, and reading stops at the first character that
    does not fit, so "1,000.5" reads 1.0. Text that does not start with a number
    reads 0. Never fails and is always finite: a number too large for a double reads
    as the largest one, a non-zero one too small as 0, and the slider limits the
    result to its range. Independent of the locale. */
double parseNumber (const juce::String& text);

/** Typed BPM as Hz: parseNumber / 60. */
double parseBpm (const juce::String& text);

/** dB with one decimal: "-12.0", "0.0", "6.5". */
juce::String formatGain (double db);

/** Percent or degrees as a whole number, halves to the even neighbour: 50.5 gives
    "50", 51.5 "52", -90 "-90". */
juce::String formatWhole (double value);

/** The text of a value in a unit (hertz, percent, degrees, decibels); null for choices
    and switches, which read as their names or the framework's own text. */
using Format = juce::String (*) (double);
Format formatOf (TextKind kind) noexcept;

/** The base rate that "Auto" sync yields, shown in place of the rate parameter: Hz
    with two decimals, or as BPM like formatBpm. */
juce::String tempoHzText (float baseHz);
juce::String tempoBpmText (float baseHz);
} // namespace br::valueText
