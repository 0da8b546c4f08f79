#include "ParameterHost.h"
#include "UiTestSupport.h"
#include "ui/LedButton.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;

// 55 x 27: LED centred at (27.5, 13.5), i.e. on pixel (27, 13).
juce::Image paintLed (juce::Colour led, bool on, juce::Button::ButtonState state = juce::Button::buttonNormal)
{
    br::ui::LedButton button (led);
    button.setBounds (0, 0, 55, 27);
    button.setToggleState (on, juce::dontSendNotification);
    button.setState (state);
    return br::test::paintComponent (button);
}

juce::Colour bodyAt (juce::Colour base, int y)
{
    return base.brighter (0.08f).interpolatedWith (base.darker (0.15f), ((float) y + 0.5f) / 27.0f);
}
} // namespace

TEST (LedButton, ShowsADarkDotWithAFaintRimWhenOff)
{
    const auto image = paintLed (colours::accentBright, false);
    EXPECT_EQ (image.getPixelAt (27, 13), juce::Colour (0xff141a24));
    EXPECT_EQ (image.getPixelAt (25, 15), juce::Colour (0xff141a24));
    EXPECT_GT (image.getPixelAt (22, 13).getRed(), image.getPixelAt (24, 13).getRed()) << "rim";
    EXPECT_COLOUR_NEAR (image.getPixelAt (36, 13), bodyAt (colours::box, 13), 2) << "no glow";
}

TEST (LedButton, GlowsInItsColourWhenOn)
{
    for (const auto& led : { colours::accentBright, juce::Colours::white })
    {
        SCOPED_TRACE (led.toDisplayString (true).toStdString());
        const auto image = paintLed (led, true);

        // The LED is lit from its upper left: white at (26.5, 12.5), the colour 7.07 px away.
        EXPECT_COLOUR_NEAR (image.getPixelAt (27, 13), juce::Colours::white.interpolatedWith (led, 1.414f / 7.071f), 4);
        EXPECT_COLOUR_NEAR (image.getPixelAt (29, 15), juce::Colours::white.interpolatedWith (led, 4.243f / 7.071f), 4);

        // Glow: 0x8C at the centre fading to nothing 11 pixels out; here 9 out.
        EXPECT_COLOUR_NEAR (image.getPixelAt (36, 13), br::test::blend (bodyAt (colours::box, 13), led, 0x8C * (1.0f - 9.0f / 11.0f)), 3);
        EXPECT_COLOUR_NEAR (image.getPixelAt (40, 13), bodyAt (colours::box, 13), 2) << "beyond the glow";
    }
}

TEST (LedButton, LightsItsBoxUnderTheMouseEitherWay)
{
    for (const bool on : { false, true })
    {
        SCOPED_TRACE (on ? "on" : "off");
        EXPECT_COLOUR_NEAR (paintLed (colours::accentBright, on, juce::Button::buttonOver).getPixelAt (5, 13),
                            bodyAt (colours::boxHover, 13), 2);
        EXPECT_COLOUR_NEAR (paintLed (colours::accentBright, on).getPixelAt (5, 13), bodyAt (colours::box, 13), 2);
    }
}

TEST (LedButton, FollowsASwitchParameterThroughAButtonAttachment)
{
    br::test::ParameterHost host;
    br::ui::LedButton button (colours::accentBright);
    juce::AudioProcessorValueTreeState::ButtonAttachment attachment (host.state, "fmOn", button);
    EXPECT_TRUE (button.getToggleState());

    host.setValue ("fmOn", 0.0f);
    EXPECT_FALSE (button.getToggleState());

    button.setToggleState (true, juce::sendNotificationSync);
    EXPECT_EQ (host.value ("fmOn"), 1.0f);
    EXPECT_TRUE (button.getClickingTogglesState());
    EXPECT_TRUE (button.getButtonText().isEmpty());
}
