#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** The vertical depth fader of a modulation stage: a slim track and a grey cap that
    follows the mouse (top = maximum); Alt- or Command-click sets `defaultValue`.

    A juce::Slider: bind it with juce::AudioProcessorValueTreeState::SliderAttachment.
    Under BRLookAndFeel its value range is inset 21 pixels at each end, so the 42-pixel
    cap never leaves the component. Message thread only. */
class DepthFader : public juce::Slider
{
public:
    DepthFader();
    ~DepthFader() override;

    /** Set by Alt- or Command-click. */
    double defaultValue = 50.0;

    void mouseDown (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DepthFader)
};
} // namespace br::ui
