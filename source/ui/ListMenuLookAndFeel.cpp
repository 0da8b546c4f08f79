#include "ui/ListMenuLookAndFeel.h"

namespace br::ui
{
namespace
{
// The framework sizes an item's font and its tick column from the item's height less
// the one-pixel inset on each side; the layout below follows LookAndFeel_V4 so that a
// list looks like every other menu of the framework.
float maxFontHeightFor (int itemHeight) { return (float) juce::jmax (itemHeight - 2, 0) / 1.3f; }
} // namespace

ListMenuLookAndFeel::ListMenuLookAndFeel (int iconWidthPx) : iconWidth (juce::jmax (iconWidthPx, 0)) {}

int ListMenuLookAndFeel::iconColumnWidth (int itemHeight) const
{
    return iconWidth + juce::roundToInt (maxFontHeightFor (itemHeight) * 0.5f);
}

void ListMenuLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                                             bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                                             const juce::String& text, const juce::String& shortcutKeyText,
                                             const juce::Drawable* icon, const juce::Colour* textColour)
{
    if (isSeparator)
    {
        LookAndFeel_V4::drawPopupMenuItem (g, area, isSeparator, isActive, isHighlighted, isTicked, hasSubMenu, text,
                                           shortcutKeyText, icon, textColour);
        return;
    }

    auto r = area.reduced (1);
    if (isHighlighted && isActive)
    {
        g.setColour (findColour (juce::PopupMenu::highlightedBackgroundColourId));
        g.fillRect (r);
        g.setColour (findColour (juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        const auto colour = textColour != nullptr ? *textColour : findColour (juce::PopupMenu::textColourId);
        g.setColour (colour.withMultipliedAlpha (isActive ? 1.0f : 0.5f));
    }

    r.reduce (juce::jmin (5, area.getWidth() / 20), 0);

    const auto maxFontHeight = maxFontHeightFor (area.getHeight());
    auto font = getPopupMenuFont();
    if (font.getHeight() > maxFontHeight)
        font.setHeight (maxFontHeight);
    g.setFont (font);

    // The framework would put the icon into the tick's column and drop the tick; here
    // the tick keeps its column and the icon follows it.
    const auto tickArea = r.removeFromLeft (juce::roundToInt (maxFontHeight)).toFloat();
    if (isTicked)
    {
        const auto tick = getTickShape (1.0f);
        g.fillPath (tick, tick.getTransformToScaleToFit (tickArea.reduced (tickArea.getWidth() / 5, 0), true));
    }

    if (icon != nullptr)
    {
        auto column = r.removeFromLeft (iconColumnWidth (area.getHeight()));
        icon->drawWithin (g, column.removeFromLeft (iconWidth).toFloat(),
                          juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize, 1.0f);
    }

    if (hasSubMenu)
    {
        const auto arrowH = 0.6f * getPopupMenuFont().getAscent();
        const auto x = (float) r.removeFromRight ((int) arrowH).getX();
        const auto halfH = (float) r.getCentreY();

        juce::Path path;
        path.startNewSubPath (x, halfH - arrowH * 0.5f);
        path.lineTo (x + arrowH * 0.6f, halfH);
        path.lineTo (x, halfH + arrowH * 0.5f);
        g.strokePath (path, juce::PathStrokeType (2.0f));
    }

    r.removeFromRight (3);
    g.drawFittedText (text, r, juce::Justification::centredLeft, 1);

    if (shortcutKeyText.isNotEmpty())
    {
        auto shortcutFont = font;
        shortcutFont.setHeight (shortcutFont.getHeight() * 0.75f);
        shortcutFont.setHorizontalScale (0.95f);
        g.setFont (shortcutFont);
        g.drawText (shortcutKeyText, r, juce::Justification::centredRight, true);
    }
}

void ListMenuLookAndFeel::getIdealPopupMenuItemSize (const juce::String& text, bool isSeparator,
                                                     int standardMenuItemHeight, int& idealWidth, int& idealHeight)
{
    LookAndFeel_V4::getIdealPopupMenuItemSize (text, isSeparator, standardMenuItemHeight, idealWidth, idealHeight);

    // Measured without the item, so every item of a list with icons is given the room.
    if (! isSeparator && iconWidth > 0)
        idealWidth += iconColumnWidth (idealHeight);
}
} // namespace br::ui
