#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** Draws a choice box's list exactly as JUCE's own menus look, except that an item's
    icon no longer takes the place of its tick: the tick keeps its column at the left
    and the icon gets a column of its own after it, so a list of pictures (the
    waveforms) still shows which entry is current. The list is told the icons' width
    up front because the framework measures an item without showing it the icon. */
class ListMenuLookAndFeel : public juce::LookAndFeel_V4
{
public:
    /** `iconWidthPx`: width of the column given to item icons; 0 for a list without any. */
    explicit ListMenuLookAndFeel (int iconWidthPx = 0);

    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                            bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                            const juce::String& shortcutKeyText, const juce::Drawable* icon,
                            const juce::Colour* textColour) override;
    void getIdealPopupMenuItemSize (const juce::String& text, bool isSeparator, int standardMenuItemHeight,
                                    int& idealWidth, int& idealHeight) override;

    /** How far an item's text moves right to make room for its icon, in an item
        `itemHeight` pixels high: the icon column plus the gap the framework leaves after
        an icon. */
    int iconColumnWidth (int itemHeight) const;

private:
    int iconWidth;
};
} // namespace br::ui
