#include "ui/LedButton.h"
#include "ui/ValueBox.h"

namespace br::ui
{
LedButton::LedButton (juce::Colour colour) : ledColour (colour) {}

LedButton::~LedButton() = default;

void LedButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool)
{
    drawValueBox (g, getLocalBounds().toFloat(), shouldDrawButtonAsHighlighted, isEnabled());

    const auto cx = (float) getWidth() / 2.0f;
    const auto cy = (float) getHeight() / 2.0f;

    if (! getToggleState())
    {
        g.setColour (juce::Colour (0xff141a24));
        g.fillEllipse (cx - 5.0f, cy - 5.0f, 10.0f, 10.0f);
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x1F));
        g.drawEllipse (cx - 5.0f, cy - 5.0f, 10.0f, 10.0f, 1.0f);
        return;
    }

    g.setGradientFill (juce::ColourGradient (ledColour.withAlpha ((juce::uint8) 0x8C), cx, cy,
                                             ledColour.withAlpha ((juce::uint8) 0), cx + 11.0f, cy, true));
    g.fillEllipse (cx - 11.0f, cy - 11.0f, 22.0f, 22.0f);

    g.setGradientFill (
        juce::ColourGradient (juce::Colours::white, cx - 1.0f, cy - 1.0f, ledColour, cx + 4.0f, cy + 4.0f, true));
    g.fillEllipse (cx - 5.0f, cy - 5.0f, 10.0f, 10.0f);
}
} // namespace br::ui
