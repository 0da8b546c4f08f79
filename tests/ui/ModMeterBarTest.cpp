#include "UiTestSupport.h"
#include "ui/ModMeterBar.h"
#include "ui/Palette.h"

#include <cmath>
#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;

const juce::Colour background (0xff060a12);

// 22 x 241: inner area (2, 2, 18, 237), rows 2 to 238.
juce::Image paintBar (bool bipolar, float value, bool active = true)
{
    br::ui::ModMeterBar bar;
    bar.setBounds (0, 0, 22, 241);
    bar.bipolar = bipolar;
    bar.value = value;
    bar.active = active;
    return br::test::paintComponent (bar);
}

int alphaByte (float factor) { return juce::roundToInt (factor * 255.0f); }
} // namespace

TEST (ModMeterBar, FillsFromTheBottomWithABrightCap)
{
    struct Case
    {
        const char* what;
        float value;
        int top;     // first fully covered row of the fill, 239 when none
        int capRows; // fully covered rows of the cap
    };
    const Case cases[] {
        { "full", 1.0f, 2, 10 },
        { "half", 0.5f, 121, 9 },                  // top at 120.5
        { "short fill is all cap", 0.02f, 235, 4 }, // top at 234.26
        { "zero draws nothing", 0.0f, 239, 0 },
        { "beyond 1 is clamped", 3.0f, 2, 10 },
        { "below 0 is clamped", -0.5f, 239, 0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto image = paintBar (false, c.value);
        if (c.top > 3)
            EXPECT_EQ (image.getPixelAt (11, c.top - 2), background);
        if (c.capRows == 0)
        {
            EXPECT_EQ (image.getPixelAt (11, 238), background);
            continue;
        }
        EXPECT_EQ (image.getPixelAt (11, c.top), colours::accentBright);
        EXPECT_EQ (image.getPixelAt (11, juce::jmin (c.top + c.capRows - 1, 238)), colours::accentBright);
        if (c.top + c.capRows < 238)
            EXPECT_COLOUR_NEAR (image.getPixelAt (11, c.top + c.capRows + 1), colours::accent, 1)
                << "below the cap, the radial fill has reached the accent";
        EXPECT_EQ (image.getPixelAt (11, 239), background);
    }
}

TEST (ModMeterBar, ShadesTheFillRadiallyFromTheTopLeftCorner)
{
    // Radial from (2, 0), reaching the accent 9 pixels (half the inner width) away.
    const auto image = paintBar (true, 0.0f);
    const auto shade = [] (float distance)
    {
        return br::test::blend (background, colours::accentDark.interpolatedWith (colours::accent, distance / 9.0f),
                                0.85f * 255.0f);
    };
    EXPECT_COLOUR_NEAR (image.getPixelAt (2, 2), shade (std::hypot (0.5f, 2.5f)), 3);
    EXPECT_COLOUR_NEAR (image.getPixelAt (5, 3), shade (std::hypot (3.5f, 3.5f)), 3);
    EXPECT_COLOUR_NEAR (image.getPixelAt (3, 60), shade (9.0f), 2);
    EXPECT_COLOUR_NEAR (image.getPixelAt (18, 60), shade (9.0f), 2);
}

TEST (ModMeterBar, KeepsTheBipolarMarkerInsideTheBar)
{
    struct Case
    {
        const char* what;
        float value;
        int markerTop;
    };
    const Case cases[] {
        { "+1 at the top", 1.0f, 2 },
        { "+5 pinned to the top", 5.0f, 2 },
        { "-1 at the bottom", -1.0f, 223 },
        { "-5 pinned to the bottom", -5.0f, 223 },
        { "+0.5 a quarter down", 0.5f, 54 }, // 53.25
    };

    const auto fill = br::test::blend (background, colours::accent, 0.85f * 255.0f);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto image = paintBar (true, c.value);
        EXPECT_EQ (image.getPixelAt (11, c.markerTop + 1), colours::accentBright);
        EXPECT_EQ (image.getPixelAt (11, c.markerTop + 14), colours::accentBright);
        EXPECT_EQ (image.getPixelAt (11, 1), background);
        EXPECT_EQ (image.getPixelAt (11, 239), background);
        if (c.markerTop > 3)
            EXPECT_COLOUR_NEAR (image.getPixelAt (11, c.markerTop - 2), fill, 2);
        if (c.markerTop + 18 < 238)
            EXPECT_COLOUR_NEAR (image.getPixelAt (11, c.markerTop + 18), fill, 2);
    }

    // Centred at 0, with a white line through the marker's middle.
    const auto centred = paintBar (true, 0.0f);
    EXPECT_COLOUR_NEAR (centred.getPixelAt (11, 120), br::test::blend (colours::accentBright, juce::Colours::white, 0.7f * 255.0f), 2);
    EXPECT_EQ (centred.getPixelAt (11, 115), colours::accentBright);
}

TEST (ModMeterBar, MultipliesEveryAlphaBy03WhenInactive)
{
    const int k = alphaByte (0.3f);
    const auto unipolar = paintBar (false, 1.0f, false);
    const auto dimFill = br::test::blend (background, colours::accent, (float) k);
    EXPECT_COLOUR_NEAR (unipolar.getPixelAt (15, 150), dimFill, 2);
    EXPECT_COLOUR_NEAR (unipolar.getPixelAt (11, 5), br::test::blend (dimFill, colours::accentBright, (float) k), 2);

    const auto bipolar = paintBar (true, 0.0f, false);
    const auto fill = br::test::blend (background, colours::accent, (float) alphaByte (0.85f * 0.3f));
    EXPECT_COLOUR_NEAR (bipolar.getPixelAt (15, 60), fill, 2);
    EXPECT_COLOUR_NEAR (bipolar.getPixelAt (11, 115), br::test::blend (fill, colours::accentBright, (float) k), 2);

    // Frame: accent at 0.35, or 0.35 x 0.3, on the outermost column.
    EXPECT_COLOUR_NEAR (paintBar (false, 0.0f).getPixelAt (0, 120), br::test::blend (background, colours::accent, (float) alphaByte (0.35f)), 2);
    EXPECT_COLOUR_NEAR (unipolar.getPixelAt (0, 60), br::test::blend (background, colours::accent, (float) alphaByte (0.105f)), 2);
    EXPECT_EQ (unipolar.getPixelAt (1, 120), background);
}
