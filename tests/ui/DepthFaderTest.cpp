#include "UiTestSupport.h"
#include "ui/BRLookAndFeel.h"
#include "ui/DepthFader.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;
using br::test::Mouse;

// 32 x 278 under the product look-and-feel: values from y 257 (0) up to y 21 (100).
struct Fader
{
    Fader()
    {
        fader.setLookAndFeel (&lookAndFeel);
        fader.setRange (0.0, 100.0);
        fader.setBounds (0, 0, 32, 278);
        fader.setValue (50.0, juce::dontSendNotification);
    }
    ~Fader() { fader.setLookAndFeel (nullptr); }

    br::ui::BRLookAndFeel lookAndFeel;
    br::ui::DepthFader fader;
    Mouse mouse { fader };
};

const auto alt = juce::ModifierKeys (juce::ModifierKeys::altModifier);
const auto command = juce::ModifierKeys (juce::ModifierKeys::commandModifier);
} // namespace

TEST (DepthFader, SpansItsValuesBetween21PixelInsets)
{
    Fader f;
    EXPECT_FLOAT_EQ (f.fader.getPositionOfValue (100.0), 21.0f);
    EXPECT_FLOAT_EQ (f.fader.getPositionOfValue (0.0), 257.0f);
    EXPECT_FLOAT_EQ (f.fader.getPositionOfValue (50.0), 139.0f);
    EXPECT_EQ (f.fader.defaultValue, 50.0);
}

TEST (DepthFader, DrawsTheCapAndIndexLineAtTheValue)
{
    struct Case
    {
        const char* what;
        double value;
        int centre;
    };
    const Case cases[] { { "top", 100.0, 21 }, { "middle", 50.0, 139 }, { "bottom", 0.0, 257 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Fader f;
        f.fader.setValue (c.value, juce::dontSendNotification);
        const auto image = br::test::paintComponent (f.fader);
        const int t = c.centre - 21;

        // Index line: 16 wide, rows c - 1 and c.
        EXPECT_EQ (image.getPixelAt (16, c.centre - 1), colours::accent);
        EXPECT_EQ (image.getPixelAt (8, c.centre), colours::accent);
        EXPECT_EQ (image.getPixelAt (23, c.centre), colours::accent);
        EXPECT_NE (image.getPixelAt (24, c.centre), colours::accent);

        // Face: 22 x 22 from (5, t + 10), shaded from c - 10 down to c + 10.
        EXPECT_COLOUR_NEAR (image.getPixelAt (10, c.centre - 5),
                            juce::Colour (0xffb6bcc5).interpolatedWith (juce::Colour (0xff9aa1ab), 5.5f / 20.0f), 2);
        // Body around it: 28 x 42 from (2, t), light at the top, dark at the bottom.
        EXPECT_COLOUR_NEAR (image.getPixelAt (3, t + 5),
                            juce::Colour (0xffe4e7ec).interpolatedWith (juce::Colour (0xff7c838e), 5.5f / 42.0f), 2);
        EXPECT_COLOUR_NEAR (image.getPixelAt (3, t + 36),
                            juce::Colour (0xffe4e7ec).interpolatedWith (juce::Colour (0xff7c838e), 36.5f / 42.0f), 2);
        // Edge on the outermost column of the cap.
        EXPECT_LT (image.getPixelAt (2, c.centre + 8).getRed(), image.getPixelAt (3, c.centre + 8).getRed());
        EXPECT_EQ (image.getPixelAt (1, c.centre).getAlpha(), 0) << "the cap is 28 wide";
    }
}

TEST (DepthFader, DrawsAThinTrackBetween17PixelMargins)
{
    Fader f;
    f.fader.setValue (100.0, juce::dontSendNotification); // cap at the top
    const auto image = br::test::paintComponent (f.fader);
    EXPECT_EQ (image.getPixelAt (16, 150), colours::track);
    EXPECT_EQ (image.getPixelAt (16, 259), colours::track);
    EXPECT_EQ (image.getPixelAt (16, 262).getAlpha(), 0) << "the track ends 17 pixels above the bottom";
    EXPECT_EQ (image.getPixelAt (11, 150).getAlpha(), 0) << "5 wide around the middle";
}

TEST (DepthFader, JumpsToAPlainClickAndFollowsTheDrag)
{
    struct Case
    {
        const char* what;
        float y;
        double expected;
    };
    const Case cases[] {
        { "middle", 139.0f, 50.0 }, { "top of the range", 21.0f, 100.0 }, { "above the range", 2.0f, 100.0 },
        { "bottom of the range", 257.0f, 0.0 }, { "three quarters", 80.0f, 75.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Fader f;
        f.fader.setValue (10.0, juce::dontSendNotification);
        f.mouse.press ({ 16.0f, c.y });
        EXPECT_NEAR (f.fader.getValue(), c.expected, 1.0e-9);
        f.mouse.drag ({ 16.0f, 198.0f });
        EXPECT_NEAR (f.fader.getValue(), 25.0, 1.0e-9);
        f.mouse.release ({ 16.0f, 198.0f });
    }
}

TEST (DepthFader, SetsItsDefaultOnAModifiedClickWithoutMoving)
{
    for (const auto& mods : { alt, command })
    {
        SCOPED_TRACE (mods.isAltDown() ? "alt" : "command");
        Fader f;
        f.fader.defaultValue = 30.0;
        f.mouse.click ({ 16.0f, 40.0f });
        ASSERT_GT (f.fader.getValue(), 90.0);

        f.mouse.press ({ 16.0f, 200.0f }, mods);
        EXPECT_EQ (f.fader.getValue(), 30.0);
        f.mouse.drag ({ 16.0f, 60.0f }, mods);
        f.mouse.release ({ 16.0f, 60.0f }, mods);
        EXPECT_EQ (f.fader.getValue(), 30.0);
    }
}
