#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** The on/off switch of a modulation stage: a box with a round LED that glows in
    `ledColour` when on. A juce::ToggleButton, so every click flips it; bind it with
    juce::AudioProcessorValueTreeState::ButtonAttachment. Message thread only. */
class LedButton : public juce::ToggleButton
{
public:
    explicit LedButton (juce::Colour ledColour);
    ~LedButton() override;

    /** Colour of the lit LED and its glow. */
    juce::Colour ledColour;

    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LedButton)
};
} // namespace br::ui
