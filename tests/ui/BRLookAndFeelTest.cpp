#include "UiTestSupport.h"
#include "ui/BRLookAndFeel.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace
{
using br::ui::BRLookAndFeel;
namespace colours = br::ui::colours;

struct ColourCase
{
    const char* what;
    int colourId;
    juce::Colour expected;
};
} // namespace

TEST (Fonts, DrawWithTheFaceBuiltIntoTheProgram)
{
    // The plug-ins run on machines whose fonts we do not know: a face looked up by name
    // could be missing there, or be another design.
    EXPECT_EQ (br::ui::fontFamily(), juce::String ("Liberation Sans"));

    for (const bool bold : { false, true })
        for (const bool italic : { false, true })
        {
            const auto f = br::ui::font (15.0f, bold, italic);
            SCOPED_TRACE (f.getTypefaceStyle());
            const auto face = f.getTypefacePtr();
            EXPECT_EQ (face.get(), br::ui::font (30.0f, bold, italic).getTypefacePtr().get()) << "one face per style";

            auto byName = juce::Font (br::ui::fontFamily(), 15.0f, juce::Font::plain);
            byName.setTypefaceStyle (f.getTypefaceStyle());
            EXPECT_NE (face.get(), byName.getTypefacePtr().get()) << "the face came from the machine's fonts";

            juce::Path outline;
            juce::Array<int> glyphs;
            juce::Array<float> offsets;
            face->getGlyphPositions ("i", glyphs, offsets);
            ASSERT_EQ (glyphs.size(), 1);
            EXPECT_TRUE (face->getOutlineForGlyph (glyphs[0], outline) && ! outline.isEmpty());
        }
}

TEST (Fonts, KeepTheDotOfEveryIApartFromItsStemInFifteenPixelCaptions)
{
    // Drawn as the artwork draws a caption at 100 %: centred in a float rectangle.
    const auto font = br::ui::font (15.0f, false, false);
    const juce::Rectangle<float> area (0.0f, 0.0f, 180.0f, 20.0f);

    for (const juce::String text : { "Gain", "Mix", "A: Classic Vibrato", "Rotation" })
    {
        SCOPED_TRACE (text);
        juce::Image image (juce::Image::RGB, (int) area.getWidth(), (int) area.getHeight(), false,
                           juce::SoftwareImageType());
        {
            juce::Graphics g (image);
            g.fillAll (colours::bgTop);
            g.setColour (colours::text);
            g.setFont (font);
            g.drawText (text, area, juce::Justification::centred, true);
        }

        // How far a pixel is from the background towards the text colour (0 to 1).
        const auto cover = [&] (int x, int y)
        {
            const auto level = [] (juce::Colour c) { return (float) (c.getRed() + c.getGreen() + c.getBlue()); };
            return (level (image.getPixelAt (x, y)) - level (colours::bgTop))
                   / (level (colours::text) - level (colours::bgTop));
        };

        // Where drawText puts the glyphs.
        juce::GlyphArrangement glyphs;
        glyphs.addCurtailedLineOfText (font, text, 0.0f, 0.0f, area.getWidth(), true);
        glyphs.justifyGlyphs (0, glyphs.getNumGlyphs(), area.getX(), area.getY(), area.getWidth(),
                              area.getHeight(), juce::Justification::centred);

        int letters = 0;
        for (const auto& glyph : glyphs)
        {
            if (glyph.getCharacter() != 'i')
                continue;
            ++letters;

            // Some column of the i runs up its stem, crosses a row of background and
            // meets the dot: at least half covered counts as ink, a quarter as background.
            const auto bounds = glyph.getBounds();
            bool apart = false;
            for (int x = (int) std::floor (bounds.getX()); x < (int) std::ceil (bounds.getRight()) && ! apart; ++x)
            {
                int y = image.getHeight() - 1;
                while (y > 0 && cover (x, y) < 0.5f)
                    --y;
                const auto stemBottom = y;
                while (y > 0 && cover (x, y - 1) >= 0.5f)
                    --y;
                const auto gapRow = y - 1;
                const auto dotRow = gapRow - 1;
                apart = stemBottom - y >= 4 && dotRow >= 0 && cover (x, gapRow) <= 0.25f
                        && std::max (cover (x, dotRow), dotRow > 0 ? cover (x, dotRow - 1) : 0.0f) >= 0.5f;
            }
            EXPECT_TRUE (apart) << "the i at x " << bounds.getX() << " shows its dot fused with its stem";
        }
        EXPECT_GT (letters, 0);
    }
}

TEST (Fonts, TakeHeightAndStyleNameFromTheArguments)
{
    struct Case
    {
        bool bold, italic;
        const char* style;
    };
    for (const auto& c : { Case { false, false, "Regular" }, Case { true, false, "Bold" }, Case { false, true, "Italic" },
                           Case { true, true, "Bold Italic" } })
    {
        SCOPED_TRACE (c.style);
        const auto f = br::ui::font (15.0f, c.bold, c.italic);
        EXPECT_EQ (f.getTypefaceStyle(), juce::String (c.style));
        EXPECT_EQ (f.getTypefaceName(), br::ui::fontFamily());
        EXPECT_FLOAT_EQ (f.getHeight(), 15.0f);
        EXPECT_EQ (f.getTypefacePtr()->getStyle(), juce::String (c.style)) << "the face loaded is another style";
    }

    // Bold is its own face, not the regular one: it sets the same text wider.
    EXPECT_GT (br::ui::font (14.0f, true, false).getStringWidthFloat ("Setup A"),
               br::ui::font (14.0f, false, false).getStringWidthFloat ("Setup A"));
}

TEST (BRLookAndFeel, AppliesThePaletteToTheFrameworkDrawnParts)
{
    const ColourCase cases[] {
        { "menu background", juce::PopupMenu::backgroundColourId, colours::topBar },
        { "menu text", juce::PopupMenu::textColourId, colours::text },
        { "menu header", juce::PopupMenu::headerTextColourId, colours::accentBright },
        { "menu highlight", juce::PopupMenu::highlightedBackgroundColourId, colours::accent },
        { "menu highlighted text", juce::PopupMenu::highlightedTextColourId, juce::Colour (0xffffffff) },
        { "text field background", juce::TextEditor::backgroundColourId, colours::track },
        { "text field text", juce::TextEditor::textColourId, colours::boxText },
        { "text field selection", juce::TextEditor::highlightColourId, colours::accent },
        { "text field outline", juce::TextEditor::outlineColourId, colours::accent },
        { "text field focused outline", juce::TextEditor::focusedOutlineColourId, colours::accentBright },
        { "caret", juce::CaretComponent::caretColourId, colours::accentBright },
        { "alert background", juce::AlertWindow::backgroundColourId, colours::topBar },
        { "alert text", juce::AlertWindow::textColourId, colours::text },
        { "alert outline", juce::AlertWindow::outlineColourId, colours::accent },
        { "text button", juce::TextButton::buttonColourId, colours::box },
        { "text button text", juce::TextButton::textColourOffId, colours::text },
        { "tooltip background", juce::TooltipWindow::backgroundColourId, colours::topBar },
        { "tooltip text", juce::TooltipWindow::textColourId, colours::text },
    };

    BRLookAndFeel lf;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (lf.findColour (c.colourId), c.expected);
    }

    // Everything else stays on JUCE's dark scheme.
    juce::LookAndFeel_V4 dark;
    EXPECT_EQ (lf.findColour (juce::Slider::thumbColourId), dark.findColour (juce::Slider::thumbColourId));
    EXPECT_EQ (lf.findColour (juce::ComboBox::backgroundColourId), dark.findColour (juce::ComboBox::backgroundColourId));
}

TEST (BRLookAndFeel, SetsMenusButtonsAndAlertsInTheProductFont)
{
    BRLookAndFeel lf;
    juce::TextButton button;
    for (const auto& f : { lf.getTextButtonFont (button, 30), lf.getTextButtonFont (button, 12), lf.getPopupMenuFont(),
                           lf.getAlertWindowMessageFont() })
    {
        EXPECT_EQ (f.getTypefaceName(), br::ui::fontFamily());
        EXPECT_EQ (f.getTypefaceStyle(), juce::String ("Regular"));
        EXPECT_FLOAT_EQ (f.getHeight(), 14.0f);
    }
}

TEST (BRLookAndFeel, GivesVerticalSlidersTheFaderThumbRadius)
{
    struct Case
    {
        const char* what;
        juce::Slider::SliderStyle style;
        int radius;
    };
    const Case cases[] {
        { "linear vertical", juce::Slider::LinearVertical, 21 },
        { "bar vertical", juce::Slider::LinearBarVertical, 21 },
        { "two-value vertical", juce::Slider::TwoValueVertical, 21 },
        { "three-value vertical", juce::Slider::ThreeValueVertical, 21 },
        { "linear horizontal", juce::Slider::LinearHorizontal, 8 },
        { "bar", juce::Slider::LinearBar, 8 },
        { "rotary", juce::Slider::Rotary, 8 },
        { "rotary vertical drag", juce::Slider::RotaryVerticalDrag, 8 },
        { "rotary two-way drag", juce::Slider::RotaryHorizontalVerticalDrag, 8 },
    };

    BRLookAndFeel lf;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        juce::Slider slider (c.style, juce::Slider::NoTextBox);
        EXPECT_EQ (lf.getSliderThumbRadius (slider), c.radius);
    }
}

TEST (BRLookAndFeel, PaintsThePopupMenuBackgroundWithAnInsideBorder)
{
    BRLookAndFeel lf;
    juce::Image image (juce::Image::ARGB, 120, 80, true, juce::SoftwareImageType());
    {
        juce::Graphics g (image);
        lf.drawPopupMenuBackground (g, 120, 80);
    }
    EXPECT_EQ (image.getPixelAt (0, 0), colours::accentDark);
    EXPECT_EQ (image.getPixelAt (119, 40), colours::accentDark);
    EXPECT_EQ (image.getPixelAt (60, 79), colours::accentDark);
    EXPECT_EQ (image.getPixelAt (1, 1), colours::topBar);
    EXPECT_EQ (image.getPixelAt (60, 40), colours::topBar);
}

TEST (BRLookAndFeel, PaintsTooltipsAsARoundedBoxWithAFaintAccentEdge)
{
    BRLookAndFeel lf;
    juce::Image image (juce::Image::ARGB, 120, 26, true, juce::SoftwareImageType());
    {
        juce::Graphics g (image);
        lf.drawTooltip (g, "AM On/Off", 120, 26);
    }

    EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0) << "corner is rounded off";
    EXPECT_COLOUR_NEAR (image.getPixelAt (0, 13), br::test::blend (colours::topBar, colours::accent, 0xB2), 2);
    EXPECT_COLOUR_NEAR (image.getPixelAt (60, 0), br::test::blend (colours::topBar, colours::accent, 0xB2), 2);
    EXPECT_EQ (image.getPixelAt (110, 13), colours::topBar) << "right of the text";

    // The text starts 8 pixels in and is drawn in the primary text colour.
    int brightest = 0;
    int firstInk = -1;
    for (int x = 0; x < 120; ++x)
        for (int y = 4; y < 22; ++y)
            if (const auto c = image.getPixelAt (x, y); c.getRed() > colours::topBar.getRed() + 40)
            {
                brightest = juce::jmax (brightest, (int) c.getRed());
                if (firstInk < 0)
                    firstInk = x;
            }
    EXPECT_GE (firstInk, 8);
    EXPECT_LE (firstInk, 10);
    EXPECT_NEAR (brightest, colours::text.getRed(), 12);
}

TEST (BRLookAndFeel, WrapsLongTipsAtWholeWordsInABoxTallEnoughForTheirLines)
{
    // Tips made to a single-line width from the words of a real one.
    const auto tipOfWidth = [] (int widthPx)
    {
        const auto words = juce::StringArray::fromTokens ("Rotation: the wedge shows the sweep range, the needle the "
                                                          "current position. Drag to set the centre",
                                                          false);
        juce::String tip;
        for (int i = 0; br::ui::tooltipTextWidth (tip) < widthPx; ++i)
            tip << (tip.isEmpty() ? "" : " ") << words[i % words.size()];
        return tip;
    };

    struct Case
    {
        const char* what;
        juce::String tip;
        int lines, height;
        bool whole;
    };
    const Case cases[] {
        { "one line", "AM On/Off", 1, 26, true },
        { "just too wide for one line", tipOfWidth (342), 2, 44, true },
        // The framework used to squeeze anything up to 1 / 0.7 of the line onto it.
        { "narrow enough to have been squeezed onto one line", tipOfWidth (470), 2, 44, true },
        { "three lines", tipOfWidth (750), 3, 57, true },
        { "four lines", tipOfWidth (1150), 4, 70, true },
        { "longer than four lines: the last one ends in an ellipsis", tipOfWidth (1600), 4, 70, false },
    };

    BRLookAndFeel lf;
    const juce::Rectangle<int> parent (0, 0, 1094, 594);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto box = lf.getTooltipBounds (c.tip, { 10, 10 }, parent);
        EXPECT_EQ (box.getHeight(), c.height);

        const auto set = br::test::setTip (c.tip, box);
        EXPECT_EQ (set.lines, c.lines);
        EXPECT_EQ (set.whole, c.whole);
        EXPECT_TRUE (set.fullSize) << "a smaller font instead of a taller box";
        EXPECT_TRUE (set.inside);

        // The drawing is that layout: ink just above every baseline.
        juce::Image image (juce::Image::ARGB, box.getWidth(), box.getHeight(), true, juce::SoftwareImageType());
        {
            juce::Graphics g (image);
            lf.drawTooltip (g, c.tip, box.getWidth(), box.getHeight());
        }
        for (const auto baseline : set.baselines)
        {
            int inkPixels = 0;
            for (int y = (int) baseline - 7; y < (int) baseline; ++y)
                for (int x = 8; x < box.getWidth() - 8; ++x)
                    inkPixels += image.getPixelAt (x, y).getRed() > colours::topBar.getRed() + 80 ? 1 : 0;
            EXPECT_GT (inkPixels, 20) << "no text drawn on the line at " << baseline;
        }
    }
}

TEST (TooltipBounds, SwitchToTheWrappingBoxAt342Pixels)
{
    struct Case
    {
        const char* what;
        int textWidth, wrappedLines, width, height;
    };
    const Case cases[] {
        { "empty tip", 0, 1, 18, 26 },
        { "one line", 100, 1, 118, 26 },
        { "just below the limit", 341, 1, 359, 26 },
        { "at the limit", 342, 2, 360, 44 },
        { "two lines", 600, 2, 360, 44 },
        { "three lines, one line pitch taller", 700, 3, 360, 57 },
        { "four lines", 1200, 4, 360, 70 },
        { "a one-line tip ignores the wrapped lines", 200, 3, 218, 26 },
    };

    const juce::Rectangle<int> parent (0, 0, 1094, 594);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto r = br::ui::tooltipBounds (c.textWidth, c.wrappedLines, { 100, 100 }, parent);
        EXPECT_EQ (r.getWidth(), c.width);
        EXPECT_EQ (r.getHeight(), c.height);
    }
}

TEST (TooltipBounds, PlaceTheTipAwayFromTheParentsCentre)
{
    struct Case
    {
        const char* what;
        juce::Point<int> mouse;
        juce::Point<int> topLeft;
    };
    // Parent (100, 50, 400, 300): centre (300, 200). Text width 100 -> box 118 x 26.
    const Case cases[] {
        { "upper left quarter", { 150, 80 }, { 174, 86 } },
        { "exactly on the centre", { 300, 200 }, { 324, 206 } },
        { "one right of the centre", { 301, 200 }, { 301 - 130, 206 } },
        { "one below the centre", { 300, 201 }, { 324, 201 - 32 } },
        { "lower right quarter", { 450, 300 }, { 320, 268 } },
    };

    const juce::Rectangle<int> parent (100, 50, 400, 300);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto r = br::ui::tooltipBounds (100, 1, c.mouse, parent);
        EXPECT_EQ (r.getPosition(), c.topLeft);
        EXPECT_EQ (r.getWidth(), 118);
    }

    // 12 pixels left of the mouse, 6 above it.
    const auto leftAbove = br::ui::tooltipBounds (100, 1, { 450, 300 }, parent);
    EXPECT_EQ (leftAbove.getRight(), 450 - 12);
    EXPECT_EQ (leftAbove.getBottom(), 300 - 6);
}

TEST (TooltipBounds, StayInsideTheParent)
{
    struct Case
    {
        const char* what;
        int textWidth;
        juce::Point<int> mouse;
        juce::Rectangle<int> parent;
        juce::Rectangle<int> expected;
    };
    const Case cases[] {
        { "wide tip right of the mouse, pushed left", 342, { 290, 10 }, { 0, 0, 600, 560 }, { 240, 16, 360, 44 } },
        { "wide tip left of the mouse, pushed right", 342, { 320, 10 }, { 0, 0, 600, 560 }, { 0, 16, 360, 44 } },
        { "below the mouse, pushed up", 342, { 10, 45 }, { 0, 0, 600, 90 }, { 34, 46, 360, 44 } },
        { "above the mouse, pushed down", 342, { 10, 31 }, { 0, 0, 600, 60 }, { 34, 0, 360, 44 } },
        { "parent narrower than the tip", 342, { 60, 30 }, { 40, 20, 200, 100 }, { 40, 36, 200, 44 } },
        { "parent lower than the tip", 100, { 60, 30 }, { 40, 20, 400, 20 }, { 84, 20, 118, 20 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto r = br::ui::tooltipBounds (c.textWidth, 2, c.mouse, c.parent);
        EXPECT_EQ (r, c.expected);
        EXPECT_TRUE (c.parent.contains (r));
    }
}

TEST (TooltipBounds, MeasureTheTipInTheFaceThatDrawsIt)
{
    // Grow a real tip a character at a time until the tooltip font sets it 342 pixels
    // wide or more: the text one character shorter keeps its one-line box.
    const juce::String sentence ("Rotation: the wedge shows the sweep range, the needle the current position. "
                                 "Drag to set the centre");
    int length = 1;
    while (length < sentence.length() && br::ui::tooltipTextWidth (sentence.substring (0, length)) < 342)
        ++length;
    ASSERT_LT (length, sentence.length());

    const auto longTip = sentence.substring (0, length);
    const auto shortTip = sentence.substring (0, length - 1);

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (br::ui::font (13.0f, false, false), shortTip, 0.0f, 0.0f);
    const int shortWidth = (int) glyphs.getBoundingBox (0, -1, true).getWidth();
    EXPECT_EQ (br::ui::tooltipTextWidth (shortTip), shortWidth);
    EXPECT_LT (shortWidth, 342);

    BRLookAndFeel lf;
    const juce::Rectangle<int> parent (0, 0, 1094, 594);
    EXPECT_EQ (lf.getTooltipBounds (shortTip, { 10, 10 }, parent), juce::Rectangle<int> (34, 16, shortWidth + 18, 26));
    EXPECT_EQ (lf.getTooltipBounds (longTip, { 10, 10 }, parent), juce::Rectangle<int> (34, 16, 360, 44));
    EXPECT_EQ (lf.getTooltipBounds ({}, { 10, 10 }, parent), juce::Rectangle<int> (34, 16, 18, 26));

    // Trailing spaces count: they widen the union of glyph boxes.
    EXPECT_GT (br::ui::tooltipTextWidth ("AM On/Off   "), br::ui::tooltipTextWidth ("AM On/Off"));
}
