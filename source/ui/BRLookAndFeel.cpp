#include "ui/BRLookAndFeel.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

namespace br::ui
{
namespace
{
juce::Font tooltipFont() { return font (13.0f, false, false); }
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
    return tooltipBounds (tooltipTextWidth (tipText), screenPos, parentArea);
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
    g.setFont (tooltipFont());
    g.drawFittedText (text, juce::Rectangle<int> (8, 4, juce::jmax (width - 16, 0), juce::jmax (height - 8, 0)),
                      juce::Justification::centredLeft, 4, 0.0f);
}

int tooltipTextWidth (const juce::String& tipText)
{
    if (tipText.isEmpty())
        return 0;

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (tooltipFont(), tipText, 0.0f, 0.0f);
    return (int) glyphs.getBoundingBox (0, -1, true).getWidth();
}

juce::Rectangle<int> tooltipBounds (int textWidth, juce::Point<int> mousePos, juce::Rectangle<int> parentArea)
{
    // Longer tips get a fixed two-line box and are wrapped by drawTooltip, so a long
    // sentence never turns into a strip across the whole panel.
    constexpr int wrapWidth = 342;
    const bool wraps = textWidth >= wrapWidth;
    const int contentWidth = wraps ? wrapWidth : textWidth;
    const int height = wraps ? 44 : 26;
    const int width = contentWidth + 18;

    const int x = mousePos.x > parentArea.getCentreX() ? mousePos.x - contentWidth - 30 : mousePos.x + 24;
    const int y = mousePos.y > parentArea.getCentreY() ? mousePos.y - height - 6 : mousePos.y + 6;

    return juce::Rectangle<int> (x, y, width, height).constrainedWithin (parentArea);
}
} // namespace br::ui
