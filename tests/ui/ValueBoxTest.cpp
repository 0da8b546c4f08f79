#include "ParameterHost.h"
#include "UiTestSupport.h"
#include "ui/BRLookAndFeel.h"
#include "ui/Palette.h"
#include "ui/ValueBox.h"

#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;
using br::test::Mouse;

const auto alt = juce::ModifierKeys (juce::ModifierKeys::altModifier);
const auto command = juce::ModifierKeys (juce::ModifierKeys::commandModifier);

juce::Image drawBody (int width, int height, bool highlighted, bool enabled)
{
    juce::Image image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    br::ui::drawValueBox (g, { 0.0f, 0.0f, (float) width, (float) height }, highlighted, enabled);
    return image;
}

/** The body colour halfway down a box of height h at pixel row y. */
juce::Colour bodyAt (juce::Colour base, int y, int h)
{
    return base.brighter (0.08f).interpolatedWith (base.darker (0.15f), ((float) y + 0.5f) / (float) h);
}

struct Box
{
    Box()
    {
        box.setRange (0.0, 100.0);
        box.setValue (50.0, juce::dontSendNotification);
        box.setBounds (0, 0, 76, 27);
    }
    br::ui::ValueBox box;
    Mouse mouse { box };
};

void type (juce::TextEditor& field, const juce::String& text)
{
    for (auto c : text)
        field.keyPressed (juce::KeyPress (0, juce::ModifierKeys(), c));
}
} // namespace

TEST (ValueBoxBody, FillsAVerticalGradientAroundTheBaseColour)
{
    struct Case
    {
        const char* what;
        bool highlighted, enabled;
        juce::Colour base;
    };
    const Case cases[] {
        { "at rest", false, true, colours::box },
        { "under the mouse", true, true, colours::boxHover },
        { "disabled, even under the mouse", true, false, colours::box },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto image = drawBody (76, 28, c.highlighted, c.enabled);
        for (const int y : { 4, 14, 23 })
        {
            SCOPED_TRACE (y);
            EXPECT_COLOUR_NEAR (image.getPixelAt (38, y), bodyAt (c.base, y, 28), 2);
        }
        // Lighter at the top than at the bottom: a linear gradient, not a radial one.
        EXPECT_EQ (image.getPixelAt (10, 14), image.getPixelAt (60, 14));
    }
}

TEST (ValueBoxBody, DrawsASheenRowUnderADarkEdge)
{
    const auto enabled = drawBody (76, 28, false, true);
    const auto disabled = drawBody (76, 28, false, false);

    // Edge: black at 0x73 over the body on the outermost pixel row and column.
    EXPECT_COLOUR_NEAR (enabled.getPixelAt (38, 0), br::test::blend (bodyAt (colours::box, 0, 28), juce::Colours::black, 0x73), 2);
    EXPECT_COLOUR_NEAR (enabled.getPixelAt (0, 14), br::test::blend (bodyAt (colours::box, 14, 28), juce::Colours::black, 0x73), 2);
    EXPECT_EQ (enabled.getPixelAt (0, 0).getAlpha(), 0) << "rounded corner";

    // Sheen: row 1 from x 4 to x w - 5, white at 0x12, at 0x08 when disabled.
    EXPECT_COLOUR_NEAR (enabled.getPixelAt (38, 1), br::test::blend (bodyAt (colours::box, 1, 28), juce::Colours::white, 0x12), 2);
    EXPECT_COLOUR_NEAR (disabled.getPixelAt (38, 1), br::test::blend (bodyAt (colours::box, 1, 28), juce::Colours::white, 0x08), 2);
    for (int x = 0; x < 76; ++x)
        for (int y = 0; y < 28; ++y)
            if (enabled.getPixelAt (x, y) != disabled.getPixelAt (x, y))
                EXPECT_TRUE (y == 1 && x >= 4 && x < 72) << "sheen at " << x << ", " << y;
}

TEST (ValueBoxBody, LeavesOutTheSheenBelowEightPixelsWidth)
{
    struct Case
    {
        int width;
        bool sheen;
    };
    for (const auto& c : { Case { 8, false }, Case { 7, false }, Case { 9, true } })
    {
        SCOPED_TRACE (c.width);
        EXPECT_EQ (drawBody (c.width, 28, false, true).getPixelAt (4, 1) != drawBody (c.width, 28, false, false).getPixelAt (4, 1),
                   c.sheen);
    }
}

TEST (ValueBox, ShowsItsTextBrightWhenEnabledAndDimWhenDisabled)
{
    Box b;
    b.box.textFromValue = [] (double v) { return juce::String (v, 2); };
    const auto enabled = br::test::paintComponent (b.box);
    b.box.setEnabled (false);
    const auto disabled = br::test::paintComponent (b.box);

    const juce::Rectangle<int> textArea (10, 4, 56, 19);
    EXPECT_NEAR (br::test::brightestRed (enabled, textArea), colours::boxText.getRed(), 10);
    EXPECT_NEAR (br::test::brightestRed (disabled, textArea), br::test::blend (bodyAt (colours::box, 13, 27), colours::textDim, 0xBF).getRed(), 10);
}

TEST (ValueBox, PaintsTheDisplayTextInsteadOfTheValueWhenItHasOne)
{
    Box shown, reference;
    shown.box.textFromValue = [] (double v) { return juce::String (v, 2); };
    shown.box.displayText = [] { return juce::String ("120.00"); };
    reference.box.textFromValue = [] (double) { return juce::String ("120.00"); };

    const auto same = [] (const juce::Image& a, const juce::Image& c)
    {
        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != c.getPixelAt (x, y))
                    return false;
        return true;
    };
    EXPECT_TRUE (same (br::test::paintComponent (shown.box), br::test::paintComponent (reference.box)));

    // An empty display text falls back to the formatted value.
    shown.box.displayText = [] { return juce::String(); };
    reference.box.textFromValue = [] (double v) { return juce::String (v, 2); };
    EXPECT_TRUE (same (br::test::paintComponent (shown.box), br::test::paintComponent (reference.box)));
    reference.box.textFromValue = nullptr;
    EXPECT_FALSE (same (br::test::paintComponent (shown.box), br::test::paintComponent (reference.box)))
        << "without a formatter the slider's own text is used";
}

TEST (ValueBox, RisesWhenDraggedUpAt250PixelsForTheWholeRange)
{
    struct Case
    {
        const char* what;
        float dx, dy;
        double expected;
    };
    const Case cases[] {
        { "25 up", 0.0f, -25.0f, 60.0 },
        { "50 down", 0.0f, 50.0f, 30.0 },
        { "past the top", 0.0f, -300.0f, 100.0 },
        { "sideways only", 60.0f, 0.0f, 50.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Box b;
        b.mouse.press ({ 38.0f, 13.0f });
        b.mouse.drag ({ 38.0f + c.dx, 13.0f + c.dy });
        b.mouse.release ({ 38.0f + c.dx, 13.0f + c.dy });
        EXPECT_NEAR (b.box.getValue(), c.expected, 1.0e-9);
    }
}

TEST (ValueBox, SetsItsDefaultOnAModifiedClickWithoutStartingADrag)
{
    for (const auto& mods : { alt, command })
    {
        SCOPED_TRACE (mods.isAltDown() ? "alt" : "command");
        Box b;
        b.box.defaultValue = 20.0;

        // A plain drag first, so the slider is left holding an old drag start.
        b.mouse.press ({ 38.0f, 13.0f });
        b.mouse.drag ({ 38.0f, -12.0f });
        b.mouse.release ({ 38.0f, -12.0f });
        ASSERT_NEAR (b.box.getValue(), 60.0, 1.0e-9);

        b.mouse.press ({ 38.0f, 13.0f }, mods);
        EXPECT_EQ (b.box.getValue(), 20.0);
        b.mouse.drag ({ 38.0f, -40.0f }, mods);
        b.mouse.release ({ 38.0f, -40.0f }, mods);
        EXPECT_EQ (b.box.getValue(), 20.0) << "the reset click dragged";
    }
}

TEST (ValueBox, SetsTheDefaultThroughAnAttachedParameter)
{
    br::test::ParameterHost host;
    br::ui::ValueBox box;
    box.setBounds (0, 0, 95, 29);
    juce::AudioProcessorValueTreeState::SliderAttachment attachment (host.state, "gain", box);
    host.setValue ("gain", 6.5f);
    box.defaultValue = 0.0;

    Mouse mouse { box };
    mouse.click ({ 40.0f, 14.0f }, alt);
    EXPECT_EQ (host.value ("gain"), 0.0f);
}

TEST (ValueBox, IgnoresModifiedClicksAndDoubleClicksWhenDisabled)
{
    juce::Component parent;
    Box b;
    parent.addAndMakeVisible (b.box);
    b.box.defaultValue = 20.0;
    parent.setEnabled (false);

    b.mouse.click ({ 38.0f, 13.0f }, alt);
    EXPECT_EQ (b.box.getValue(), 50.0);
    b.mouse.doubleClick ({ 38.0f, 13.0f });
    EXPECT_FALSE (b.box.isEditing());
}

TEST (ValueBoxEntry, StartsFromTheFormattedValueNotTheDisplayText)
{
    Box b;
    b.box.textFromValue = [] (double v) { return juce::String (v, 1) + " %"; };
    b.box.displayText = [] { return juce::String ("tempo"); };
    b.mouse.doubleClick ({ 38.0f, 13.0f });

    ASSERT_TRUE (b.box.isEditing());
    auto* field = b.box.getEditor();
    EXPECT_EQ (field->getText(), juce::String ("50.0 %"));
    EXPECT_EQ (field->getBounds(), b.box.getLocalBounds());
    EXPECT_EQ (field->getHighlightedRegion(), juce::Range<int> (0, 6)) << "all text selected";
    EXPECT_EQ (field->getParentComponent(), &b.box);
}

TEST (ValueBoxEntry, CommitsOnReturnCancelsOnEscapeAndKeepsTheValueForBlankText)
{
    struct Case
    {
        const char* what;
        const char* typed;
        int key;
        double expected;
    };
    const Case cases[] {
        { "Return commits", "72.5", juce::KeyPress::returnKey, 72.5 },
        { "Escape cancels typed text", "72.5", juce::KeyPress::escapeKey, 50.0 },
        { "blank text keeps the value", "   ", juce::KeyPress::returnKey, 50.0 },
        { "out of range is clamped", "250", juce::KeyPress::returnKey, 100.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Box b;
        b.box.valueFromText = [] (const juce::String& t) { return t.getDoubleValue(); };
        b.mouse.doubleClick ({ 38.0f, 13.0f });
        auto* field = b.box.getEditor();
        ASSERT_NE (field, nullptr);

        type (*field, c.typed); // replaces the selected start text
        field->keyPressed (juce::KeyPress (c.key));
        ASSERT_TRUE (br::test::pumpUntil ([&] { return ! b.box.isEditing(); }));
        EXPECT_EQ (b.box.getValue(), c.expected);
    }
}

TEST (ValueBoxEntry, IgnoresAFocusLossAfterEscape)
{
    Box b;
    b.mouse.doubleClick ({ 38.0f, 13.0f });
    auto* field = b.box.getEditor();
    ASSERT_NE (field, nullptr);
    type (*field, "10");
    field->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    br::test::pumpUntil ([&] { return ! b.box.isEditing(); });
    EXPECT_EQ (b.box.getValue(), 50.0);

    // Same, but the field loses the focus before its deletion has run.
    b.mouse.doubleClick ({ 38.0f, 13.0f });
    field = b.box.getEditor();
    type (*field, "10");
    b.box.getEditor()->onEscapeKey();
    field->onFocusLost();
    br::test::pumpUntil ([&] { return ! b.box.isEditing(); });
    EXPECT_EQ (b.box.getValue(), 50.0);
}

TEST (ValueBoxEntry, KeepsANewFieldOpenedBeforeTheOldOneWasDeleted)
{
    Box b;
    b.mouse.doubleClick ({ 38.0f, 13.0f });
    type (*b.box.getEditor(), "30");
    b.box.getEditor()->onReturnKey(); // the field's deletion is now posted
    EXPECT_EQ (b.box.getValue(), 30.0);

    b.mouse.doubleClick ({ 38.0f, 13.0f }); // reopened before the message loop ran
    auto* second = b.box.getEditor();
    ASSERT_NE (second, nullptr);
    EXPECT_EQ (second->getText(), b.box.getTextFromValue (30.0));
    br::test::pumpPending();
    EXPECT_EQ (b.box.getEditor(), second) << "the old field's deletion took the new one";
}

TEST (ValueBoxEntry, SurvivesTheBoxBeingDeletedWhileTheFieldCloses)
{
    auto b = std::make_unique<Box>();
    b->mouse.doubleClick ({ 38.0f, 13.0f });
    b->box.getEditor()->onReturnKey();
    b.reset();
    br::test::pumpPending(); // the posted deletion finds no box and does nothing
    SUCCEED();
}

class ValueBoxEntryOnDisplay : public OnDisplay
{
};

TEST_F (ValueBoxEntryOnDisplay, TakesKeyboardFocusAndCommitsOnAPressElsewhereInTheWindow)
{
    // A press reaches the window the way the platform delivers it, onto a part of the
    // panel that takes no keyboard focus, as almost nothing in the editor does.
    br::ui::BRLookAndFeel lookAndFeel;
    juce::Component window;
    window.setLookAndFeel (&lookAndFeel);
    window.setBounds (100, 100, 200, 80);
    Box b;
    juce::Component background;
    window.addAndMakeVisible (background);
    background.setBounds (0, 0, 200, 80);
    window.addAndMakeVisible (b.box);
    window.addToDesktop (0);
    window.setVisible (true);
    window.toFront (true);

    const auto pressAt = [&] (juce::Point<float> at)
    {
        auto* peer = window.getPeer();
        const auto time = juce::Time::currentTimeMillis();
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at,
                                juce::ModifierKeys::leftButtonModifier, juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, time);
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at, {},
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                time + 50);
    };

    b.mouse.doubleClick ({ 38.0f, 13.0f });
    auto* field = b.box.getEditor();
    ASSERT_NE (field, nullptr);
    ASSERT_TRUE (br::test::pumpUntil ([&] { return field->hasKeyboardFocus (false); }));
    EXPECT_EQ (field->findColour (juce::TextEditor::backgroundColourId), colours::track);

    type (*field, "12");
    pressAt ({ 30.0f, 13.0f }); // inside the field: keeps typing
    EXPECT_TRUE (b.box.isEditing());
    EXPECT_EQ (b.box.getValue(), 50.0);

    pressAt ({ 150.0f, 60.0f });
    EXPECT_EQ (b.box.getValue(), 12.0) << "committed on the press";
    ASSERT_TRUE (br::test::pumpUntil ([&] { return ! b.box.isEditing(); }));

    window.removeFromDesktop();
    window.setLookAndFeel (nullptr);
}
