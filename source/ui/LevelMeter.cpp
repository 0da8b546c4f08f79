#include "ui/LevelMeter.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <cmath>

namespace br::ui
{
namespace
{
constexpr float silence = 0.000001f;

float decibels (float amplitude) { return juce::jmax (20.0f * std::log10 (amplitude), -100.0f); }
} // namespace

LevelMeter::LevelMeter() = default;
LevelMeter::~LevelMeter() = default;

float LevelMeter::barFraction (float amplitude)
{
    if (amplitude <= silence)
        return 0.0f;
    return juce::jlimit (0.0f, 1.0f, (decibels (amplitude) + 60.0f) / 66.0f);
}

juce::String LevelMeter::readoutText (float amplitude)
{
    if (amplitude <= silence)
        return "-Inf";
    return juce::String ((double) decibels (amplitude), 1);
}

float LevelMeter::barHeight() const { return (float) getHeight() - 40.0f; }

float LevelMeter::troughHeight() const { return juce::jmax (barHeight() - 6.0f, 0.0f); }

float LevelMeter::barX (size_t channel) const
{
    const auto cx = (float) getWidth() / 2.0f;
    return channel == 0 ? cx - 33.0f : cx + 19.0f;
}

float LevelMeter::barTop (float amplitude) const
{
    const auto filled = (barHeight() - 6.0f) * barFraction (amplitude);
    return filled > 0.0f ? barHeight() - 3.0f - filled : troughHeight() + 3.0f;
}

juce::Rectangle<int> LevelMeter::readoutArea (size_t channel) const
{
    const auto x = barX (channel);
    const auto height = (float) getHeight();
    return juce::Rectangle<float> (x - 15.0f, height - 20.0f, 44.0f, 20.0f)
        .getSmallestIntegerContainer()
        .getUnion ({ juce::roundToInt (x - 15.0f), juce::roundToInt (height - 20.0f), 44, 20 });
}

juce::RectangleList<int> LevelMeter::areaChangedBy (std::array<float, 2> newLevel,
                                                   std::array<float, 2> newPeakHold) const
{
    juce::RectangleList<int> area;
    std::array<juce::Rectangle<int>, 2> strips;
    for (size_t channel = 0; channel < 2; ++channel)
    {
        // The bar's colours are fixed on the screen (the gradient spans the whole height),
        // so only the rows between the old and the new top change.
        const auto oldTop = barTop (level[channel]);
        const auto newTop = barTop (newLevel[channel]);
        if (oldTop != newTop)
            strips[channel] = juce::Rectangle<float> (barX (channel) + 3.0f, juce::jmin (oldTop, newTop), 8.0f,
                                                      std::abs (newTop - oldTop))
                                  .getSmallestIntegerContainer();

        const auto oldPeak = peakHold[channel];
        const auto newPeak = newPeakHold[channel];
        if (readoutText (oldPeak) != readoutText (newPeak) || (oldPeak > 1.0f) != (newPeak > 1.0f))
            area.add (readoutArea (channel));
    }

    // Bars that move at the same height are redrawn as one strip across both (the scale
    // between them is drawn the same): one piece of drawing and one copy to the screen.
    if (strips[0].getVerticalRange().intersects (strips[1].getVerticalRange()))
    {
        area.add (strips[0].getUnion (strips[1]));
    }
    else
    {
        area.add (strips[0]);
        area.add (strips[1]);
    }
    return area;
}

void LevelMeter::setReadings (std::array<float, 2> newLevel, std::array<float, 2> newPeakHold)
{
    for (const auto& changed : areaChangedBy (newLevel, newPeakHold))
        repaint (changed);

    level = newLevel;
    peakHold = newPeakHold;
}

void LevelMeter::mouseDown (const juce::MouseEvent&)
{
    peakHold = { 0.0f, 0.0f };
    repaint();
}

void LevelMeter::paint (juce::Graphics& g)
{
    const auto height = (float) getHeight();
    const auto cx = (float) getWidth() / 2.0f;

    // Marks at 0, -6, -12, -24 and -48 dB, as offsets below the top of the +6 dB scale.
    g.setColour (colours::textDim.withAlpha ((juce::uint8) 0x80));
    for (const auto m : { -60.0f, -54.0f, -48.0f, -36.0f, -12.0f })
        g.fillRect (
            juce::Rectangle<float> (cx - 13.0f, (float) (int) (barHeight() + barHeight() * m / 66.0f), 26.0f, 1.0f));

    for (size_t channel = 0; channel < 2; ++channel)
    {
        const auto x = barX (channel);

        g.setColour (juce::Colour (0xff3a404a));
        g.fillRect (juce::Rectangle<float> (x, 0.0f, 14.0f, barHeight()));
        g.setColour (juce::Colour (0xff1b2029));
        g.fillRect (juce::Rectangle<float> (x + 3.0f, 3.0f, 8.0f, troughHeight()));

        if (barFraction (level[channel]) > 0.0f)
        {
            const auto top = barTop (level[channel]);
            g.setGradientFill (
                juce::ColourGradient (colours::accentBright, 0.0f, 0.0f, colours::accent, 0.0f, barHeight(), false));
            g.fillRect (juce::Rectangle<float> (x + 3.0f, top, 8.0f, juce::jmax (troughHeight() + 3.0f - top, 0.0f)));
        }

        // Most ticks redraw only a strip of a bar; the readout's paths are not worth
        // building then.
        if (! g.clipRegionIntersects (readoutArea (channel)))
            continue;

        g.setColour (juce::Colour (0xff121720));
        g.fillRoundedRectangle (x - 15.0f, height - 20.0f, 44.0f, 20.0f, 4.0f);
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x2E));
        g.drawRoundedRectangle (x - 14.5f, height - 19.5f, 43.0f, 19.0f, 4.0f, 1.0f);

        const auto peak = peakHold[channel];
        g.setColour (peak > 1.0f ? juce::Colour (0xffff5a4a) : colours::text);
        g.setFont (font (12.0f, false, false));
        g.drawText (readoutText (peak),
                    juce::Rectangle<int> (juce::roundToInt (x - 15.0f), juce::roundToInt (height - 20.0f), 44, 20),
                    juce::Justification::centred, true);
    }
}
} // namespace br::ui
