#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** A shaded knob with a value arc, a pointer, end labels and its value as text,
    sweeping 270 degrees from lower left over the top to lower right. Dragging right or
    up raises it (220 pixels for the whole range); a double-click, or an Alt- or
    Command-click, sets `defaultValue`. The arc starts at the top when the range spans
    zero (a centred value) and at the start of the scale otherwise.

    A juce::Slider: bind it with juce::AudioProcessorValueTreeState::SliderAttachment;
    the value text is the slider's getTextFromValue, i.e. the parameter's own text.
    Message thread only. */
class RotaryKnob : public juce::Slider
{
public:
    RotaryKnob();
    ~RotaryKnob() override;

    juce::String minLabel;
    juce::String maxLabel;
    /** Set by a double-click or a modified click. */
    double defaultValue = 0.0;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RotaryKnob)
};
} // namespace br::ui
