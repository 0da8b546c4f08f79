#include "UiTestSupport.h"
#include "ui/BarButton.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;
using Icon = br::ui::BarButton::Icon;

// 28 x 30: middle (14, 15).
juce::Image paintBarButton (Icon icon, juce::Button::ButtonState state = juce::Button::buttonNormal,
                            bool enabled = true, bool framed = false, const juce::String& text = "copy")
{
    juce::Component parent;
    br::ui::BarButton button (text, icon);
    parent.addAndMakeVisible (button);
    button.setBounds (0, 0, 28, 30);
    button.framed = framed;
    button.setState (state);
    parent.setEnabled (enabled);
    return br::test::paintComponent (button);
}

bool mirrored (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (br::test::colourDistance (a.getPixelAt (x, y), b.getPixelAt (a.getWidth() - 1 - x, y)) > 8)
                return false;
    return true;
}
} // namespace

TEST (BarButton, DrawsItsIconInTheStateColour)
{
    struct Case
    {
        const char* what;
        juce::Button::ButtonState state;
        bool enabled;
        juce::Colour expected;
    };
    const Case cases[] {
        { "at rest", juce::Button::buttonNormal, true, colours::textDim.brighter (0.2f) },
        { "under the mouse", juce::Button::buttonOver, true, juce::Colours::white },
        { "pressed", juce::Button::buttonDown, true, juce::Colours::white },
        { "disabled through its parent", juce::Button::buttonNormal, false, colours::textDim.withAlpha ((juce::uint8) 0x59) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        // Inside the "previous" triangle (18, 9), (18, 21), (9, 15).
        const auto image = paintBarButton (Icon::prev, c.state, c.enabled);
        EXPECT_COLOUR_NEAR (image.getPixelAt (15, 15), c.expected, 4); // premultiplied at 0x59
        EXPECT_EQ (image.getPixelAt (20, 15).getAlpha(), 0);
    }
}

TEST (BarButton, KeepsTheLogoColoursWhenDisabled)
{
    // The first crest of the two-cycle wave is at (5.75, 9).
    for (const bool enabled : { true, false })
    {
        SCOPED_TRACE (enabled ? "enabled" : "disabled");
        const auto image = paintBarButton (Icon::logo, juce::Button::buttonNormal, enabled);
        EXPECT_LE (br::test::nearestDistance (image, 6, 9, colours::accentBright), 24);
        EXPECT_LE (br::test::nearestDistance (image, 14, 15, colours::accentBright), 24) << "crosses the middle";
        EXPECT_EQ (image.getPixelAt (14, 4).getAlpha(), 0);
    }
}

TEST (BarButton, FramesTextButtonsAlwaysAndIconsOnlyWhenAsked)
{
    struct Case
    {
        const char* what;
        Icon icon;
        bool framed;
        juce::Button::ButtonState state;
        juce::Colour box; // transparent: no box
    };
    const Case cases[] {
        { "text button", Icon::none, false, juce::Button::buttonNormal, colours::topField },
        { "text button under the mouse", Icon::none, false, juce::Button::buttonOver, colours::topField.brighter (0.12f) },
        { "plain icon", Icon::save, false, juce::Button::buttonNormal, juce::Colours::transparentBlack },
        { "framed icon", Icon::save, true, juce::Button::buttonNormal, colours::topField },
        { "framed icon under the mouse", Icon::menu, true, juce::Button::buttonOver, colours::topField.brighter (0.12f) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto image = paintBarButton (c.icon, c.state, true, c.framed, "");
        EXPECT_EQ (image.getPixelAt (3, 15), c.box);
        if (! c.box.isTransparent())
        {
            EXPECT_COLOUR_NEAR (image.getPixelAt (0, 15), br::test::blend (c.box, juce::Colours::black, 0x80), 2) << "edge";
            EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0) << "rounded corner";
        }
    }
}

TEST (BarButton, WritesItsTextCentredInTheBox)
{
    const auto image = paintBarButton (Icon::none, juce::Button::buttonNormal, true, false, "A");
    int first = 99, last = -1, brightest = 0;
    for (int x = 0; x < 28; ++x)
        for (int y = 3; y < 27; ++y)
            if (const auto red = (int) image.getPixelAt (x, y).getRed(); red > 110)
            {
                first = juce::jmin (first, x);
                last = juce::jmax (last, x);
                brightest = juce::jmax (brightest, red);
            }
    EXPECT_NEAR ((first + last + 1) / 2.0, 14.0, 1.0);
    EXPECT_NEAR (brightest, colours::textDim.brighter (0.2f).getRed(), 10);
}

TEST (BarButton, CutsShutterAndLabelOutOfTheSaveIcon)
{
    const auto image = paintBarButton (Icon::save);
    const auto ink = colours::textDim.brighter (0.2f);
    EXPECT_EQ (image.getPixelAt (14, 11), colours::topBar) << "shutter";
    EXPECT_EQ (image.getPixelAt (14, 18), colours::topBar) << "label";
    EXPECT_EQ (image.getPixelAt (14, 15), ink);
    EXPECT_EQ (image.getPixelAt (8, 11), ink);
    EXPECT_EQ (image.getPixelAt (6, 15).getAlpha(), 0) << "14 wide";
}

TEST (BarButton, StacksThreeBarsForTheMenu)
{
    const auto image = paintBarButton (Icon::menu);
    const auto ink = colours::textDim.brighter (0.2f);
    for (const int y : { 9, 15, 20 })
        EXPECT_COLOUR_NEAR (image.getPixelAt (14, y), ink, 2) << y;
    for (const int y : { 12, 18 })
        EXPECT_EQ (image.getPixelAt (14, y).getAlpha(), 0) << y;
    EXPECT_EQ (image.getPixelAt (5, 15).getAlpha(), 0) << "16 wide";
}

TEST (BarButton, MirrorsRedoAndNextFromUndoAndPrevious)
{
    EXPECT_TRUE (mirrored (paintBarButton (Icon::undo), paintBarButton (Icon::redo)));
    EXPECT_TRUE (mirrored (paintBarButton (Icon::prev), paintBarButton (Icon::next)));
    EXPECT_FALSE (mirrored (paintBarButton (Icon::undo), paintBarButton (Icon::undo)));

    // Undo's arrowhead hangs down from the arc's left end.
    const auto undo = paintBarButton (Icon::undo);
    EXPECT_EQ (undo.getPixelAt (8, 18), colours::textDim.brighter (0.2f));
    EXPECT_EQ (undo.getPixelAt (19, 18).getAlpha(), 0);
}

TEST (BarButton, UsesAPointingHandAndItsNameAsText)
{
    br::ui::BarButton button ("setup", Icon::none);
    EXPECT_EQ (button.getButtonText(), juce::String ("setup"));
    EXPECT_EQ (button.getName(), juce::String ("setup"));
    EXPECT_FALSE (button.framed);
    EXPECT_EQ (button.icon, Icon::none);
    EXPECT_TRUE (button.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::PointingHandCursor));
}
