#include "UiTestSupport.h"
#include "ui/LevelMeter.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
namespace colours = br::ui::colours;
using br::ui::LevelMeter;

const juce::Colour frame (0xff3a404a);
const juce::Colour trough (0xff1b2029);
const juce::Colour warning (0xffff5a4a);

// 110 x 200: bars 160 high; the left bar's trough spans x 25-32, y 3-156.
juce::Image paintMeter (float leftLevel, float leftPeak = 0.0f)
{
    LevelMeter meter;
    meter.setBounds (0, 0, 110, 200);
    meter.level = { leftLevel, 0.0f };
    meter.peakHold = { leftPeak, 0.0f };
    return br::test::paintComponent (meter);
}

juce::Colour barColourAt (int y) { return colours::accentBright.interpolatedWith (colours::accent, ((float) y + 0.5f) / 160.0f); }

bool readoutHas (const juce::Image& image, int left, const std::function<bool (juce::Colour)>& test)
{
    for (int y = 180; y < 200; ++y)
        for (int x = left; x < left + 44; ++x)
            if (test (image.getPixelAt (x, y)))
                return true;
    return false;
}
} // namespace

TEST (LevelMeter, MapsAmplitudeToDecibelsBetweenMinus60AndPlus6)
{
    struct Case
    {
        const char* what;
        float amplitude;
        float fraction;
        const char* text;
    };
    const Case cases[] {
        { "silence", 0.0f, 0.0f, "-Inf" },
        { "at the silence limit", 1.0e-6f, 0.0f, "-Inf" },
        { "just above it, held at -100 dB", 1.1e-6f, 0.0f, "-100.0" },
        { "-60 dB is empty", 0.001f, 0.0f, "-60.0" },
        { "-20 dB", 0.1f, 40.0f / 66.0f, "-20.0" },
        { "full scale", 1.0f, 60.0f / 66.0f, "0.0" },
        { "+6 dB fills the bar", 2.0f, 1.0f, "6.0" },
        { "+12 dB stays full", 4.0f, 1.0f, "12.0" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_NEAR (LevelMeter::barFraction (c.amplitude), c.fraction, 1.0e-5f);
        EXPECT_EQ (LevelMeter::readoutText (c.amplitude), juce::String (c.text));
    }
}

TEST (LevelMeter, FillsTheBarFromTheBottomOfTheTrough)
{
    struct Case
    {
        const char* what;
        float level;
        int firstFilledRow; // -1: no fill at all
    };
    const Case cases[] {
        { "at the silence limit", 1.0e-6f, -1 },
        { "full scale, 140 of 154 pixels", 1.0f, 17 },
        { "+6 dB, all 154", 2.0f, 3 },
        { "-20 dB, 93.3 pixels", 0.1f, 64 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto image = paintMeter (c.level);
        EXPECT_EQ (image.getPixelAt (23, 80), frame);
        EXPECT_EQ (image.getPixelAt (35, 80), frame);
        EXPECT_EQ (image.getPixelAt (28, 1), frame);
        EXPECT_EQ (image.getPixelAt (28, 158), frame);

        if (c.firstFilledRow < 0)
        {
            EXPECT_EQ (image.getPixelAt (28, 156), trough);
            continue;
        }
        EXPECT_COLOUR_NEAR (image.getPixelAt (28, c.firstFilledRow), barColourAt (c.firstFilledRow), 2);
        EXPECT_COLOUR_NEAR (image.getPixelAt (28, 156), barColourAt (156), 2);
        if (c.firstFilledRow > 3)
            EXPECT_NE (image.getPixelAt (28, c.firstFilledRow - 2), image.getPixelAt (28, c.firstFilledRow));
        EXPECT_EQ (image.getPixelAt (28, 157), frame) << "the fill stops at the trough's bottom";
    }

    // The right bar is 52 pixels further right and fed by the second entries.
    LevelMeter meter;
    meter.setBounds (0, 0, 110, 200);
    meter.level = { 0.0f, 1.0f };
    const auto image = br::test::paintComponent (meter);
    EXPECT_EQ (image.getPixelAt (28, 100), trough);
    EXPECT_COLOUR_NEAR (image.getPixelAt (80, 100), barColourAt (100), 2);
}

TEST (LevelMeter, DrawsScaleMarksAt0Minus6Minus12Minus24AndMinus48dB)
{
    const auto image = paintMeter (0.0f);
    for (const int y : { 14, 29, 43, 72, 130 })
    {
        SCOPED_TRACE (y);
        EXPECT_NEAR (image.getPixelAt (55, y).getAlpha(), 0x80, 1);
        EXPECT_EQ (image.getPixelAt (55, y + 1).getAlpha(), 0);
        EXPECT_NEAR (image.getPixelAt (42, y).getAlpha(), 0x80, 1);
        EXPECT_EQ (image.getPixelAt (68, y).getAlpha(), 0) << "26 wide from x 42";
    }
}

TEST (LevelMeter, ShowsOverloadedPeaksInTheWarningColour)
{
    struct Case
    {
        const char* what;
        float peak;
        bool warns;
    };
    const Case cases[] { { "+6 dB", 2.0f, true }, { "just over full scale", 1.0001f, true }, { "full scale", 1.0f, false },
                         { "nothing yet", 0.0f, false } };

    const auto isWarning = [] (juce::Colour c) { return br::test::colourDistance (c, warning) < 30; };
    const auto isText = [] (juce::Colour c) { return br::test::colourDistance (c, colours::text) < 30; };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto image = paintMeter (0.0f, c.peak);
        EXPECT_EQ (readoutHas (image, 7, isWarning), c.warns);
        EXPECT_EQ (readoutHas (image, 7, isText), ! c.warns);
        EXPECT_FALSE (readoutHas (image, 59, isWarning)) << "the right readout has its own peak";
        EXPECT_EQ (image.getPixelAt (9, 182), juce::Colour (0xff121720)) << "readout box";
    }
}

TEST (LevelMeter, ClearsBothPeakHoldsOnAnyClick)
{
    struct Case
    {
        const char* what;
        int mods;
    };
    const Case cases[] {
        { "left button", juce::ModifierKeys::leftButtonModifier },
        { "right button", juce::ModifierKeys::rightButtonModifier },
        { "middle button", juce::ModifierKeys::middleButtonModifier },
        { "alt-click", juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::altModifier },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        LevelMeter meter;
        meter.setBounds (0, 0, 110, 200);
        meter.level = { 0.5f, 0.5f };
        meter.peakHold = { 1.5f, 0.3f };
        br::test::Mouse { meter }.press ({ 20.0f, 190.0f }, juce::ModifierKeys (c.mods));
        EXPECT_EQ (meter.peakHold[0], 0.0f);
        EXPECT_EQ (meter.peakHold[1], 0.0f);
        EXPECT_EQ (meter.level[0], 0.5f) << "the bars are the owner's";
    }
}

TEST (LevelMeter, NewReadingsRedrawEveryPixelTheyChangeAndLittleElse)
{
    using Pair = std::array<float, 2>;
    struct Case
    {
        const char* what;
        Pair fromLevel, fromPeak, toLevel, toPeak;
        int barRows; // the most rows redrawn per bar; 0: the bars are left alone, -1: any
        bool readout; // whether a readout is redrawn
    };
    // One tick of a 10 dB fade over 6 s moves a bar by about a tenth of a pixel.
    const auto slowStep = std::pow (10.0f, -10.0f / 180.0f / 20.0f);
    const Case cases[] {
        { "slow fade, one tick", { 0.1f, 0.2f }, { 0.3f, 0.3f }, { 0.1f * slowStep, 0.2f * slowStep }, { 0.3f, 0.3f }, 2, false },
        { "slow fade of a centred tone", { 0.1f, 0.1f }, { 0.3f, 0.3f }, { 0.1f * slowStep, 0.1f * slowStep }, { 0.3f, 0.3f }, 2, false },
        { "falls a lot", { 0.9f, 0.9f }, { 0.9f, 0.9f }, { 0.05f, 0.9f }, { 0.9f, 0.9f }, -1, false },
        { "falls silent", { 0.01f, 0.0f }, { 0.5f, 0.0f }, { 0.0f, 0.0f }, { 0.5f, 0.0f }, -1, false },
        { "a peak arrives", { 0.0f, 0.0f }, { 0.0f, 0.0f }, { 0.5f, 0.25f }, { 0.5f, 0.25f }, -1, true },
        { "the readout changes", { 0.5f, 0.5f }, { 0.5f, 0.5f }, { 0.5f, 0.5f }, { 0.6f, 0.5f }, 0, true },
        { "over full scale by a hair", { 1.0f, 0.0f }, { 1.0f, 0.0f }, { 1.0f, 0.0f }, { 1.00001f, 0.0f }, 0, true },
        { "nothing changes", { 0.3f, 0.3f }, { 0.4f, 0.4f }, { 0.3f, 0.3f }, { 0.4f, 0.4f }, 0, false },
        { "silent stays silent", { 1.0e-7f, 0.0f }, { 0.0f, 0.0f }, { 0.0f, 1.0e-7f }, { 0.0f, 0.0f }, 0, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        LevelMeter meter;
        meter.setBounds (0, 0, 110, 200);
        meter.level = c.fromLevel;
        meter.peakHold = c.fromPeak;
        const auto before = br::test::paintComponent (meter);
        const auto area = meter.areaChangedBy (c.toLevel, c.toPeak);
        meter.setReadings (c.toLevel, c.toPeak);
        EXPECT_EQ (meter.level, c.toLevel);
        EXPECT_EQ (meter.peakHold, c.toPeak);
        const auto after = br::test::paintComponent (meter);

        bool changed = false;
        for (int y = 0; y < before.getHeight(); ++y)
            for (int x = 0; x < before.getWidth(); ++x)
                if (before.getPixelAt (x, y) != after.getPixelAt (x, y))
                {
                    changed = true;
                    ASSERT_TRUE (area.containsPoint ({ x, y })) << x << "," << y << " outside " << area.getBounds().toString();
                }
        EXPECT_EQ (changed, c.barRows != 0 || c.readout) << "the case moves what it says";

        auto bars = area;
        bars.clipTo (juce::Rectangle<int> (0, 0, 110, 160));
        auto readouts = area;
        readouts.clipTo (juce::Rectangle<int> (0, 160, 110, 40));
        EXPECT_EQ (bars.isEmpty(), c.barRows == 0) << bars.getBounds().toString();
        EXPECT_EQ (readouts.isEmpty(), ! c.readout) << readouts.getBounds().toString();
        for (const auto& r : bars)
            if (c.barRows > 0)
                EXPECT_LE (r.getHeight(), c.barRows) << r.toString();
    }
}
