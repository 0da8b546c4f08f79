#include "ui/BRLookAndFeel.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

namespace br::ui
{
namespace
{
// The framework's wrapping steps from line to line by the font height.
constexpr float tooltipLineHeight = 13.0f;
constexpr int wrapWidth = 342;
constexpr int maxTooltipLines = 4;

juce::Font tooltipFont() { return font (tooltipLineHeight, false, false); }

int wrappedBoxHeight (int lines) { return 44 + (juce::jmax (lines, 2) - 2) * (int) tooltipLineHeight; }

// When a box is too low for the lines the framework means to wrap a text into, it sets
// every line in a smaller font instead.
bool keepsTheTooltipFont (juce::GlyphArrangement glyphs)
{
    for (int i = 0; i < glyphs.getNumGlyphs(); ++i)
        if (glyphs.getGlyph (i).getBounds().getHeight() < tooltipLineHeight)
            return false;
    return true;
}
} // namespace

BRLookAndFeel::BRLookAndFeel()
{
    setColour (juce::PopupMenu::backgroundColourId, colours::topBar);
    setColour (juce::PopupMenu::textColourId, colours::text);
    setColour (juce::PopupMenu::headerTextColourId, colours::accentBright);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, colours::accent);
    setColour (juce::PopupMenu::highlightedTextColourId, juce::Colour (0xffffffff));
    setColour (juce::TextEditor::backgroundColourId, colours::track);
    setColour (juce::TextEditor::textColourId, colours::boxText);
    setColour (juce::TextEditor::highlightColourId, colours::accent);
    setColour (juce::TextEditor::outlineColourId, colours::accent);
    setColour (juce::TextEditor::focusedOutlineColourId, colours::accentBright);
    setColour (juce::CaretComponent::caretColourId, colours::accentBright);
    setColour (juce::AlertWindow::backgroundColourId, colours::topBar);
    setColour (juce::AlertWindow::textColourId, colours::text);
    setColour (juce::AlertWindow::outlineColourId, colours::accent);
    setColour (juce::TextButton::buttonColourId, colours::box);
    setColour (juce::TextButton::textColourOffId, colours::text);
    setColour (juce::TooltipWindow::backgroundColourId, colours::topBar);
    setColour (juce::TooltipWindow::textColourId, colours::text);
}

BRLookAndFeel::~BRLookAndFeel() = default;

juce::Font BRLookAndFeel::getTextButtonFont (juce::TextButton&, int) { return font (14.0f, false, false); }

juce::Font BRLookAndFeel::getAlertWindowMessageFont() { return font (14.0f, false, false); }

void BRLookAndFeel::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    g.fillAll (colours::topBar);
    g.setColour (colours::accentDark);
    g.drawRect (juce::Rectangle<float> (0.0f, 0.0f, (float) width, (float) height), 1.0f);
}

juce::Font BRLookAndFeel::getPopupMenuFont() { return font (14.0f, false, false); }

int BRLookAndFeel::getSliderThumbRadius (juce::Slider& slider) { return slider.isVertical() ? 21 : 8; }

juce::Rectangle<int> BRLookAndFeel::getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                                      juce::Rectangle<int> parentArea)
{
    const auto textWidth = tooltipTextWidth (tipText);
    if (textWidth < wrapWidth)
        return tooltipBounds (textWidth, 1, screenPos, parentArea);

    // A parent narrower than the box narrows it, and the text wraps at that width.
    const auto boxWidth = juce::jmin (wrapWidth + 18, parentArea.getWidth());
    return tooltipBounds (textWidth, tooltipWrappedLines (tipText, boxWidth), screenPos, parentArea);
}

void BRLookAndFeel::drawTooltip (juce::Graphics& g, const juce::String& text, int width, int height)
{
    const auto w = (float) width;
    const auto h = (float) height;

    g.setColour (colours::topBar);
    g.fillRoundedRectangle (0.0f, 0.0f, w, h, 4.0f);

    g.setColour (colours::accent.withAlpha (0.7f));
    g.drawRoundedRectangle (0.5f, 0.5f, juce::jmax (w - 1.0f, 0.0f), juce::jmax (h - 1.0f, 0.0f), 4.0f, 1.0f);

    g.setColour (colours::text);
    tooltipLayout (text, width, height).draw (g);
}

juce::GlyphArrangement tooltipLayout (const juce::String& tipText, int width, int height)
{
    juce::GlyphArrangement glyphs;
    const juce::Rectangle<int> area (8, 4, juce::jmax (width - 16, 0), juce::jmax (height - 8, 0));
    if (tipText.isEmpty() || area.isEmpty())
        return glyphs;

    // A minimum scale of 1 keeps the framework from squeezing a line that would fit at
    // 70 % width: the text wraps at whole words instead.
    glyphs.addFittedText (tooltipFont(), tipText, (float) area.getX(), (float) area.getY(), (float) area.getWidth(),
                          (float) area.getHeight(), juce::Justification::centredLeft, maxTooltipLines, 1.0f);
    return glyphs;
}

int tooltipTextWidth (const juce::String& tipText)
{
    if (tipText.isEmpty())
        return 0;

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (tooltipFont(), tipText, 0.0f, 0.0f);
    return (int) glyphs.getBoundingBox (0, -1, true).getWidth();
}

int tooltipWrappedLines (const juce::String& tipText, int boxWidth)
{
    // The lowest box in which the drawing keeps its font is the one whose lines the
    // framework fills; the layout is the drawing's own, so the two cannot disagree.
    for (int lines = 2; lines < maxTooltipLines; ++lines)
        if (keepsTheTooltipFont (tooltipLayout (tipText, boxWidth, wrappedBoxHeight (lines))))
            return lines;
    return maxTooltipLines;
}

juce::Rectangle<int> tooltipBounds (int textWidth, int wrappedLines, juce::Point<int> mousePos,
                                    juce::Rectangle<int> parentArea)
{
    // Longer tips get a box 342 pixels wide for their text and are wrapped by
    // drawTooltip, so a long sentence never turns into a strip across the whole panel.
    const bool wraps = textWidth >= wrapWidth;
    const int contentWidth = wraps ? wrapWidth : textWidth;
    const int height = wraps ? wrappedBoxHeight (wrappedLines) : 26;
    const int width = contentWidth + 18;

    const int x = mousePos.x > parentArea.getCentreX() ? mousePos.x - contentWidth - 30 : mousePos.x + 24;
    const int y = mousePos.y > parentArea.getCentreY() ? mousePos.y - height - 6 : mousePos.y + 6;

    return juce::Rectangle<int> (x, y, width, height).constrainedWithin (parentArea);
}
} // namespace br::ui
