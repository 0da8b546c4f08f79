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

/** Tooltip placement for a tip of the given single-line width. Tips of 342 pixels or
    more get a fixed 360 x 44 box that wraps them; shorter ones a single line 26 high.
    The box goes left of the mouse in the right half of `parentArea`, above it in the
    lower half, and is then kept inside `parentArea`. */
juce::Rectangle<int> tooltipBounds (int textWidth, juce::Point<int> mousePos, juce::Rectangle<int> parentArea);
} // namespace br::ui
