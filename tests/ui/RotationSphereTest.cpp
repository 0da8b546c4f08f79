#include "ParameterHost.h"
#include "UiTestSupport.h"
#include "ui/Palette.h"
#include "ui/RotationSphere.h"

#include <cmath>
#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;
using br::test::Mouse;

// 300 x 301: middle (150, 150.5), radius 144. The half-pixel middle puts horizontal lines
// through it on whole pixel rows.
struct Sphere
{
    Sphere()
    {
        sphere.setBounds (0, 0, 300, 301);
        sphere.position = 90.0f; // needle out of the way, pointing left
    }

    juce::Image paint (float centre, float range, bool active)
    {
        host.setValue ("rotCenter", centre);
        sphere.range = range;
        sphere.active = active;
        return br::test::paintComponent (sphere);
    }

    br::test::ParameterHost host;
    br::ui::RotationSphere sphere { host.parameter ("rotCenter"), &host.undoManager };
    Mouse mouse { sphere };
};

/** The alpha (0..255) with which `colour` was laid over `without` to give `with`, read
    from the channel where the two differ most. */
float alphaOf (juce::Colour with, juce::Colour without, juce::Colour colour)
{
    const int channels[3][3] { { with.getRed(), without.getRed(), colour.getRed() },
                               { with.getGreen(), without.getGreen(), colour.getGreen() },
                               { with.getBlue(), without.getBlue(), colour.getBlue() } };
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (std::abs (channels[i][2] - channels[i][1]) > std::abs (channels[best][2] - channels[best][1]))
            best = i;
    return 255.0f * (float) (channels[best][0] - channels[best][1]) / (float) (channels[best][2] - channels[best][1]);
}

/** Gesture starts and ends reported by a parameter, and how deep they nested. */
struct GestureLog : juce::AudioProcessorParameter::Listener
{
    void parameterValueChanged (int, float) override {}
    void parameterGestureChanged (int, bool starting) override
    {
        depth += starting ? 1 : -1;
        deepest = juce::jmax (deepest, depth);
        starts += starting ? 1 : 0;
    }
    int depth = 0, deepest = 0, starts = 0;
};
} // namespace

TEST (RotationSphere, SetsTheCentreToTheDirectionOfAPress)
{
    const auto tenAndAHalfLeft = juce::Point<float> (150.0f - 100.0f * std::sin (10.5f * 0.017453292f),
                                                     150.5f - 100.0f * std::cos (10.5f * 0.017453292f));
    struct Case
    {
        const char* what;
        juce::Point<float> at;
        float expected;
    };
    const Case cases[] {
        { "right of the middle", { 250.0f, 150.5f }, -90.0f },
        { "left of the middle", { 50.0f, 150.5f }, 90.0f },
        { "straight up", { 150.0f, 40.0f }, 0.0f },
        { "straight down", { 150.0f, 260.0f }, -180.0f },
        { "10.5 degrees left of up, half away from zero", tenAndAHalfLeft, 11.0f },
        { "10.5 degrees right of up", { 300.0f - tenAndAHalfLeft.x, tenAndAHalfLeft.y }, -11.0f },
        { "upper right diagonal", { 200.0f, 100.5f }, -45.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Sphere s;
        s.mouse.press (c.at);
        s.mouse.release (c.at);
        EXPECT_EQ (s.host.value ("rotCenter"), c.expected);
        EXPECT_EQ (s.sphere.centre, c.expected) << "the attachment feeds the wedge";
    }
}

TEST (RotationSphere, JumpsFrom180ToMinus180WhenDraggedAcrossTheBottom)
{
    Sphere s;
    s.mouse.press ({ 148.0f, 250.0f });
    EXPECT_EQ (s.host.value ("rotCenter"), 179.0f);

    float lowest = 180.0f;
    for (float x = 148.5f; x <= 152.0f; x += 0.5f)
    {
        s.mouse.drag ({ x, 250.0f });
        lowest = juce::jmin (lowest, std::abs (s.host.value ("rotCenter")));
    }
    s.mouse.release ({ 152.0f, 250.0f });
    EXPECT_EQ (s.host.value ("rotCenter"), -179.0f);
    EXPECT_GE (lowest, 179.0f) << "passed through the top on the way";
}

TEST (RotationSphere, MakesOneGestureOfADragAndReturnsToZeroOnDoubleClick)
{
    Sphere s;
    GestureLog log;
    s.host.parameter ("rotCenter").addListener (&log);

    s.mouse.press ({ 250.0f, 150.5f });
    s.mouse.drag ({ 150.0f, 40.0f });
    s.mouse.drag ({ 50.0f, 150.5f });
    EXPECT_EQ (log.depth, 1);
    s.mouse.release ({ 50.0f, 150.5f });
    EXPECT_EQ (s.host.value ("rotCenter"), 90.0f);
    EXPECT_EQ (log.starts, 1);
    EXPECT_EQ (log.depth, 0);

    s.mouse.doubleClick ({ 250.0f, 150.5f });
    EXPECT_EQ (s.host.value ("rotCenter"), 0.0f);
    EXPECT_EQ (log.depth, 0);
    EXPECT_EQ (log.deepest, 1) << "the reset opened a gesture inside the press's gesture";

    s.host.parameter ("rotCenter").removeListener (&log);
}

TEST (RotationSphere, FollowsTheCentreParameter)
{
    Sphere s;
    s.host.setValue ("rotCenter", -37.0f);
    EXPECT_EQ (s.sphere.centre, -37.0f);
    EXPECT_EQ (s.sphere.range, 90.0f);
    EXPECT_TRUE (s.sphere.active);
}

TEST (RotationSphere, FillsTheWedgeWithItsAlphasOnAndOff)
{
    struct Case
    {
        const char* what;
        bool active;
        float top, bottom;
    };
    const Case cases[] { { "rotation on", true, 0xA6, 0x59 }, { "rotation off", false, 0x3A, 0x1F } };

    // (150, 9): just inside the top, where the fill is still the accent; (150, 222): half
    // the radius down, past the end of the gradient, where it is the dark accent.
    const auto topColour = colours::accent.interpolatedWith (colours::accentDark, 3.0f / (1.2f * 144.0f));
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Sphere s;
        const auto up = s.paint (0.0f, 90.0f, c.active);
        const auto down = s.paint (180.0f, 90.0f, c.active);
        EXPECT_NEAR (alphaOf (up.getPixelAt (150, 9), down.getPixelAt (150, 9), topColour), c.top, 4.0f);
        EXPECT_NEAR (alphaOf (down.getPixelAt (150, 222), up.getPixelAt (150, 222), colours::accentDark), c.bottom, 4.0f);
    }
}

TEST (RotationSphere, DrawsSolidEdgesAndDashedContinuationsInTheAccent)
{
    // Centre 45, range 90: edges point left and up, their continuations right and down.
    // The dashes run 2 on, 3 off from the middle: x 155-156 inked, 157-159 clear.
    for (const bool active : { true, false })
    {
        SCOPED_TRACE (active ? "on" : "off");
        Sphere s;
        s.sphere.position = -135.0f;
        const auto image = s.paint (45.0f, 90.0f, active);
        const auto dash = image.getPixelAt (155, 150);
        const auto gap = image.getPixelAt (158, 150);
        EXPECT_NEAR (alphaOf (dash, gap, colours::accent), active ? 255.0f : 0x59, 5.0f);
        EXPECT_NEAR (alphaOf (image.getPixelAt (165, 150), image.getPixelAt (168, 150), colours::accent),
                     active ? 255.0f : 0x59, 5.0f)
            << "next dash";
        if (active)
            EXPECT_COLOUR_NEAR (image.getPixelAt (80, 150), colours::accent, 1) << "solid left edge";
    }
}

TEST (RotationSphere, DrawsAFullDiscWithoutEdgesFrom359AndAHalfDegrees)
{
    Sphere s;
    const auto full = s.paint (0.0f, 360.0f, true);
    const auto threshold = s.paint (0.0f, 359.5f, true);
    const auto almost = s.paint (0.0f, 359.0f, true);
    const auto sliver = s.paint (90.0f, 1.0f, true); // its edges and dashes run sideways

    int differing = 0;
    for (int y = 0; y < 301; ++y)
        for (int x = 0; x < 300; ++x)
            differing += full.getPixelAt (x, y) != threshold.getPixelAt (x, y) ? 1 : 0;
    EXPECT_EQ (differing, 0);

    // Half the radius straight down: filled in the disc, between the meeting edges at 359.
    EXPECT_NEAR (alphaOf (full.getPixelAt (150, 222), sliver.getPixelAt (150, 222), colours::accentDark), 0x59, 4.0f);
    EXPECT_COLOUR_NEAR (almost.getPixelAt (150, 222), colours::accent, 12);
}

TEST (RotationSphere, DimsTheNeedleWhenRotationIsOff)
{
    for (const bool active : { true, false })
    {
        SCOPED_TRACE (active ? "on" : "off");
        Sphere s;
        const auto aside = s.paint (90.0f, 90.0f, active);
        s.sphere.position = 0.0f;
        const auto up = s.paint (90.0f, 90.0f, active);
        // 140 pixels up the needle is almost 5 pixels wide.
        EXPECT_NEAR (alphaOf (up.getPixelAt (150, 10), aside.getPixelAt (150, 10), juce::Colours::white),
                     active ? 0xF2 : 0x66, 4.0f);
        EXPECT_EQ (up.getPixelAt (150, 120), aside.getPixelAt (150, 120)) << "the needle ends at 0.58 r";
    }
}

TEST (RotationSphere, DrawsItsBodyInsideAShadowAndRim)
{
    Sphere s;
    const auto image = s.paint (90.0f, 90.0f, true);
    EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0);
    EXPECT_COLOUR_NEAR (image.getPixelAt (150, 5), juce::Colour (0xff05080d), 3) << "rim, 2 pixels wide";
    EXPECT_COLOUR_NEAR (image.getPixelAt (295, 150), juce::Colour (0xff05080d), 3) << "rim, 2 pixels wide";
    EXPECT_GT (image.getPixelAt (150, 298).getAlpha(), 0) << "shadow below the rim";
    EXPECT_EQ (image.getPixelAt (150, 3).getAlpha(), 0) << "no shadow above";
    // The body is lit from the upper left.
    EXPECT_GT (image.getPixelAt (100, 90).getRed(), image.getPixelAt (220, 250).getRed());
}
