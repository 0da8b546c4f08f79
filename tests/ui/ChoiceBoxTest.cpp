#include "ParameterHost.h"
#include "UiTestSupport.h"
#include "ui/ChoiceBox.h"
#include "ui/ListMenuLookAndFeel.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace
{
namespace colours = br::ui::colours;
using br::test::Mouse;
using Mode = br::ui::ChoiceBox::Mode;

const auto shift = juce::ModifierKeys (juce::ModifierKeys::shiftModifier);

struct Boxed
{
    explicit Boxed (const char* id, Mode mode = Mode::step, int width = 96, int height = 29)
        : box (host.parameter (id), mode, &host.undoManager), parameterId (id)
    {
        box.setBounds (0, 0, width, height);
    }

    float value() { return host.value (parameterId); }

    br::test::ParameterHost host;
    br::ui::ChoiceBox box;
    const char* parameterId;
    Mouse mouse { box };
};

juce::Colour bodyAt (juce::Colour base, int y, int h)
{
    return base.brighter (0.08f).interpolatedWith (base.darker (0.15f), ((float) y + 0.5f) / (float) h);
}

/** Left and right ink columns from `fromX` on: pixels clearly brighter than the body. */
juce::Range<int> inkColumns (const juce::Image& image, int fromX)
{
    return br::test::inkColumns (image, { fromX, 3, image.getWidth() - fromX, image.getHeight() - 6 },
                                 [] (juce::Colour c) { return c.getRed() > 120; });
}

/** Closest colour to `target` within one pixel of (x, y): thin strokes rarely cover a
    whole pixel. */
int nearestDistance (const juce::Image& image, int x, int y, juce::Colour target)
{
    int best = 255;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            best = juce::jmin (best, br::test::colourDistance (image.getPixelAt (x + dx, y + dy), target));
    return best;
}

bool samePixels (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;
    return true;
}
} // namespace

TEST (ChoiceBox, StepsOnClickAndBackOnShiftClickWrappingAtTheEnds)
{
    struct Case
    {
        const char* what;
        int start;
        bool back;
        int expected;
    };
    const Case cases[] {
        { "last wraps to first", 4, false, 0 },
        { "first wraps back to last", 0, true, 4 },
        { "forward", 2, false, 3 },
        { "back", 2, true, 1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Boxed b ("waveform");
        b.host.setValue ("waveform", (float) c.start);
        ASSERT_EQ (b.box.getIndex(), c.start);

        b.mouse.click ({ 40.0f, 14.0f }, c.back ? shift : juce::ModifierKeys());
        EXPECT_EQ (b.value(), (float) c.expected);
        EXPECT_EQ (b.box.getIndex(), c.expected);
    }
}

TEST (ChoiceBox, DoesNothingWhenReleasedOutside)
{
    for (const auto& at : { juce::Point<float> (-3.0f, 14.0f), juce::Point<float> (96.0f, 14.0f),
                            juce::Point<float> (40.0f, 29.0f), juce::Point<float> (40.0f, -2.0f) })
    {
        SCOPED_TRACE (at.toString());
        Boxed b ("xFactor");
        b.mouse.press ({ 40.0f, 14.0f });
        b.mouse.drag (at);
        b.mouse.release (at);
        EXPECT_EQ (b.value(), 3.0f);
    }
}

TEST (ChoiceBox, MakesEachStepOneUndoableGesture)
{
    Boxed b ("amPhase");
    // The parameter tree records changes in the undo history from its own timer.
    const auto recorded = [&b] (float v)
    {
        return br::test::pumpUntil ([&] { return (float) b.host.state.state.getChildWithProperty ("id", "amPhase")
                                                      .getProperty ("value") == v; });
    };
    b.mouse.click ({ 20.0f, 14.0f });
    ASSERT_TRUE (recorded (1.0f));
    b.mouse.click ({ 20.0f, 14.0f });
    ASSERT_TRUE (recorded (2.0f));
    EXPECT_EQ (b.value(), 2.0f);

    b.host.undoManager.undo();
    EXPECT_EQ (b.value(), 1.0f);
    EXPECT_EQ (b.box.getIndex(), 1);
}

TEST (ChoiceBox, FollowsTheParameterWhoeverChangesIt)
{
    Boxed b ("xFactor");
    EXPECT_EQ (b.box.getIndex(), 3) << "initial value at construction";
    EXPECT_EQ (b.box.getNumChoices(), 16);
    b.host.setValue ("xFactor", 15.0f);
    EXPECT_EQ (b.box.getIndex(), 15);
    EXPECT_EQ (b.box.choiceName (b.box.getIndex()), juce::String ("x100.00"));
}

TEST (ChoiceBox, IgnoresPressesWhenDisabled)
{
    juce::Component parent;
    Boxed b ("sync");
    parent.addAndMakeVisible (b.box);
    parent.setEnabled (false);
    b.mouse.click ({ 40.0f, 14.0f });
    EXPECT_EQ (b.value(), 0.0f);
}

TEST (ChoiceBox, OffersOffAndOnForAParameterThatIsNotAChoice)
{
    Boxed b ("amOn");
    EXPECT_EQ (b.box.getNumChoices(), 2);
    EXPECT_EQ (b.box.choiceName (0), juce::String ("Off"));
    EXPECT_EQ (b.box.choiceName (1), juce::String ("On"));
    EXPECT_EQ (b.box.getIndex(), 1);

    b.mouse.click ({ 40.0f, 14.0f });
    EXPECT_EQ (b.value(), 0.0f);
}

TEST (ChoiceBox, NamesChoicesFromLabelsFirst)
{
    Boxed b ("sync");
    EXPECT_EQ (b.box.choiceName (1), juce::String ("Auto"));
    b.box.labels = { "Free" };
    EXPECT_EQ (b.box.choiceName (0), juce::String ("Free"));
    EXPECT_EQ (b.box.choiceName (1), juce::String ("Auto")) << "no label for it: the parameter's name";
    EXPECT_EQ (b.box.choiceName (7), juce::String());
}

TEST (ChoiceBox, DrawsTheArrowColumnAndGrooveAtTheLeft)
{
    Boxed b ("xFactor");
    b.box.showArrow = true;
    const auto image = br::test::paintComponent (b.box);

    // Arrow: a triangle pointing down, centred at x 13 (a / 2 + 2 with a = 22).
    EXPECT_COLOUR_NEAR (image.getPixelAt (13, 14), colours::text, 1);
    EXPECT_COLOUR_NEAR (image.getPixelAt (13, 19), bodyAt (colours::box, 19, 29), 2) << "below the tip";
    EXPECT_COLOUR_NEAR (image.getPixelAt (6, 12), bodyAt (colours::box, 12, 29), 2) << "left of the base";

    // Groove at x 22 and 23 from y 5 to h - 5.
    EXPECT_COLOUR_NEAR (image.getPixelAt (22, 14), br::test::blend (bodyAt (colours::box, 14, 29), juce::Colours::black, 0x80), 2);
    EXPECT_COLOUR_NEAR (image.getPixelAt (23, 14), br::test::blend (bodyAt (colours::box, 14, 29), juce::Colours::white, 0x14), 2);
    EXPECT_COLOUR_NEAR (image.getPixelAt (22, 4), bodyAt (colours::box, 4, 29), 2);
    EXPECT_COLOUR_NEAR (image.getPixelAt (22, 24), bodyAt (colours::box, 24, 29), 2);

    // The name is centred in what is right of the column.
    const auto ink = inkColumns (image, 24);
    EXPECT_GT (ink.getStart(), 24);
    EXPECT_NEAR ((ink.getStart() + ink.getEnd()) / 2.0, 22 + 74 / 2.0, 2.0);

    b.box.showArrow = false;
    const auto plain = inkColumns (br::test::paintComponent (b.box), 0);
    EXPECT_NEAR ((plain.getStart() + plain.getEnd()) / 2.0, 48.0, 2.0);
}

TEST (ChoiceBox, GivesANarrowBoxWithAnArrowNoRoomForText)
{
    Boxed named ("xFactor", Mode::step, 20, 29), blank ("xFactor", Mode::step, 20, 29);
    named.box.showArrow = blank.box.showArrow = true;
    blank.box.labels = { "", "", "", "" };
    EXPECT_TRUE (samePixels (br::test::paintComponent (named.box), br::test::paintComponent (blank.box)));
    EXPECT_COLOUR_NEAR (br::test::paintComponent (named.box).getPixelAt (12, 14), colours::text, 1)
        << "the arrow centres in the whole width";
}

TEST (ChoiceBox, DimsItsTextWhenDisabled)
{
    juce::Component parent;
    Boxed b ("sync");
    parent.addAndMakeVisible (b.box);
    EXPECT_NEAR (br::test::brightestRed (br::test::paintComponent (b.box), b.box.getLocalBounds()), colours::boxText.getRed(), 8);
    parent.setEnabled (false);
    EXPECT_NEAR (br::test::brightestRed (br::test::paintComponent (b.box), b.box.getLocalBounds()), colours::textDim.getRed(), 8);
}

TEST (ChoiceBox, DrawsTheWaveformOnAnAccentBodyWithAZeroLine)
{
    Boxed b ("waveform", Mode::menu, 96, 34);
    b.box.showArrow = true;
    b.box.showWaveform = true;
    const auto image = br::test::paintComponent (b.box);

    const auto top = colours::accentDark.brighter (0.1f);
    const auto body = [top] (int y) { return top.interpolatedWith (juce::Colour (0xff0d1d3d), ((float) y + 0.5f) / 34.0f); };

    EXPECT_COLOUR_NEAR (image.getPixelAt (60, 0), colours::accent, 1) << "outline";
    EXPECT_COLOUR_NEAR (image.getPixelAt (95, 17), colours::accent, 1) << "outline";
    EXPECT_COLOUR_NEAR (image.getPixelAt (60, 30), body (30), 3);
    EXPECT_COLOUR_NEAR (image.getPixelAt (28, 4), body (4), 3);

    // Icon area (30, 8, 58, 18): zero line on row 17, the sine's first crest at x 37, y 8.
    EXPECT_COLOUR_NEAR (image.getPixelAt (37, 17), br::test::blend (body (17), colours::accentBright, 0x59), 3);
    EXPECT_COLOUR_NEAR (image.getPixelAt (37, 16), body (16), 3);
    EXPECT_LE (nearestDistance (image, 37, 8, colours::accentBright), 16) << "the sine's crest";
    EXPECT_LE (nearestDistance (image, 52, 26, colours::accentBright), 16) << "the sine's trough";

    // A different shape draws a different picture.
    b.host.setValue ("waveform", 0.0f);
    EXPECT_FALSE (samePixels (image, br::test::paintComponent (b.box)));
}

TEST (WaveformPath, DrawsTwoCyclesOf96SegmentsUpwardsPositive)
{
    struct Case
    {
        const char* what;
        int shape;
        float start, quarter, half, threeQuarters;
    };
    // Area (10, 20, 96, 40): centre line 40, +1 at 20, -1 at 60; one cycle per 48 pixels.
    const Case cases[] {
        { "square starts at its top", 0, 20.0f, 20.0f, 60.0f, 60.0f },
        { "triangle", 1, 40.0f, 20.0f, 40.0f, 60.0f },
        { "saw up", 2, 40.0f, 30.0f, 60.0f, 50.0f },
        { "saw down", 3, 40.0f, 50.0f, 20.0f, 30.0f },
        { "sine", 4, 40.0f, 20.0f, 40.0f, 60.0f },
        { "unknown shape draws the sine", 9, 40.0f, 20.0f, 40.0f, 60.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto path = br::ui::waveformPath (c.shape, { 10.0f, 20.0f, 96.0f, 40.0f });

        std::vector<juce::Point<float>> points;
        int subPaths = 0;
        bool closed = false;
        for (juce::Path::Iterator it (path); it.next();)
        {
            if (it.elementType == juce::Path::Iterator::startNewSubPath)
                ++subPaths;
            if (it.elementType == juce::Path::Iterator::closePath)
                closed = true;
            else
                points.push_back ({ it.x1, it.y1 });
        }

        ASSERT_EQ (points.size(), 97u);
        EXPECT_EQ (subPaths, 1);
        EXPECT_FALSE (closed);
        EXPECT_NEAR (points[0].x, 10.0f, 1.0e-4f);
        EXPECT_NEAR (points[0].y, c.start, 1.0e-4f);
        for (const int cycle : { 0, 48 })
        {
            SCOPED_TRACE (cycle);
            EXPECT_NEAR (points[(size_t) cycle + 12].y, c.quarter, 1.0e-4f);
            EXPECT_NEAR (points[(size_t) cycle + 24].y, c.half, 1.0e-4f);
            EXPECT_NEAR (points[(size_t) cycle + 36].y, c.threeQuarters, 1.0e-4f);
        }
        EXPECT_NEAR (points[96].x, 106.0f, 1.0e-4f);
        EXPECT_NEAR (points[37].x - points[36].x, 1.0f, 1.0e-4f);
    }
}

namespace
{
class ChoiceBoxOnDisplay : public OnDisplay
{
protected:
    void SetUp() override
    {
        OnDisplay::SetUp();
        window.setBounds (20, 20, 300, 100);
        window.addToDesktop (0);
        window.setVisible (true);
    }

    void TearDown() override
    {
        juce::PopupMenu::dismissAllActiveMenus();
        br::test::pumpUntil ([] { return ! menuOpen(); });
        window.removeFromDesktop();
    }

    static bool menuOpen() { return juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; }

    /** Picks list entry `item` with the keyboard, as a user could. */
    static void chooseFromMenu (int item)
    {
        auto* menu = juce::Component::getCurrentlyModalComponent();
        ASSERT_NE (menu, nullptr);
        for (int i = 0; i <= item; ++i)
            menu->keyPressed (juce::KeyPress (juce::KeyPress::downKey));
        menu->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    }

    void place (br::ui::ChoiceBox& box) { window.addAndMakeVisible (box); }

    juce::Component window;
};
} // namespace

TEST_F (ChoiceBoxOnDisplay, OpensTheListAfterAHoldAndDoesNotStepOnRelease)
{
    Boxed b ("xFactor");
    place (b.box);

    b.mouse.press ({ 40.0f, 14.0f });
    ASSERT_TRUE (br::test::pumpUntil (menuOpen)) << "the 450 ms hold did not open the list";
    b.mouse.release ({ 40.0f, 14.0f });
    EXPECT_EQ (b.value(), 3.0f) << "the release after the hold stepped";

    chooseFromMenu (10);
    ASSERT_TRUE (br::test::pumpUntil ([&] { return b.box.getIndex() == 10; }));
    EXPECT_EQ (b.value(), 10.0f);
}

TEST_F (ChoiceBoxOnDisplay, OpensTheListAtOnceOnARightClick)
{
    Boxed b ("amPhase");
    place (b.box);

    b.mouse.press ({ 20.0f, 14.0f }, juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier));
    EXPECT_TRUE (menuOpen());
    b.mouse.release ({ 20.0f, 14.0f });
    EXPECT_EQ (b.value(), 0.0f);

    juce::PopupMenu::dismissAllActiveMenus();
    ASSERT_TRUE (br::test::pumpUntil ([] { return ! menuOpen(); }));
    EXPECT_EQ (b.value(), 0.0f) << "a dismissed list changes nothing";
}

TEST_F (ChoiceBoxOnDisplay, OpensTheListOnEveryClickInMenuMode)
{
    Boxed b ("waveform", Mode::menu, 96, 34);
    b.box.showWaveform = true;
    place (b.box);

    b.mouse.click ({ 40.0f, 14.0f });
    ASSERT_TRUE (menuOpen());
    EXPECT_EQ (b.value(), 4.0f) << "menu mode never steps";

    chooseFromMenu (1);
    ASSERT_TRUE (br::test::pumpUntil ([&] { return b.value() == 1.0f; }));
    EXPECT_EQ (b.box.getIndex(), 1);
}

TEST_F (ChoiceBoxOnDisplay, ListsTickTheCurrentChoiceAlsoNextToItsWaveform)
{
    struct Case
    {
        const char* what;
        const char* id;
        bool waveform;
        int current;
    };
    const Case cases[] {
        { "waveforms", "waveform", true, 2 },
        { "names only", "xFactor", false, 5 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Boxed b (c.id, Mode::menu, 96, 34);
        b.box.showWaveform = c.waveform;
        b.host.setValue (c.id, (float) c.current);
        ASSERT_TRUE (br::test::pumpUntil ([&] { return b.box.getIndex() == c.current; }));
        place (b.box);

        b.mouse.click ({ 40.0f, 14.0f });
        auto* menu = juce::Component::getCurrentlyModalComponent();
        ASSERT_NE (menu, nullptr);
        const auto* lf = dynamic_cast<br::ui::ListMenuLookAndFeel*> (&menu->getLookAndFeel());
        ASSERT_NE (lf, nullptr) << "the list is drawn by the framework's default look";

        // Each item is a child of the menu window; the tick sits in the framework's own
        // column and the icon in one of its own after it.
        const auto image = br::test::paintComponent (*menu);
        int rows = 0;
        for (auto* item : menu->getChildren())
        {
            if (item->getHeight() < 10)
                continue;
            const auto row = item->getBounds();
            const auto tickColumn = juce::Rectangle<int> (row.getX() + 6, row.getY(), 15, row.getHeight());
            const auto iconColumn = juce::Rectangle<int> (tickColumn.getRight(), row.getY(), 28, row.getHeight());
            int tickInk = 0, iconInk = 0;
            for (int x = row.getX(); x < iconColumn.getRight(); ++x)
                for (int y = row.getY(); y < row.getBottom(); ++y)
                {
                    const auto pixel = image.getPixelAt (x, y);
                    if (tickColumn.contains (x, y))
                        tickInk += pixel.getRed() > 200 && pixel.getGreen() > 200 && pixel.getBlue() > 200 ? 1 : 0;
                    if (iconColumn.contains (x, y))
                        iconInk += br::test::colourDistance (pixel, colours::accentBright) < 60 ? 1 : 0;
                }
            SCOPED_TRACE (rows);
            EXPECT_EQ (tickInk > 8, rows == c.current) << tickInk << " tick pixels";
            EXPECT_EQ (iconInk > 20, c.waveform) << iconInk << " icon pixels";
            ++rows;
        }
        EXPECT_EQ (rows, b.box.getNumChoices());

        juce::PopupMenu::dismissAllActiveMenus();
        ASSERT_TRUE (br::test::pumpUntil ([] { return ! menuOpen(); }));
    }
}

TEST_F (ChoiceBoxOnDisplay, IgnoresAChoiceMadeAfterTheBoxIsGone)
{
    br::test::ParameterHost host;
    auto box = std::make_unique<br::ui::ChoiceBox> (host.parameter ("sync"), Mode::menu, &host.undoManager);
    box->setBounds (0, 0, 96, 28);
    place (*box);
    Mouse { *box }.click ({ 40.0f, 14.0f });
    ASSERT_TRUE (menuOpen());

    box.reset();
    // The list keeps its own look until it closes.
    auto* menu = juce::Component::getCurrentlyModalComponent();
    ASSERT_NE (menu, nullptr);
    EXPECT_NE (dynamic_cast<br::ui::ListMenuLookAndFeel*> (&menu->getLookAndFeel()), nullptr);
    br::test::paintComponent (*menu);

    chooseFromMenu (1);
    br::test::pumpUntil ([] { return ! menuOpen(); });
    EXPECT_EQ (host.value ("sync"), 0.0f);
}
