#include "ParameterHost.h"
#include "UiTestSupport.h"
#include "ui/Palette.h"
#include "ui/RotaryKnob.h"

#include <cmath>
#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;
using br::test::Mouse;
constexpr float pi = juce::MathConstants<float>::pi;

// 100 x 92: diameter 56, radius 28, middle (50, 34); the value arc runs at radius 25.5.
struct AttachedKnob
{
    AttachedKnob (const char* id, float value)
    {
        knob.setBounds (0, 0, 100, 92);
        host.setValue (id, value);
    }
    br::test::ParameterHost host;
    br::ui::RotaryKnob knob;
    std::unique_ptr<juce::AudioProcessorValueTreeState::SliderAttachment> attachment;
};

std::unique_ptr<AttachedKnob> knobOn (const char* id, float value)
{
    auto k = std::make_unique<AttachedKnob> (id, value);
    k->attachment = std::make_unique<juce::AudioProcessorValueTreeState::SliderAttachment> (k->host.state, id, k->knob);
    return k;
}

/** Brightest red channel within a pixel of the point at `radius` in direction `angle`. */
int brightnessAt (const juce::Image& image, float angle, float radius)
{
    const auto x = juce::roundToInt (50.0f + radius * std::sin (angle) - 0.5f);
    const auto y = juce::roundToInt (34.0f - radius * std::cos (angle) - 0.5f);
    int brightest = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            brightest = juce::jmax (brightest, (int) image.getPixelAt (x + dx, y + dy).getRed());
    return brightest;
}

bool lit (const juce::Image& image, float angle) { return brightnessAt (image, angle, 25.5f) > 170; }

/** Columns holding the label's glyphs, drawn on a transparent image. */
juce::Range<int> inkColumns (const juce::Image& image, juce::Rectangle<int> area)
{
    return br::test::inkColumns (image, area, [] (juce::Colour c) { return c.getAlpha() > 100; });
}
} // namespace

TEST (RotaryKnob, GrowsItsArcFromTheTopForCentredRangesAndFromTheStartOtherwise)
{
    struct Case
    {
        const char* what;
        const char* id;
        float value;
        std::vector<float> litAngles, darkAngles; // in units of pi, clockwise from 12 o'clock
    };
    const Case cases[] {
        { "centre +90: top to 2.375", "rotCenter", 90.0f, { 2.05f, 2.2f, 2.33f }, { 1.9f, 1.5f, 2.45f } },
        { "centre -90: 1.625 to top", "rotCenter", -90.0f, { 1.68f, 1.8f, 1.95f }, { 1.55f, 2.05f, 2.5f } },
        { "centre 0: no arc", "rotCenter", 0.0f, {}, { 1.9f, 2.1f, 1.4f, 2.6f } },
        { "range 90: start to 1.62", "rotRange", 90.0f, { 1.3f, 1.45f, 1.58f }, { 1.7f, 2.0f, 2.6f } },
        { "range 360: the whole scale", "rotRange", 360.0f, { 1.3f, 2.0f, 2.7f }, {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto k = knobOn (c.id, c.value);
        const auto image = br::test::paintComponent (k->knob);
        for (const auto a : c.litAngles)
            EXPECT_TRUE (lit (image, a * pi)) << "dark at " << a;
        for (const auto a : c.darkAngles)
            EXPECT_FALSE (lit (image, a * pi)) << "lit at " << a;
    }
}

TEST (RotaryKnob, PointsAtTheValueAndDimsTheArcWhenDisabled)
{
    juce::Component parent;
    auto k = knobOn ("rotRange", 360.0f);
    parent.addAndMakeVisible (k->knob);

    const auto enabled = br::test::paintComponent (k->knob);
    EXPECT_GT (brightnessAt (enabled, 2.75f * pi, 20.0f), 220) << "pointer at the end of the scale";
    EXPECT_LT (brightnessAt (enabled, 2.0f * pi, 20.0f), 120);

    parent.setEnabled (false);
    const auto disabled = br::test::paintComponent (k->knob);
    EXPECT_LT (brightnessAt (disabled, 2.0f * pi, 25.5f), 150);
    EXPECT_GT (brightnessAt (disabled, 2.0f * pi, 25.5f), 90);
    EXPECT_GT (brightnessAt (disabled, 2.75f * pi, 20.0f), 220) << "the pointer stays white";
}

TEST (RotaryKnob, MarksStartTopAndEndOfTheScale)
{
    auto k = knobOn ("rotCenter", 0.0f);
    const auto image = br::test::paintComponent (k->knob);
    // 3 x 3 dots 35 pixels out: the start at lower left, the end at lower right.
    EXPECT_COLOUR_NEAR (image.getPixelAt (25, 58), colours::textDim, 2);
    EXPECT_COLOUR_NEAR (image.getPixelAt (74, 58), colours::textDim, 2);
    EXPECT_EQ (image.getPixelAt (28, 58).getAlpha(), 0);
}

TEST (RotaryKnob, WritesItsEndLabelsBesideTheKnobFoot)
{
    auto k = knobOn ("rotCenter", 0.0f);
    k->knob.minLabel = "-180";
    k->knob.maxLabel = "180";
    const auto image = br::test::paintComponent (k->knob);

    // Right-aligned in (0, 69, 37, 14), left-aligned in (63, 69, 37, 14).
    const auto minInk = inkColumns (image, { 0, 69, 40, 14 });
    const auto maxInk = inkColumns (image, { 60, 69, 40, 14 });
    EXPECT_LE (minInk.getEnd(), 37);
    EXPECT_GE (minInk.getEnd(), 34);
    EXPECT_GE (maxInk.getStart(), 63);
    EXPECT_LE (maxInk.getStart(), 66);
}

TEST (RotaryKnob, ShowsTheParametersOwnText)
{
    auto k = knobOn ("rotCenter", 90.0f);
    br::ui::RotaryKnob reference;
    reference.setBounds (0, 0, 100, 92);
    reference.setRange (-180.0, 180.0);
    reference.setValue (90.0);
    reference.textFromValueFunction = [] (double) { return juce::String ("90"); };

    EXPECT_EQ (k->knob.getTextFromValue (k->knob.getValue()), juce::String ("90"));
    const auto a = br::test::paintComponent (k->knob);
    const auto b = br::test::paintComponent (reference);
    for (int y = 0; y < 92; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ (a.getPixelAt (x, y), b.getPixelAt (x, y)) << x << ", " << y;
}

TEST (RotaryKnob, TurnsRightOrUpBy220PixelsForTheWholeRange)
{
    struct Case
    {
        const char* what;
        float dx, dy;
        double expected;
    };
    const Case cases[] {
        { "right", 22.0f, 0.0f, 60.0 },
        { "up", 0.0f, -22.0f, 60.0 },
        { "half right, half up", 11.0f, -11.0f, 60.0 },
        { "left", -44.0f, 0.0f, 30.0 },
        { "stops at the end", 400.0f, 0.0f, 100.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        br::ui::RotaryKnob knob;
        knob.setBounds (0, 0, 100, 92);
        knob.setRange (0.0, 100.0);
        knob.setValue (50.0);
        Mouse mouse { knob };
        mouse.press ({ 50.0f, 34.0f });
        mouse.drag ({ 50.0f + c.dx, 34.0f + c.dy });
        mouse.release ({ 50.0f + c.dx, 34.0f + c.dy });
        EXPECT_NEAR (knob.getValue(), c.expected, 1.0e-9);
    }
}

TEST (RotaryKnob, ReturnsToItsDefaultOnDoubleClickOrModifiedClick)
{
    struct Case
    {
        const char* what;
        bool doubleClick;
        int mods;
    };
    const Case cases[] {
        { "double-click, no modifier", true, 0 },
        { "alt-click", false, juce::ModifierKeys::altModifier },
        { "command-click", false, juce::ModifierKeys::commandModifier },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto k = knobOn ("rotCenter", 120.0f);
        k->knob.defaultValue = 0.0;
        Mouse mouse { k->knob };
        if (c.doubleClick)
            mouse.doubleClick ({ 50.0f, 34.0f });
        else
        {
            mouse.press ({ 50.0f, 34.0f }, juce::ModifierKeys (c.mods));
            mouse.drag ({ 90.0f, 34.0f }, juce::ModifierKeys (c.mods));
            mouse.release ({ 90.0f, 34.0f }, juce::ModifierKeys (c.mods));
        }
        EXPECT_EQ (k->host.value ("rotCenter"), 0.0f);
    }
}

TEST (RotaryKnob, SweepsFromLowerLeftOverTheTopToLowerRight)
{
    br::ui::RotaryKnob knob;
    const auto rotary = knob.getRotaryParameters();
    EXPECT_FLOAT_EQ (rotary.startAngleRadians, 1.25f * pi);
    EXPECT_FLOAT_EQ (rotary.endAngleRadians, 2.75f * pi);
    EXPECT_TRUE (rotary.stopAtEnd);
    EXPECT_EQ (knob.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
    EXPECT_EQ (knob.getTextBoxPosition(), juce::Slider::NoTextBox);
}
