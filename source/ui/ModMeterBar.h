#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

namespace br::ui
{
/** The narrow live bar beside a modulation stage: unipolar, a fill from the bottom by
    `value` in [0, 1] (the tremolo gain); bipolar, a marker placed by `value` in [-1, 1]
    around the middle (the vibrato deviation). The owner writes the members and calls
    repaint(). Message thread only. */
class ModMeterBar : public juce::Component
{
public:
    ModMeterBar();
    ~ModMeterBar() override;

    bool bipolar = false;
    float value = 0.0f;
    /** False keeps the shape but multiplies every alpha by 0.3. */
    bool active = true;

    /** The pixels that differ between the bar drawn at `from` and drawn at `to` (same
        `bipolar` and `active`): the edge and cap of the fill, or the two marker places.
        A bar that moves a little needs only this area drawn again. */
    juce::Rectangle<int> areaChangedBetween (float from, float to) const;

    void paint (juce::Graphics&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ModMeterBar)
};
} // namespace br::ui
