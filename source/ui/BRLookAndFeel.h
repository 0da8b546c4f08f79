#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** Styles the framework-drawn pieces that the editor does not paint itself: popup
    menus, tooltips, the text fields of typed entry, alert windows and text buttons.
    The editor owns one and installs it on itself, so every child inherits it. Menus
    shown without a parent component do not, and keep JUCE's default look. */
class BRLookAndFeel : public juce::LookAndFeel_V4
{
public:
    BRLookAndFeel();
    ~BRLookAndFeel() override;

    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    juce::Font getAlertWindowMessageFont() override;
    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    juce::Font getPopupMenuFont() override;

    /** 21 for vertical sliders: JUCE insets a slider's value range by this radius, and
        the depth fader's cap is 42 pixels tall. */
    int getSliderThumbRadius (juce::Slider&) override;

    juce::Rectangle<int> getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                           juce::Rectangle<int> parentArea) override;
    void drawTooltip (juce::Graphics&, const juce::String& text, int width, int height) override;
};

/** Width of a tip laid out as one line in the tooltip font: the union of all glyph
    boxes, spaces included, truncated to whole pixels. */
int tooltipTextWidth (const juce::String& tipText);

/** The tip's glyphs as drawTooltip sets them into a tooltip box of the given size:
    inset 8 pixels at the sides and 4 at top and bottom, wrapped at whole words onto at
    most 4 lines in the tooltip font, never squeezed, centred vertically. */
juce::GlyphArrangement tooltipLayout (const juce::String& tipText, int width, int height);

/** Lines the wrapping box of the given width is made tall enough for, 2 to 4: the
    fewest at which tooltipLayout keeps the tooltip font. */
int tooltipWrappedLines (const juce::String& tipText, int boxWidth);

/** Tooltip placement for a tip of the given single-line width. Tips of 342 pixels or
    more get a box 360 wide that wraps them, 44 high for two lines and 13 more for each
    further line of `wrappedLines`; shorter ones a single line 26 high. The box goes
    left of the mouse in the right half of `parentArea`, above it in the lower half, and
    is then kept inside `parentArea`. */
juce::Rectangle<int> tooltipBounds (int textWidth, int wrappedLines, juce::Point<int> mousePos,
                                    juce::Rectangle<int> parentArea);
} // namespace br::ui
