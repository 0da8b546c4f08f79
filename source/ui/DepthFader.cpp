#include "ui/DepthFader.h"
#include "ui/Palette.h"

namespace br::ui
{
DepthFader::DepthFader() : juce::Slider (juce::Slider::LinearVertical, juce::Slider::NoTextBox) {}

DepthFader::~DepthFader() = default;

void DepthFader::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isAltDown() || e.mods.isCommandDown())
    {
        if (isEnabled())
            setValue (defaultValue, juce::sendNotificationSync);
        return;
    }
    juce::Slider::mouseDown (e);
}

void DepthFader::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto cx = w / 2.0f;
    const auto c = getPositionOfValue (getValue());

    const juce::Rectangle<float> track (cx - 2.5f, 17.0f, 5.0f, h - 34.0f);
    g.setColour (colours::track);
    g.fillRoundedRectangle (track, 2.5f);
    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x0F));
    g.drawRoundedRectangle (track, 2.5f, 1.0f);

    const auto t = c - 21.0f;
    const auto l = cx - 14.0f;

    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x73));
    g.fillRoundedRectangle (l, t + 3.0f, 28.0f, 42.0f, 4.0f);

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xffe4e7ec), 0.0f, t, juce::Colour (0xff7c838e), 0.0f,
                                             t + 42.0f, false));
    g.fillRoundedRectangle (l, t, 28.0f, 42.0f, 4.0f);

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xffb6bcc5), 0.0f, c - 10.0f, juce::Colour (0xff9aa1ab),
                                             0.0f, c + 10.0f, false));
    g.fillRect (juce::Rectangle<float> (l + 3.0f, t + 10.0f, 22.0f, 22.0f));

    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x80));
    g.drawRoundedRectangle (l + 0.5f, t + 0.5f, 27.0f, 41.0f, 4.0f, 1.0f);

    g.setColour (colours::accent);
    g.fillRect (juce::Rectangle<float> (cx - 8.0f, c - 1.0f, 16.0f, 2.0f));
}
} // namespace br::ui
