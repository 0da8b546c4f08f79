#include "ui/RotaryKnob.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <cmath>

namespace br::ui
{
RotaryKnob::RotaryKnob() : juce::Slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::NoTextBox)
{
    setRotaryParameters (1.25f * juce::MathConstants<float>::pi, 2.75f * juce::MathConstants<float>::pi, true);
    setMouseDragSensitivity (220);
}

RotaryKnob::~RotaryKnob() = default;

void RotaryKnob::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isAltDown() || e.mods.isCommandDown())
    {
        if (isEnabled())
            setValue (defaultValue, juce::sendNotificationSync);
        return;
    }
    juce::Slider::mouseDown (e);
}

void RotaryKnob::mouseDoubleClick (const juce::MouseEvent&)
{
    if (isEnabled())
        setValue (defaultValue, juce::sendNotificationSync);
}

void RotaryKnob::paint (juce::Graphics& g)
{
    const auto width = (float) getWidth();
    const auto height = (float) getHeight();
    const auto d = juce::jmin (width - 30.0f, height - 36.0f);
    const auto r = d / 2.0f;
    const auto cx = width / 2.0f;
    const auto cy = 6.0f + r;
    const auto twoPi = juce::MathConstants<float>::twoPi;

    const auto rotary = getRotaryParameters();
    const auto s = rotary.startAngleRadians;
    const auto e = rotary.endAngleRadians;
    const auto v = s + (float) valueToProportionOfLength (getValue()) * (e - s);
    const auto pointAt = [cx, cy] (float distance, float angle)
    { return juce::Point<float> (cx + distance * std::sin (angle), cy - distance * std::cos (angle)); };

    g.setColour (colours::textDim);
    for (const auto angle : { s, twoPi, e })
    {
        const auto dot = pointAt (r + 7.0f, angle);
        g.fillEllipse (dot.x - 1.5f, dot.y - 1.5f, 3.0f, 3.0f);
    }

    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x80));
    g.fillEllipse (cx - r, 6.0f + 2.5f, d, d);

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff4a5463), cx - 0.4f * r, cy - 0.6f * r,
                                             juce::Colour (0xff0d1117), cx + 0.5f * r, cy + r, true));
    g.fillEllipse (cx - r, 6.0f, d, d);

    g.setColour (juce::Colours::black);
    g.drawEllipse (cx - r + 0.5f, 6.5f, juce::jmax (d - 1.0f, 0.0f), juce::jmax (d - 1.0f, 0.0f), 1.2f);

    // A centred parameter grows its arc from the top, any other from the scale's start.
    const auto anchor = (getMinimum() < 0.0 && getMaximum() > 0.0) ? twoPi : s;
    juce::Path arc;
    arc.addCentredArc (cx, cy, r - 2.5f, r - 2.5f, 0.0f, juce::jmin (v, anchor), juce::jmax (v, anchor), true);
    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) (isEnabled() ? 0xE6 : 0x66)));
    g.strokePath (arc, juce::PathStrokeType (1.6f));

    g.setColour (juce::Colours::white);
    g.drawLine (juce::Line<float> (pointAt (0.5f * r, v), pointAt (0.9f * r, v)), 2.2f);

    g.setFont (font (11.0f, false, false));
    g.setColour (colours::textDim);
    const auto labelY = juce::roundToInt (d + 13.0f);
    g.drawText (minLabel, juce::Rectangle<int> (0, labelY, juce::roundToInt (cx - 0.45f * r), 14),
                juce::Justification::centredRight, true);
    g.drawText (maxLabel,
                juce::Rectangle<int> (juce::roundToInt (cx + 0.45f * r), labelY,
                                      juce::roundToInt (width - cx - 0.45f * r), 14),
                juce::Justification::centredLeft, true);

    g.setFont (font (14.0f, false, false));
    g.setColour (colours::text);
    g.drawText (getTextFromValue (getValue()),
                juce::Rectangle<int> (juce::roundToInt (cx - 30.0f), juce::roundToInt (d + 17.0f), 60, 16),
                juce::Justification::centred, true);
}
} // namespace br::ui
